// A preview folder's status file, read by the real PreviewSource twice: from a
// local preview root and, through the local cache, from an HTTP one served on
// loopback. Neither folder has pages, so both must say what the file's first
// bytes say.
#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Only this much of a status file counts.
constexpr std::size_t kStatusBytes = 128;

zov::fuzz::SharedText g_status;

const zov::fuzz::LoopbackServer& Server() {
    static zov::fuzz::LoopbackServer server([](std::string_view method, std::string_view target) {
        static constexpr std::string_view kStatusName = "_FFFFFFFF.txt";
        if (method == "GET" && target.size() >= kStatusName.size() &&
            target.substr(target.size() - kStatusName.size()) == kStatusName)
            return zov::fuzz::LoopbackAnswer{200, "text/plain", g_status.Get()};
        return zov::fuzz::LoopbackAnswer{404, "text/html", {}};
    });
    return server;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    const std::string text = fuzz::AsText(data, size);
    const std::int32_t expected = StatusFromText(std::string_view(text).substr(0, kStatusBytes));

    static const std::wstring document = L"\\docs\\report.pdf";
    PreviewSettings local;
    local.previewRoot = FromUtf8(fuzz::DataHome()) + L"\\previews";
    local.folderMode = L"Folder";
    const std::wstring statusPath = PageFilePath(document, kStatusFile, local);
    static const bool made = CreateFolderTree(statusPath.substr(0, statusPath.rfind(L'\\')));
    ZOV_FUZZ_CHECK(made);
    fuzz::ReplaceFile(NativePath(statusPath), data, size);
    ZOV_FUZZ_CHECK(PreviewSource(document, local).Status() == expected);

    PreviewSettings http;
    http.previewRoot = FromUtf8(Server().Url("/previews"));
    http.folderMode = L"Flat";
    g_status.Set(text);
    // A cached status file younger than two seconds would be used as it is.
    ClearCache(http);
    ZOV_FUZZ_CHECK(PreviewSource(document, http).Status() == expected);
    return 0;
}
