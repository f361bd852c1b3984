#include "render/DocumentSearch.h"

#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSettings.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "platform/image/ImageDecoder.h"
#include "render/ZAZObject.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDataHome.h"

#include <atomic>
#include <thread>

namespace zov {
namespace {

using Words = std::vector<std::wstring>;

TEST(KeywordMatch, FoldsWidthAndCaseOfTextAndKeywords) {
    // Full-width capitals find half-width lower case, and the other way round.
    EXPECT_TRUE(KeywordMatch(L"the quarterly report", {L"ＲＥＰＯＲＴ"}));
    EXPECT_TRUE(KeywordMatch(L"ＱＵＡＲＴＥＲＬＹ ２０２４", {L"quarterly", L"2024"}));
    // Katakana of either width meet in the same form.
    EXPECT_TRUE(KeywordMatch(L"ｶﾀｶﾅの資料", {L"カタカナ"}));
    EXPECT_TRUE(KeywordMatch(L"ガイド", {L"ｶﾞｲﾄﾞ"}));
    EXPECT_EQ(NormaliseForSearch(L"ＡＢＣ　ｄｅｆ"), L"abc def");
    EXPECT_EQ(NormaliseForSearch(L"plain text stays"), L"plain text stays");
    EXPECT_EQ(NormaliseForSearch(L""), L"");
}

TEST(KeywordMatch, NeedsEveryNonEmptyKeywordAndAtLeastOne) {
    EXPECT_TRUE(KeywordMatch(L"alpha beta gamma", {L"gamma", L"alpha"}));
    EXPECT_FALSE(KeywordMatch(L"alpha beta gamma", {L"alpha", L"delta"}));
    // An empty keyword is passed over...
    EXPECT_TRUE(KeywordMatch(L"alpha beta", {L"alpha", L""}));
    // ...but on its own it never matches, nor does no keyword at all.
    EXPECT_FALSE(KeywordMatch(L"alpha beta", {L""}));
    EXPECT_FALSE(KeywordMatch(L"alpha beta", {}));
}

// Documents with page texts in a local preview root, searched as the viewer
// searches them.
class LocalSearch : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        settings_.previewRoot = WideRoot() + L"\\previews";
        settings_.folderMode = L"Folder";
        SetPreviewSettings(settings_);
    }
    void TearDown() override {
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }

    std::wstring Path(const std::string& name) const { return WideRoot() + L"\\docs\\" + FromUtf8(name); }

    // One page file per text, in page file format `version`.
    void WriteDocument(const std::wstring& path, const std::vector<std::string>& texts, int version = 3) {
        const std::wstring first = PageFilePath(path, 1, settings_);
        ASSERT_TRUE(CreateFolderTree(first.substr(0, first.rfind(L'\\'))));
        const std::uint32_t pixel = 0xFFFFFF;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            PageFileContent content;
            content.version = version;
            content.imageType = 3;
            content.image1 = PageFileImage{1, 1, 0, EncodePng(&pixel, 1, 1)};
            content.text = texts[i] + "\n";
            if (i == 0)
                content.pageList = std::vector<std::int32_t>(texts.size(), 1);
            ASSERT_TRUE(WritePageFile(PageFilePath(path, static_cast<std::int32_t>(i + 1), settings_), content));
        }
    }
    void RemovePreview(const std::wstring& path, int pages) {
        for (int n = 1; n <= pages; ++n)
            ASSERT_TRUE(RemoveFile(PageFilePath(path, n, settings_)));
    }

    std::unique_ptr<ZAZObject> Book(const std::wstring& path) {
        return std::make_unique<ZAZObject>(path, L"", &layout_, L"", false);
    }
    static std::vector<std::uint8_t> Hits(const ZAZObject& book) {
        LockGuard guard(DocumentLock());
        return book.pageHits ? *book.pageHits : std::vector<std::uint8_t>{};
    }

    PreviewSettings settings_;
    ZAZLayout layout_;
};

TEST_F(LocalSearch, FirstHitIsRememberedAndAnsweredWithoutReadingAgain) {
    const std::wstring path = Path("report.pdf");
    WriteDocument(path, {"cover page", "contents", "the ＢＵＤＧＥＴ for next year", "more budget", "end"});
    auto book = Book(path);

    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 0, false), 3);
    EXPECT_EQ(Hits(*book), (std::vector<std::uint8_t>{255, 255, 1}));
    // With the preview gone, the same question is still answered.
    RemovePreview(path, 5);
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 0, false), 3);
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 3, false), 3);
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 2, false), 0);
    // Page 4 was never tested, and there is nothing to read it from now.
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 4, false), -1);
}

TEST_F(LocalSearch, SinglePagesAreTestedAndRemembered) {
    const std::wstring path = Path("pages.pdf");
    WriteDocument(path, {"one", "two budget", "three", "four budget"});
    auto book = Book(path);

    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 4, false), 4);
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 3, false), 0);
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 9, false), 0);
    EXPECT_EQ(Hits(*book), (std::vector<std::uint8_t>{0, 0, 255, 1}));
    // The first-hit walk stops at page 1, which is unknown, and reads.
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 0, false), 2);
}

TEST_F(LocalSearch, OtherKeywordsOrTheSameInAnotherOrderStartAfresh) {
    const std::wstring path = Path("words.pdf");
    WriteDocument(path, {"alpha", "alpha beta", "gamma"});
    auto book = Book(path);
    EXPECT_EQ(SearchDocument(*book, {L"alpha", L"beta"}, 0, false), 2);

    // Page 2 loses its words; results of the old list must not answer for
    // the new one, though it holds the same words.
    WriteDocument(path, {"alpha", "nothing", "beta alpha"});
    EXPECT_EQ(SearchDocument(*book, {L"beta", L"alpha"}, 0, false), 3);
    EXPECT_EQ(SearchDocument(*book, {L"beta", L"alpha"}, 2, false), 0);
    EXPECT_EQ(SearchDocument(*book, {L"Alpha"}, 0, false), 1);
    LockGuard guard(DocumentLock());
    EXPECT_EQ(*book->searchKeywords, Words{L"Alpha"});
}

TEST_F(LocalSearch, RememberedMissesAreSkippedButUnknownPagesAreReadAgain) {
    const std::wstring path = Path("remembered.pdf");
    WriteDocument(path, {"word here", "nothing", "nothing"});
    auto book = Book(path);
    {
        LockGuard guard(DocumentLock());
        book->searchKeywords = std::make_unique<Words>(Words{L"word"});
        book->pageHits = std::make_unique<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{255, 255, 1});
    }
    // 255, 255, 1: the answer is page 3, whatever the pages say now.
    EXPECT_EQ(SearchDocument(*book, {L"word"}, 0, false), 3);
    {
        LockGuard guard(DocumentLock());
        *book->pageHits = {255, 0, 1};
    }
    // 255, 0, 1: the walk ends at the unknown page and the text is read
    // again from page 1, which holds the word.
    EXPECT_EQ(SearchDocument(*book, {L"word"}, 0, false), 1);
    EXPECT_EQ(Hits(*book)[0], 1);
}

TEST_F(LocalSearch, ADocumentWithoutTheWordsIsNotReadTwice) {
    const std::wstring path = Path("none.pdf");
    WriteDocument(path, {"a", "b", "c"});
    auto book = Book(path);
    EXPECT_EQ(SearchDocument(*book, {L"zebra"}, 0, false), 0);
    // Every page and the mark after the last one.
    EXPECT_EQ(Hits(*book), (std::vector<std::uint8_t>{255, 255, 255, 255}));
    WriteDocument(path, {"a", "zebra", "c"});
    EXPECT_EQ(SearchDocument(*book, {L"zebra"}, 0, false), 0);
    // A longer preview than the one searched is read again.
    WriteDocument(path, {"a", "b", "c", "d", "zebra"});
    EXPECT_EQ(SearchDocument(*book, {L"zebra"}, 0, false), 5);
}

TEST_F(LocalSearch, AnUnreadablePageEndsTheWalkAndCountsAsNoHit) {
    const std::wstring path = Path("gap.pdf");
    WriteDocument(path, {"a", "b", "target"});
    RemoveFile(PageFilePath(path, 2, settings_));
    auto book = Book(path);
    EXPECT_EQ(SearchDocument(*book, {L"target"}, 0, false), 0);
    EXPECT_EQ(Hits(*book), (std::vector<std::uint8_t>{255, 255}));
    EXPECT_EQ(SearchDocument(*book, {L"target"}, 3, false), 3);
}

TEST_F(LocalSearch, OldPreviewsHaveNoSearchableTextAndKeepNoResults) {
    const std::wstring path = Path("old.pdf");
    WriteDocument(path, {"budget", "budget"}, 1);
    auto book = Book(path);
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 0, false), -1);
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 1, false), -1);
    {
        LockGuard guard(DocumentLock());
        EXPECT_EQ(book->pageHits, nullptr);
    }
    EXPECT_FALSE(HasSearchData(*book));
    // A missing preview is no better.
    EXPECT_EQ(SearchDocument(*Book(Path("missing.pdf")), {L"budget"}, 0, false), -1);

    // Converted again in the current format, the same book is searched.
    WriteDocument(path, {"cover", "budget"});
    EXPECT_EQ(SearchDocument(*book, {L"budget"}, 0, false), 2);
    EXPECT_TRUE(HasSearchData(*book));
    EXPECT_FALSE(SearchesSearchTextFiles());
    EXPECT_EQ(SearchDocument(*book, {}, 0, false), 0);
}

TEST_F(LocalSearch, ACancelledSearchLeavesTheUntestedPagesUnknown) {
    const std::wstring path = Path("cancel.pdf");
    WriteDocument(path, {"a", "b", "hit"});
    auto book = Book(path);
    std::atomic<bool> cancel{true};
    EXPECT_EQ(SearchDocument(*book, {L"hit"}, 0, false, &cancel), 0);
    EXPECT_EQ(SearchDocument(*book, {L"hit"}, 3, false, &cancel), 0);
    for (std::uint8_t entry : Hits(*book))
        EXPECT_EQ(entry, 0);
    EXPECT_EQ(SearchDocument(*book, {L"hit"}, 0, false), 3);
}

TEST_F(LocalSearch, ThreadsSearchingOtherKeywordsNeverSeeEachOthersHits) {
    const std::wstring path = Path("shared.pdf");
    std::vector<std::string> texts(40, "filler text");
    texts[9] = "ｏｒａｎｇｅ";
    texts[29] = "lemon";
    WriteDocument(path, texts);
    auto book = Book(path);
    std::atomic<int> wrong{0};
    auto searcher = [&](const std::wstring& word, std::int32_t page) {
        for (int i = 0; i < 30; ++i) {
            if (SearchDocument(*book, {word}, 0, false) != page)
                ++wrong;
            if (SearchDocument(*book, {word}, page, false) != page || SearchDocument(*book, {word}, page + 1, false) != 0)
                ++wrong;
        }
    };
    std::thread orange(searcher, L"orange", 10);
    std::thread lemon(searcher, L"LEMON", 30);
    orange.join();
    lemon.join();
    EXPECT_EQ(wrong, 0);
}

// Previews on a web server, with search text files beside the page files.
class HttpSearch : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        ASSERT_TRUE(nginx_.Running());
        PreviewSettings settings;
        settings.previewRoot = FromUtf8(nginx_.Url("/prev"));
        settings.folderMode = L"Flat";
        SetPreviewSettings(settings);
    }
    void TearDown() override {
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }
    // Page files say `pageText`; the search text files, when wanted, `searchText`.
    void Publish(const std::string& name, int pages, const std::string& pageText,
                 std::optional<std::string> searchText) {
        const std::uint32_t pixel = 0;
        for (int n = 1; n <= pages; ++n) {
            PageFileContent content;
            content.imageType = 3;
            content.image1 = PageFileImage{1, 1, 0, EncodePng(&pixel, 1, 1)};
            content.text = pageText + std::to_string(n) + "\n";
            if (n == 1)
                content.pageList = std::vector<std::int32_t>(static_cast<std::size_t>(pages), 1);
            const std::vector<std::uint8_t> bytes = SerializePageFile(content);
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, "_%08X", n);
            nginx_.WriteFile("prev/" + name + suffix + ".txt", std::string(bytes.begin(), bytes.end()));
            if (searchText)
                nginx_.WriteFile("prev/" + name + suffix + "_s.txt",
                                 std::string(10, '\0') + *searchText + std::to_string(n) + "\r\n");
        }
    }
    test::NginxServer nginx_;
    ZAZLayout layout_;
};

TEST_F(HttpSearch, SearchTextFilesAreWhatIsSearched) {
    Publish("report.pdf", 4, "pagefile", "検索テキスト");
    Publish("bare.pdf", 2, "pagefile", std::nullopt);
    ZAZObject report(L"http://docs.example/x/report.pdf", L"", &layout_, L"", false);
    ZAZObject bare(L"http://docs.example/x/bare.pdf", L"", &layout_, L"", false);

    EXPECT_TRUE(SearchesSearchTextFiles());
    EXPECT_TRUE(HasSearchData(report));
    EXPECT_FALSE(HasSearchData(bare));
    EXPECT_EQ(SearchDocument(report, {L"ﾃｷｽﾄ3"}, 0, true), 3);
    EXPECT_EQ(SearchDocument(report, {L"pagefile3"}, 0, true), 0);
    EXPECT_EQ(SearchDocument(bare, {L"pagefile1"}, 0, true), 0);
}

}  // namespace
}  // namespace zov
