#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/image/ImageDecoder.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDataHome.h"
#include "tests/support/TestHttpServer.h"

#include <thread>

namespace zov {
namespace {

using namespace std::chrono_literals;

std::string PageFileBytes(std::uint32_t colour, const std::string& text,
                          std::optional<std::vector<std::int32_t>> pages = std::nullopt) {
    std::vector<std::uint32_t> pixels(6 * 4, colour);
    PageFileContent content;
    content.image1 = PageFileImage{6, 4, 0, EncodePng(pixels.data(), 6, 4)};
    content.text = text;
    content.pageList = std::move(pages);
    std::vector<std::uint8_t> bytes = SerializePageFile(content);
    return std::string(bytes.begin(), bytes.end());
}

// An HTTP preview root on nginx, read through the local cache.
class HttpPreviews : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        ASSERT_TRUE(nginx_.Running());
        settings_.previewRoot = FromUtf8(nginx_.Url("/prev"));
        settings_.folderMode = L"Flat";
        ClearFolderListingCache();
    }
    void TearDown() override {
        ClearFolderListingCache();
        TempDataHome::TearDown();
    }
    PreviewSource Source(const std::wstring& path) const { return PreviewSource(path, settings_); }

    test::NginxServer nginx_;
    PreviewSettings settings_;
};

TEST_F(HttpPreviews, PagesAreFetchedIntoTheCacheAndReadFromThere) {
    nginx_.WriteFile("prev/report.ppt_00000001.txt", PageFileBytes(0x112233, "first", std::vector<std::int32_t>{1, 1}));
    nginx_.WriteFile("prev/report.ppt_00000002.txt", PageFileBytes(0x445566, "second"));
    nginx_.WriteFile("prev/report.ppt_FFFFFFFF.txt", "**ZAZPreviewStatus:Success\r\n");
    PreviewSource source = Source(L"http://docs.example/x/y/report.ppt");

    EXPECT_EQ(source.Status(), kPreviewSuccess);
    EXPECT_EQ(source.PageList(), (std::vector<std::int32_t>{1, 1}));
    auto page = source.LoadPage(2);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->At(0, 0), 0x445566u);
    std::wstring text;
    EXPECT_TRUE(source.PageText(1, false, text));
    EXPECT_EQ(text, L"first\n");

    const std::wstring cached = CacheFolder(settings_) + L"\\report.ppt_00000002.txt";
    EXPECT_TRUE(PathExists(cached));
    // Pages other than the first are fetched once and kept.
    nginx_.WriteFile("prev/report.ppt_00000002.txt", PageFileBytes(0x778899, "changed"));
    EXPECT_EQ(source.LoadPage(2)->At(0, 0), 0x445566u);

    // A missing page is not there, and leaves nothing in the cache.
    EXPECT_EQ(source.LoadPage(7), nullptr);
    ClearCache(settings_);
    EXPECT_FALSE(PathExists(CacheFolder(settings_)));
}

TEST_F(HttpPreviews, SameNamedDocumentsOfTwoFoldersKeepTheirOwnPages) {
    // In "Folder" mode the previews lie below the documents' own folders.
    settings_.folderMode = L"Folder";
    const std::string host = "127.0.0.1" + std::to_string(nginx_.Port());
    const std::string one = "prev/Folder/http/" + host + "/one/report.pdf";
    const std::string two = "prev/Folder/http/" + host + "/two/report.pdf";
    nginx_.WriteFile(one + "_00000001.txt", PageFileBytes(0x110000, "one", std::vector<std::int32_t>{1, 1}));
    nginx_.WriteFile(one + "_00000002.txt", PageFileBytes(0x120000, "one, second"));
    nginx_.WriteFile(two + "_00000001.txt", PageFileBytes(0x000022, "two", std::vector<std::int32_t>{1}));
    nginx_.WriteFile(two + "_00000002.txt", PageFileBytes(0x000023, "two has one page"));
    PreviewSource first = Source(FromUtf8(nginx_.Url("/one/report.pdf")));
    PreviewSource second = Source(FromUtf8(nginx_.Url("/two/report.pdf")));

    ASSERT_TRUE(first.LoadPage(1));
    EXPECT_EQ(first.LoadPage(1)->At(0, 0), 0x110000u);
    ASSERT_TRUE(first.LoadPage(2));
    auto page = second.LoadPage(1);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->At(0, 0), 0x000022u);
    EXPECT_EQ(second.PageList(), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(second.LoadPage(2)->At(0, 0), 0x000023u);
    std::wstring text;
    EXPECT_TRUE(second.PageText(1, false, text));
    EXPECT_EQ(text, L"two\n");

    // Both stay in the cache folder, each below its own folder.
    const std::wstring cache = CacheFolder(settings_);
    EXPECT_TRUE(PathExists(cache + L"\\Folder\\http\\" + FromUtf8(host) + L"\\one\\report.pdf_00000002.txt"));
    EXPECT_TRUE(PathExists(cache + L"\\Folder\\http\\" + FromUtf8(host) + L"\\two\\report.pdf_00000002.txt"));
    ClearCache(settings_);
    EXPECT_FALSE(PathExists(cache));
}

TEST_F(HttpPreviews, FlatPreviewsAreKnownByNameInTheCacheToo) {
    nginx_.WriteFile("prev/report.pdf_00000001.txt", PageFileBytes(0x334455, "flat", std::vector<std::int32_t>{1}));
    auto page = Source(L"http://docs.example/one/report.pdf").LoadPage(1);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->At(0, 0), 0x334455u);
    EXPECT_TRUE(PathExists(CacheFolder(settings_) + L"\\report.pdf_00000001.txt"));
    // The same name from elsewhere is the same preview in this mode.
    nginx_.WriteFile("prev/report.pdf_00000001.txt", PageFileBytes(0x667788, "changed", std::vector<std::int32_t>{1}));
    EXPECT_EQ(Source(L"http://docs.example/two/report.pdf").LoadPage(1)->At(0, 0), 0x334455u);
}

TEST_F(HttpPreviews, AStatusFileIsFreshForTwoSecondsFromItsCreation) {
    nginx_.WriteFile("prev/slow.pdf_FFFFFFFF.txt", "**ZAZPreviewStatus:Waiting\r\n");
    PreviewSource source = Source(L"http://docs.example/slow.pdf");
    EXPECT_EQ(source.Status(), kPreviewWaiting);
    nginx_.WriteFile("prev/slow.pdf_FFFFFFFF.txt", "**ZAZPreviewStatus:CreatingNow\r\n");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(source.Status(), kPreviewWaiting);  // 1 s old: used as it is
    std::this_thread::sleep_for(1100ms);
    EXPECT_EQ(source.Status(), kPreviewCreatingNow);  // 2 s old: fetched again
}

TEST_F(HttpPreviews, SearchTextsAreUsableOnlyWithAZeroWord) {
    nginx_.WriteFile("prev/s.pdf_00000001.txt", PageFileBytes(0, "p", std::vector<std::int32_t>{1, 1}));
    nginx_.WriteFile("prev/s.pdf_00000001_s.txt", std::string(10, '\0') + "\xE6\xA4\x9C\xE7\xB4\xA2 words\r\n");
    nginx_.WriteFile("prev/s.pdf_00000002_s.txt", std::string("\x01\0\0\0", 4) + "xxxxxx" + "not usable");
    PreviewSource source = Source(L"http://docs.example/s.pdf");
    EXPECT_TRUE(source.HasSearchText());
    std::wstring text;
    EXPECT_TRUE(source.PageText(1, true, text));
    EXPECT_EQ(text, L"\u691c\u7d22 words\n");
    EXPECT_FALSE(source.PageText(2, true, text));
    EXPECT_FALSE(Source(L"http://docs.example/none.pdf").HasSearchText());
}

TEST_F(HttpPreviews, AFolderAddressIsABookOfItsFiles) {
    nginx_.WriteFile("shared/a.pdf", "document");
    nginx_.WriteFile("prev/a.pdf_00000001.txt", PageFileBytes(0xAA0000, "a", std::vector<std::int32_t>{1}));
    std::vector<std::uint32_t> photo(5 * 3, 0x00BB00);
    std::vector<std::uint8_t> png = EncodePng(photo.data(), 5, 3);
    nginx_.WriteFile("shared/b.png", std::string(png.begin(), png.end()));
    nginx_.WriteFile("shared/a.pdf_00000001.txt", "a preview lying in the folder");

    PreviewSource folder = Source(FromUtf8(nginx_.Url("/shared/")));
    EXPECT_EQ(folder.FolderFileCount(), 2);
    EXPECT_EQ(folder.FolderFile(0), FromUtf8(nginx_.Url("/shared/a.pdf")));
    EXPECT_EQ(folder.FolderFile(2), FromUtf8(nginx_.Url("/shared/b.png")));
    EXPECT_EQ(folder.FolderFile(3), std::nullopt);
    EXPECT_EQ(folder.PageList(), (std::vector<std::int32_t>{1, 1}));
    EXPECT_TRUE(folder.Exists(1));
    auto first = folder.LoadPage(1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->At(0, 0), 0xAA0000u);
    auto second = folder.LoadPage(2);  // a picture shows itself
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Width(), 5);
    EXPECT_EQ(second->At(4, 2), 0x00BB00u);
    EXPECT_EQ(Source(L"/local/folder/").FolderFileCount(), 0);
}

// The cache is cleared under a name a page chose; the data folder lies
// three levels down so that even a clearing that escaped stays in the test's
// own folder.
class ClearingTheCache : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        const std::string home = Root() + "/a/b/home";
        setenv("ZOV_DATA_HOME", home.c_str(), 1);
        for (const char* canary : kCanaries)
            WriteBytes(canary, "alive");
    }
    static constexpr const char* kCanaries[] = {"a/canary", "a/b/canary", "a/b/home/canary",
                                                "a/b/home/ZOVuvazaR/Registry.txt"};
};

TEST_F(ClearingTheCache, ARootWithoutAHostClearsNothingAndAGoodOneItsOwnFolder) {
    PreviewSettings settings;
    for (const wchar_t* root : {L"http://..\\..", L"http://..", L"http://.", L"http://..\\..\\..", L"https://../x",
                                L"http://.:80", L"http://..\\/.."}) {
        settings.previewRoot = root;
        ClearCache(settings);
        for (const char* canary : kCanaries)
            EXPECT_TRUE(PathExists(FromUtf8(Root() + "/" + canary))) << canary << " after " << ToUtf8(root);
    }
    WriteBytes("a/b/home/ZOVuvazaR/srv.8080/x.pdf_00000001.txt", "cached");
    WriteBytes("a/b/home/ZOVuvazaR/.preview/y.pdf_00000001.txt", "cached");
    settings.previewRoot = L"http://srv:8080/p";
    ClearCache(settings);
    EXPECT_FALSE(PathExists(FromUtf8(Root() + "/a/b/home/ZOVuvazaR/srv.8080")));
    settings.previewRoot = L"/local/previews";
    ClearCache(settings);
    EXPECT_FALSE(PathExists(FromUtf8(Root() + "/a/b/home/ZOVuvazaR/.preview")));
    for (const char* canary : kCanaries)
        EXPECT_TRUE(PathExists(FromUtf8(Root() + "/" + canary))) << canary;
}

TEST(FolderListingCache, IsEmptiedBeforeTheHundredAndSecondFolder) {
    test::TestHttpServer server;
    server.Route("/f*", [](const test::TestRequest& request) {
        test::TestResponse response;
        response.status = 207;
        response.body = "<D:multistatus><D:response><D:href>" + request.target + "doc.pdf</D:href></D:response>";
        return response;
    });
    PreviewSettings settings;
    ClearFolderListingCache();
    auto folder = [&](int i) { return FromUtf8(server.Url("/f" + std::to_string(i) + "/")); };
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(PreviewSource(folder(i), settings).FolderFileCount(), 1);
    EXPECT_EQ(server.Requests().size(), 101u);
    PreviewSource(folder(0), settings).FolderFileCount();  // cached
    EXPECT_EQ(server.Requests().size(), 101u);
    PreviewSource(folder(101), settings).FolderFileCount();  // 101 held: emptied first
    PreviewSource(folder(0), settings).FolderFileCount();
    EXPECT_EQ(server.Requests().size(), 103u);
    ClearFolderListingCache();
}

}  // namespace
}  // namespace zov
