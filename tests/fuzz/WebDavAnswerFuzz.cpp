// A folder's WebDAV answer (the PROPFIND multistatus), served from loopback to
// the real listing. The index page is missing, so every name comes from the
// answer.
#include "documents/FolderListing.h"
#include "platform/Encoding.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>

namespace {

zov::fuzz::SharedText g_answer;

const zov::fuzz::LoopbackServer& Server() {
    static zov::fuzz::LoopbackServer server([](std::string_view method, std::string_view) {
        if (method == "PROPFIND")
            return zov::fuzz::LoopbackAnswer{207, "application/xml; charset=utf-8", g_answer.Get()};
        return zov::fuzz::LoopbackAnswer{404, "text/html", {}};
    });
    return server;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    fuzz::DataHome();
    g_answer.Set(fuzz::AsText(data, size));
    static const std::wstring folder = FromUtf8(Server().Url("/docs/folder/"));
    std::optional<std::vector<std::wstring>> names = GetFolderFiles(L"", L"", folder);
    if (names) {
        ZOV_FUZZ_CHECK(!names->empty());
        ZOV_FUZZ_CHECK(std::is_sorted(names->begin(), names->end()));
        for (const std::wstring& name : *names) {
            ZOV_FUZZ_CHECK(!name.empty() && name != L"/");
            ZOV_FUZZ_CHECK(!IsPreviewFileName(name));
            // A name is the last part of its address; only a subfolder's ends
            // in '/'.
            ZOV_FUZZ_CHECK(name.find(L'/') == std::wstring::npos || name.find(L'/') == name.size() - 1);
        }
    }
    return 0;
}
