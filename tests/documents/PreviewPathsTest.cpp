#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "tests/support/TempDataHome.h"

namespace zov {
namespace {

PreviewSettings Mode(std::wstring root, std::wstring mode) {
    PreviewSettings s;
    s.previewRoot = std::move(root);
    s.folderMode = std::move(mode);
    s.eValueNSMode = s.folderMode == L"eValueNS";
    return s;
}

TEST(PreviewPaths, PageFilesAreNamedInUpperCaseHex) {
    EXPECT_EQ(PageFileName(10), L"_0000000A.txt");
    EXPECT_EQ(PageFileName(kStatusFile), L"_FFFFFFFF.txt");
    EXPECT_EQ(PageFileName(1), L"_00000001.txt");
    EXPECT_EQ(SearchTextName(L"x\\a.ppt_0000000A.txt"), L"x\\a.ppt_0000000A_s.txt");
}

TEST(PreviewPaths, EachFolderModeMapsItsOwnWay) {
    const std::wstring url = L"http://h/x/y/report.ppt";
    EXPECT_EQ(PreviewFolder(url, Mode(L"http://srv/prev", L"Flat")), L"http://srv/prev\\report.ppt");
    EXPECT_EQ(PreviewFolder(url, Mode(L"http://srv/prev", L"SamePlace")), L"http://srv/prev\\report.ppt");
    EXPECT_EQ(PreviewFolder(url, Mode(L"/previews", L"Folder")), L"/previews\\Folder\\http\\h\\x\\y\\report.ppt");

    // Local and share paths below "Folder".
    EXPECT_EQ(PreviewFolder(L"C:\\docs\\a.ppt", Mode(L"/previews", L"Flat")), L"/previews\\Folder\\C\\docs\\a.ppt");
    EXPECT_EQ(PreviewFolder(L"\\\\srv\\share\\a.ppt", Mode(L"/previews", L"Folder")),
              L"/previews\\Folder\\srv\\share\\a.ppt");
    // An HTTP root in Flat mode keeps a local path whole.
    EXPECT_EQ(PreviewFolder(L"docs\\a.ppt", Mode(L"http://srv/prev", L"Flat")), L"http://srv/prev\\docs\\a.ppt");

    // eValueNS keys: six one-letter folders, then the key.
    EXPECT_EQ(PreviewFolder(L"abcdef123", Mode(L"http://srv/p", L"eValueNS")),
              L"http://srv/p\\.preview\\a\\b\\c\\d\\e\\f\\abcdef123");
    EXPECT_EQ(PreviewFolder(L"abcde", Mode(L"http://srv/p", L"eValueNS")), L"");
    EXPECT_EQ(PageFilePath(L"abcde", 1, Mode(L"http://srv/p", L"eValueNS")), L"");
}

TEST(PreviewPaths, HostsAndSchemes) {
    EXPECT_EQ(HostPart(L"http://srv:8080/prev"), L"srv:8080");
    EXPECT_EQ(HostPart(L"https://srv"), L"srv");
    EXPECT_EQ(HostPart(L"/local/root"), L"");
    EXPECT_EQ(SchemeAndHost(L"https://svc.example:8443/eValue/get"), L"https://svc.example:8443");
    EXPECT_EQ(SchemeAndHost(L"no scheme"), L"");
    EXPECT_TRUE(IsHttp(L"https://x"));
    EXPECT_FALSE(IsHttp(L"HTTP://x"));
}

TEST(PreviewPaths, AHostPartIsANameOrAnAddressWithAnOptionalPort) {
    for (const wchar_t* host : {L"srv", L"srv:8080", L"127.0.0.1", L"127.0.0.1:1", L"[::1]", L"[::1]:8080",
                                L"[::ffff:10.0.0.1]", L"a-b_c.example.com", L"xn--bcher-kva.example", L"srv:65535"}) {
        EXPECT_TRUE(IsHostPart(host)) << ToUtf8(host);
    }
    const std::wstring longLabel(kMaxHostLabelChars + 1, L'a');
    std::wstring longName;
    while (longName.size() <= kMaxHostNameChars)
        longName += L"abcdefg.";
    longName += L"z";
    for (const std::wstring& host :
         {std::wstring(), std::wstring(L"."), std::wstring(L".."), std::wstring(L"..\\.."), std::wstring(L"a\\b"),
          std::wstring(L"a..b"), std::wstring(L".a"), std::wstring(L"a."), std::wstring(L"srv:"), std::wstring(L":80"),
          std::wstring(L"srv:65536"), std::wstring(L"srv:123456"), std::wstring(L"srv:8o"), std::wstring(L"[..]"),
          std::wstring(L"[::1"), std::wstring(L"[::1]x"), std::wstring(L"[]"), std::wstring(L"user@srv"),
          std::wstring(L"%2e%2e"), std::wstring(L"s rv"), std::wstring(L"\u00e4.example"), std::wstring(L"a:b:c"),
          longLabel, longName}) {
        EXPECT_FALSE(IsHostPart(host)) << ToUtf8(host);
    }
}

TEST(PreviewPaths, RootsWithoutAHostOrWithClimbingSharesAreRefused) {
    for (const wchar_t* root : {L"http://srv/p", L"https://127.0.0.1:8080", L"http://a/../..", L"/local/previews",
                                L"C:\\previews", L"\\\\srv\\share\\previews", L"relative\\..\\previews"}) {
        EXPECT_TRUE(IsAcceptablePreviewRoot(root)) << ToUtf8(root);
    }
    for (const wchar_t* root : {L"http://..\\..", L"http://.", L"http://", L"http:///p", L"https://..",
                                L"C:\\x://..\\..", L"\\\\..\\..\\etc", L"//../x", L"\\\\srv\\.."}) {
        EXPECT_FALSE(IsAcceptablePreviewRoot(root)) << ToUtf8(root);
    }
    EXPECT_FALSE(IsAcceptablePreviewRoot(std::wstring(L"http://srv/\0/..", 15)));
    EXPECT_TRUE(IsAcceptablePreviewRoot(L"/" + std::wstring(kMaxPreviewRootChars - 1, L'p')));
    EXPECT_FALSE(IsAcceptablePreviewRoot(L"/" + std::wstring(kMaxPreviewRootChars, L'p')));
}

class CachePaths : public test::TempDataHome {};

TEST_F(CachePaths, FlatKeepsTheFileNameEValueNSTheWholePath) {
    const std::wstring data = UserDataFolder();
    EXPECT_EQ(LocalCachePath(L"http://h/x/y/report.ppt", 3, Mode(L"http://srv:8080/prev", L"Flat")),
              data + L"srv.8080\\report.ppt_00000003.txt");
    EXPECT_EQ(LocalCachePath(L"abcdef123", 1, Mode(L"http://srv/p", L"eValueNS")),
              data + L"srv\\.preview\\a\\b\\c\\d\\e\\f\\abcdef123_00000001.txt");
    EXPECT_EQ(LocalFileCopyPath(L"http://h/img/photo.png", Mode(L"http://srv/prev", L"Flat")), data + L"srv\\photo.png");
    EXPECT_EQ(CacheFolder(Mode(L"http://srv:81/p", L"Flat")), data + L"srv.81");
    EXPECT_EQ(CacheFolder(Mode(L"/local", L"Flat")), data + L".preview");
}

TEST_F(CachePaths, ModesOtherThanFlatKeepThePathBelowTheRoot) {
    const std::wstring data = UserDataFolder();
    EXPECT_EQ(LocalCachePath(L"http://h/x/y/report.ppt", 3, Mode(L"http://srv:8080/prev", L"Folder")),
              data + L"srv.8080\\Folder\\http\\h\\x\\y\\report.ppt_00000003.txt");
    EXPECT_EQ(LocalCachePath(L"\\\\share\\docs\\a.pdf", 1, Mode(L"http://srv/prev", L"SamePlace")),
              data + L"srv\\Folder\\share\\docs\\a.pdf_00000001.txt");
    EXPECT_EQ(LocalFileCopyPath(L"http://h/img/photo.png", Mode(L"http://srv/prev", L"Folder")),
              data + L"srv\\Folder\\http\\h\\img\\photo.png");
    // A path that climbs, once its separators are read as separators, is
    // kept nowhere.
    for (const wchar_t* path : {L"http://h/a/../../../../../x.pdf", L"http://h/..\\..\\..\\x.pdf",
                                L"http://h/a/./x.pdf", L"\\\\srv\\..\\..\\..\\x.pdf"}) {
        EXPECT_EQ(LocalCachePath(path, 1, Mode(L"http://srv/prev", L"Folder")), L"") << ToUtf8(path);
    }
    // Dots inside a name are a name.
    EXPECT_EQ(LocalCachePath(L"http://h/a..b/x.pdf", 1, Mode(L"http://srv/prev", L"Folder")),
              data + L"srv\\Folder\\http\\h\\a..b\\x.pdf_00000001.txt");
    EXPECT_TRUE(StaysBelow(L"/c/srv/x", L"/c/srv"));
    EXPECT_FALSE(StaysBelow(L"/c/srv2/x", L"/c/srv"));
    EXPECT_FALSE(StaysBelow(L"/c/srv/", L"/c/srv/"));
    EXPECT_FALSE(StaysBelow(std::wstring(L"/c/srv/a\0b", 10), L"/c/srv/"));
}

TEST_F(CachePaths, NamesThatWouldLeaveTheDataFolderAreRefused) {
    // A key that climbs out of the cache.
    EXPECT_EQ(LocalCachePath(L"abcdef\\..\\..\\..\\..\\..\\..\\..\\etc\\x", 1, Mode(L"http://srv/p", L"eValueNS")), L"");
    EXPECT_EQ(LocalCachePath(L"../../x/evil", 1, Mode(L"http://srv/p", L"eValueNS")), L"");
    // A root whose host is no host: no cache folder at all.
    for (const wchar_t* root : {L"http://../p", L"http://.", L"http://..\\..", L"http://%2e%2e"}) {
        EXPECT_EQ(LocalCachePath(L"http://h/a.ppt", 1, Mode(root, L"Flat")), L"") << ToUtf8(root);
        EXPECT_EQ(CacheFolder(Mode(root, L"Flat")), L"") << ToUtf8(root);
    }
    EXPECT_TRUE(StaysInUserDataFolder(UserDataFolder() + L"srv\\a..b_00000001.txt"));
    EXPECT_FALSE(StaysInUserDataFolder(L"/tmp/elsewhere"));
}

TEST(PreviewStatus, PrefixesMatchOnlyWhenWhole) {
    EXPECT_EQ(StatusFromText("**ZAZPreviewStatus:Success\r\n"), kPreviewSuccess);
    EXPECT_EQ(StatusFromText("**ZAZPreviewStatus:CreatingNow"), kPreviewCreatingNow);
    EXPECT_EQ(StatusFromText("**ZAZPreviewStatus:CreatingNo"), kPreviewNone);  // 29 bytes
    EXPECT_EQ(StatusFromText("**ZAZPreviewStatus:Failed"), kPreviewFailed);
    EXPECT_EQ(StatusFromText("**ZAZPreviewStatus:Waiting and more"), kPreviewWaiting);
    EXPECT_EQ(StatusFromText(""), kPreviewNone);
    EXPECT_EQ(StatusFromText("<html>404</html>"), kPreviewNone);
}

}  // namespace
}  // namespace zov
