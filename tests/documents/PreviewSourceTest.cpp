#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/image/ImageDecoder.h"
#include "tests/support/TempDataHome.h"

#include <fstream>

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

}  // namespace
}  // namespace zov
