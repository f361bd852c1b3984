#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/image/ImageDecoder.h"
#include "tests/support/FifoTrap.h"
#include "tests/support/TempDataHome.h"
#include "tests/support/TestHttpServer.h"

#include <atomic>
#include <fstream>
#include <functional>
#include <memory>

namespace zov {
namespace {

// Preview folders written into a local preview root, read back through
// PreviewSource as the loaders do.
class LocalPreviews : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        settings_.previewRoot = WideRoot() + L"\\previews";
        settings_.folderMode = L"Folder";
    }

    std::wstring Document(const std::string& name) const { return WideRoot() + L"\\docs\\" + FromUtf8(name); }

    void WritePage(const std::wstring& document, std::int32_t n, int version, std::string text,
                   std::optional<std::vector<std::int32_t>> pages = std::nullopt) {
        std::vector<std::uint32_t> pixels(8 * 6, 0x336699);
        PageFileContent content;
        content.version = version;
        content.imageType = 3;
        content.image1 = PageFileImage{8, 6, 0, EncodePng(pixels.data(), 8, 6)};
        std::vector<std::uint32_t> large(16 * 12, 0x996633);
        content.image2 = PageFileImage{16, 12, 0, EncodePng(large.data(), 16, 12)};
        content.text = std::move(text);
        content.pageList = std::move(pages);
        std::wstring path = PageFilePath(document, n, settings_);
        ASSERT_TRUE(CreateFolderTree(path.substr(0, path.rfind(L'\\'))));
        ASSERT_TRUE(WritePageFile(path, content));
    }

    void WriteStatus(const std::wstring& document, const std::string& text) {
        std::wstring path = PageFilePath(document, kStatusFile, settings_);
        ASSERT_TRUE(CreateFolderTree(path.substr(0, path.rfind(L'\\'))));
        std::ofstream(NativePath(path), std::ios::binary) << text;
    }

    PreviewSource Source(const std::wstring& document) const { return PreviewSource(document, settings_); }

    PreviewSettings settings_;
};

TEST_F(LocalPreviews, StatusComesFromTheStatusFileOrFromPages) {
    std::wstring waiting = Document("waiting.pdf");
    WriteStatus(waiting, "**ZAZPreviewStatus:Waiting\r\n");
    EXPECT_EQ(Source(waiting).Status(), kPreviewWaiting);

    std::wstring failed = Document("failed.doc");
    WriteStatus(failed, "**ZAZPreviewStatus:Failed");
    EXPECT_EQ(Source(failed).Status(), kPreviewFailed);

    // No status file but pages: finished, except in eValueNS mode.
    std::wstring pagesOnly = Document("pages.ppt");
    WritePage(pagesOnly, 1, 3, "one", std::vector<std::int32_t>{1, 1});
    EXPECT_EQ(Source(pagesOnly).Status(), kPreviewSuccess);
    PreviewSettings evalue = settings_;
    evalue.eValueNSMode = true;
    EXPECT_EQ(PreviewSource(pagesOnly, evalue).Status(), kPreviewNone);

    EXPECT_EQ(Source(Document("nothing.pdf")).Status(), kPreviewNone);
}

TEST_F(LocalPreviews, PagesListsVersionsAndTexts) {
    std::wstring doc = Document("\u4f1a\u8b70.pdf");
    WritePage(doc, 1, 3, "\xE7\xAC\xAC\xE4\xB8\x80 first page", std::vector<std::int32_t>{1, 1, 1});
    WritePage(doc, 2, 3, "second page");
    PreviewSource source = Source(doc);

    EXPECT_TRUE(source.Exists(1));
    EXPECT_TRUE(source.Exists(2));
    EXPECT_FALSE(source.Exists(3));
    EXPECT_EQ(source.PageList(), (std::vector<std::int32_t>{1, 1, 1}));
    EXPECT_EQ(source.FormatVersion(), 3);

    auto small = source.LoadPage(2);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->Width(), 8);
    EXPECT_EQ(small->At(0, 0), 0x336699u);
    auto large = source.LoadPageDetail(2);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->Width(), 16);
    EXPECT_EQ(source.LoadPage(3), nullptr);

    std::wstring text;
    EXPECT_TRUE(source.PageText(1, false, text));
    EXPECT_EQ(text, L"\u7b2c\u4e00 first page\n");
    EXPECT_TRUE(source.PageText(2, false, text));
    EXPECT_EQ(text, L"second page\n");
    EXPECT_FALSE(source.PageText(9, false, text));
    // Search texts are read only through an HTTP preview root's cache.
    EXPECT_FALSE(source.PageText(1, true, text));
    EXPECT_FALSE(source.HasSearchText());

    std::wstring missing = Document("missing.pdf");
    EXPECT_FALSE(Source(missing).Exists(1));
    EXPECT_EQ(Source(missing).PageList(), std::nullopt);
    EXPECT_EQ(Source(missing).FormatVersion(), -1);
}

TEST_F(LocalPreviews, VersionOnePagesHaveNoTextAndBooksNoPages) {
    std::wstring old = Document("old.xls");
    WritePage(old, 1, 1, "");
    std::wstring text = L"left over";
    EXPECT_TRUE(Source(old).PageText(1, false, text));
    EXPECT_EQ(text, L"");
    EXPECT_EQ(Source(old).PageList(), std::vector<std::int32_t>{1});

    std::wstring book = Document("album.cvb");
    WritePage(book, 1, 3, "never read");
    EXPECT_EQ(Source(book).FormatVersion(), -1);
    EXPECT_EQ(Source(book).LoadPage(1), nullptr);
    EXPECT_TRUE(Source(book).PageText(1, false, text));
    EXPECT_EQ(text, L"");
}

TEST_F(LocalPreviews, PageZeroCountsAsAFirstPage) {
    std::wstring doc = Document("zero.pdf");
    WritePage(doc, 0, 3, "zero");
    EXPECT_TRUE(Source(doc).Exists(1));
}

TEST_F(LocalPreviews, APipeInPlaceOfAPageFileIsNotOpened) {
    std::wstring doc = Document("piped.pdf");
    WritePage(doc, 2, 3, "two");
    std::wstring first = PageFilePath(doc, 1, settings_);
    test::FifoTrap pipe(NativePath(first));
    test::FifoTrap status(NativePath(PageFilePath(doc, kStatusFile, settings_)));
    PreviewSource source = Source(doc);
    EXPECT_FALSE(source.Exists(1));
    EXPECT_EQ(source.PageList(), std::nullopt);
    EXPECT_EQ(source.LoadPage(1), nullptr);
    EXPECT_EQ(source.Status(), kPreviewNone);
    EXPECT_FALSE(pipe.Caught()) << "a page file read waited for the pipe's writer";
    EXPECT_FALSE(status.Caught()) << "the status read waited for the pipe's writer";
    EXPECT_TRUE(source.LoadPage(2));
}

// HTTP folders as books, on a server that answers WebDAV as a test says.
class HttpFolders : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        settings_.previewRoot = FromUtf8(server_.Url("/prev"));
        settings_.folderMode = L"Flat";
        ClearFolderListingCache();
    }
    void TearDown() override {
        ClearFolderListingCache();
        TempDataHome::TearDown();
    }
    PreviewSource Source(const std::string& path) const {
        return PreviewSource(FromUtf8(server_.Url(path)), settings_);
    }
    std::size_t Listings() const {
        std::size_t count = 0;
        for (const test::TestRequest& request : server_.Requests())
            count += request.method == "PROPFIND";
        return count;
    }
    static test::TestResponse Listing(const std::string& folder, const std::vector<std::string>& names) {
        std::string body = "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>" + folder + "</D:href></D:response>";
        for (const std::string& name : names)
            body += "<D:response><D:href>" + folder + name + "</D:href></D:response>";
        return test::Reply(207, body + "</D:multistatus>");
    }

    test::TestHttpServer server_;
    PreviewSettings settings_;
};

TEST_F(HttpFolders, AFolderWhoseFirstFileIsASubfolderShowsItsFirstPage) {
    std::vector<std::uint32_t> photo(4 * 3, 0x00CC00);
    std::vector<std::uint8_t> png = EncodePng(photo.data(), 4, 3);
    server_.Route("/nest/", [](const test::TestRequest&) { return Listing("/nest/", {"a/", "z.pdf"}); });
    server_.Route("/nest/a/", [](const test::TestRequest&) { return Listing("/nest/a/", {"b/"}); });
    server_.Route("/nest/a/b/", [](const test::TestRequest&) { return Listing("/nest/a/b/", {"pic.png"}); });
    server_.Answer("/nest/a/b/pic.png", 200, std::string(png.begin(), png.end()));
    PreviewSource book = Source("/nest/");
    EXPECT_TRUE(book.Exists(1));
    auto first = book.LoadPage(1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->At(3, 2), 0x00CC00u);
}

// A server that lists one more subfolder in every folder: before, the pages
// recursed down until the stack overflowed.
TEST_F(HttpFolders, EverDeeperSubfoldersEndAtTheDepthLimit) {
    server_.Route("/deep/*", [](const test::TestRequest& request) {
        return Listing(request.target, {"d/"});
    });
    PreviewSource book = Source("/deep/");
    EXPECT_FALSE(book.Exists(1));
    EXPECT_EQ(book.LoadPage(1), nullptr);
    EXPECT_EQ(book.LoadPageDetail(1), nullptr);
    EXPECT_EQ(book.FolderFileCount(), 1);
    EXPECT_EQ(Listings(), static_cast<std::size_t>(kMaxFolderDepth));
}

// Subfolders that lead back up (an index page's "../", a link to the folder
// itself written with dots, plain or escaped) show nothing. A server that
// names the same folder a new way each time went round until the stack gave
// out.
TEST_F(HttpFolders, LinksBackToAFolderOrAboveAreNoSubfolders) {
    auto indexPage = [](std::function<std::string()> link) {
        return [link](const test::TestRequest& request) {
            return request.method == "PROPFIND"
                       ? test::Reply(405)
                       : test::Reply(200, "<a href=\"" + link() + "\">again</a> <a href=\"b.pdf\">b</a>");
        };
    };
    server_.Route("/loop/*", indexPage([] { return "../loop/"; }));
    server_.Route("/escaped/*", indexPage([] { return "%252e%252e/escaped/"; }));
    auto turns = std::make_shared<std::atomic<int>>(0);
    server_.Route("/spin/*", indexPage([turns] { return "./" + std::to_string(++*turns) + "/../"; }));
    server_.Route("/dots/*", [](const test::TestRequest& request) { return Listing(request.target, {"./"}); });
    server_.Route("/up/*", [](const test::TestRequest& request) { return Listing(request.target, {"../"}); });
    for (std::string folder : {"/loop/", "/escaped/", "/spin/", "/dots/", "/up/x/"}) {
        PreviewSource book = Source(folder);
        EXPECT_FALSE(book.Exists(1)) << folder;
        EXPECT_EQ(book.LoadPage(1), nullptr) << folder;
        EXPECT_EQ(book.FolderFileCount(), folder == "/dots/" || folder == "/up/x/" ? 1 : 2) << folder;
    }
    // Each folder listed once: two requests for an index page, one for WebDAV.
    EXPECT_EQ(server_.Requests().size(), 8u);
}

}  // namespace
}  // namespace zov
