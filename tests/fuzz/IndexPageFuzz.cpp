// A folder's HTML index page, served from loopback to the real listing after
// the server has refused PROPFIND. "{ORIGIN}" in the input stands for the
// server's "http://127.0.0.1:PORT", so that seeds can hold absolute links to
// the folder whatever port the run gets.
#include "documents/FolderListing.h"
#include "platform/Encoding.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>

namespace {

zov::fuzz::SharedText g_page;

const zov::fuzz::LoopbackServer& Server() {
    static zov::fuzz::LoopbackServer server([](std::string_view method, std::string_view target) {
        if (method == "GET" && target == "/docs/folder/")
            return zov::fuzz::LoopbackAnswer{200, "text/html", g_page.Get()};
        return zov::fuzz::LoopbackAnswer{405, "text/html", {}};
    });
    return server;
}

std::string WithOrigin(std::string text, const std::string& origin) {
    static constexpr std::string_view kOrigin = "{ORIGIN}";
    for (std::size_t at = text.find(kOrigin); at != std::string::npos; at = text.find(kOrigin, at + origin.size()))
        text.replace(at, kOrigin.size(), origin);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    fuzz::DataHome();
    static const std::string origin = Server().Url("");
    g_page.Set(WithOrigin(fuzz::AsText(data, size), origin));
    static const std::wstring folder = FromUtf8(Server().Url("/docs/folder/"));
    std::optional<std::vector<std::wstring>> names = GetFolderFiles(L"", L"", folder);
    if (names) {
        ZOV_FUZZ_CHECK(!names->empty());
        ZOV_FUZZ_CHECK(std::is_sorted(names->begin(), names->end()));
        for (const std::wstring& name : *names)
            ZOV_FUZZ_CHECK(!name.empty() && !IsPreviewFileName(name));
    }
    return 0;
}
