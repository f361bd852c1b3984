#include "tests/viewer/ViewerFixture.h"

#include "render/DocumentSearch.h"
#include "tests/support/TestHttpServer.h"

#include <atomic>
#include <map>

namespace zov {
namespace {

// Far more frames than a turn takes: a book that never stops fails the test.
constexpr int kMaxFrames = 200;

class Search : public test::ViewerFixture {
protected:
    void WaitForStep() {
        ASSERT_TRUE(Eventually([this] { return !viewer_->SearchRunning(); }));
    }

    // Update steps until every book has stopped turning.
    void PlayFrames() {
        for (int i = 0; i < kMaxFrames; ++i) {
            Step();
            LockGuard desk(DeskLock());
            if (std::none_of(viewer_->objects.begin(), viewer_->objects.end(),
                             [](const auto& book) { return book->animating; }))
                return;
        }
        ADD_FAILURE() << "a book never stopped turning";
    }

    // The pages facing up: 2a and 2a + 1 for two pages, a + 1 for one.
    static std::int32_t SpreadOf(const ZAZObject& book) {
        LockGuard desk(DeskLock());
        return (book.pagePosition + 1) / 2;
    }

    // One step as the page asks for it, played out.
    void Step(const std::wstring& text, int direction) {
        viewer_->SearchStep(text, direction);
        WaitForStep();
        PlayFrames();
    }
    using test::ViewerFixture::Step;
};

TEST_F(Search, KeywordsAreSplitAtSingleBlanksAndIdeographicSpaces) {
    EXPECT_EQ(viewer_->KeywordsText(), std::nullopt);
    EXPECT_EQ(SplitKeywords(L"ab\x3000" L"cd"), (std::vector<std::wstring>{L"ab", L"cd"}));
    EXPECT_EQ(SplitKeywords(L"ab  cd "), (std::vector<std::wstring>{L"ab", L"", L"cd", L""}));
    EXPECT_EQ(SplitKeywords(L""), (std::vector<std::wstring>{L""}));
    EXPECT_EQ(SplitKeywords(std::wstring(1000, L' ')).size(), kMaxKeywords);
    EXPECT_EQ(SplitKeywords(std::wstring(5000, L'a')).front().size(), kMaxKeywordChars);
    viewer_->SetKeywords(L"ab\x3000" L"cd");
    EXPECT_EQ(viewer_->KeywordsText(), L"ab cd");
}

TEST_F(Search, StepsWalkTheZoomedBookFromHitToHit) {
    const std::wstring path = Document("walk.pdf");
    WriteTextPreview(path, Texts(12, "ａｐｐｌｅ", {5, 9}));
    std::vector<ZAZObject*> books = LoadComplete({path});
    ASSERT_EQ(books.size(), 1u);
    ZAZObject& book = *books[0];
    ZoomInto(&book);
    EXPECT_TRUE(viewer_->ZoomedHasSearchData());

    // A new text looks at the spread showing (page 1) first, then forward.
    Step(L"Apple", 1);
    EXPECT_EQ(SpreadOf(book), 2);  // pages 4 and 5
    EXPECT_EQ(viewer_->SearchProgress(), 100);
    // The same text again leaves the spread it found and goes on.
    Step(L"Apple", 1);
    EXPECT_EQ(SpreadOf(book), 4);  // pages 8 and 9
    Step(L"Apple", 1);
    EXPECT_EQ(SpreadOf(book), 4);  // no hit after page 9
    Step(L"Apple", -1);
    EXPECT_EQ(SpreadOf(book), 2);
    // Backward from pages 4 and 5 there is nothing, down to page 1.
    Step(L"Apple", -1);
    EXPECT_EQ(SpreadOf(book), 2);

    // A new text whose hit is on the spread showing turns onto it again.
    viewer_->SearchStep(L"APPLE", 1);
    WaitForStep();
    {
        LockGuard desk(DeskLock());
        EXPECT_TRUE(book.animating);
        EXPECT_EQ(book.flipState, kFlipNext);
    }
    PlayFrames();
    EXPECT_EQ(SpreadOf(book), 2);
}

TEST_F(Search, SinglePageModeStepsPageByPage) {
    const std::wstring path = Document("single.pdf");
    WriteTextPreview(path, Texts(8, "pear", {3, 4}));
    ZAZObject& book = *LoadComplete({path})[0];
    ZoomInto(&book);
    viewer_->SingleOpenPage(false, false);
    Step(L"pear", 1);
    EXPECT_EQ(SpreadOf(book), 2);  // page 3
    Step(L"pear", 1);
    EXPECT_EQ(SpreadOf(book), 3);  // page 4
    Step(L"pear", -1);
    EXPECT_EQ(SpreadOf(book), 2);
}

TEST_F(Search, OnTheDeskEveryBookStepsAndTheProgressEndsAtAHundred) {
    std::vector<std::wstring> paths;
    const std::vector<std::vector<int>> hits = {{6}, {}, {3, 10}};
    for (std::size_t i = 0; i < hits.size(); ++i) {
        paths.push_back(Document("desk" + std::to_string(i) + ".pdf"));
        WriteTextPreview(paths.back(), Texts(12, "plum", hits[i]));
    }
    std::vector<ZAZObject*> books = LoadComplete(paths);
    ASSERT_EQ(books.size(), 3u);
    Step(L"plum", 1);
    EXPECT_EQ(SpreadOf(*books[0]), 3);
    EXPECT_EQ(SpreadOf(*books[1]), 0);
    EXPECT_EQ(SpreadOf(*books[2]), 1);
    EXPECT_EQ(viewer_->SearchProgress(), 100);
    EXPECT_FALSE(viewer_->SearchRunning());
}

TEST_F(Search, SearchReloadsTheDeskWithClosedBooksOpenAtTheirFirstHit) {
    std::vector<std::wstring> paths;
    const std::vector<std::vector<int>> hits = {{7, 9}, {}, {1}};
    for (std::size_t i = 0; i < hits.size(); ++i) {
        paths.push_back(Document("reload" + std::to_string(i) + ".pdf"));
        WriteTextPreview(paths.back(), Texts(10, "fig", hits[i]));
    }
    std::vector<ZAZObject*> before = LoadComplete(paths);
    {
        ViewLock lock;
        before[0]->pagePosition = 8;
    }
    viewer_->Search(L"FIG");
    // The desk was emptied and handed to the loader; it is idle again once
    // every new book has loaded (and turned to its hit).
    ASSERT_TRUE(Eventually([this] { return viewer_->loaderIdle && viewer_->pendingTarget == nullptr; }));
    Step();
    PlayFrames();
    std::vector<ZAZObject*> books = viewer_->Objects();
    ASSERT_EQ(books.size(), 3u);
    EXPECT_EQ(SpreadOf(*books[0]), 3);  // pages 6 and 7
    EXPECT_EQ(SpreadOf(*books[1]), 0);
    EXPECT_EQ(SpreadOf(*books[2]), 0);  // the hit is the front page
    LockGuard desk(DeskLock());
    EXPECT_EQ(books[1]->flipState, kClosed);
}

TEST_F(Search, BooksKeepNoHitsOfKeywordsNoLongerSearched) {
    const std::wstring path = Document("switch.pdf");
    WriteTextPreview(path, Texts(12, "kiwi", {7}));
    ZAZObject& book = *LoadComplete({path})[0];
    ZoomInto(&book);
    Step(L"kiwi", 1);
    EXPECT_EQ(SpreadOf(book), 3);
    {
        ViewLock lock;
        book.pagePosition = 0;
        book.flipProgress = 0;
    }
    // The book remembers page 7 for "kiwi"; "lime" is on no page.
    Step(L"lime", 1);
    EXPECT_EQ(SpreadOf(book), 0);
    Step(L"lime kiwi", 1);
    EXPECT_EQ(SpreadOf(book), 0);
}

TEST_F(Search, ConsentIsNeededOnlyWhileADocumentHasNoSearchData) {
    const std::wstring current = Document("current.pdf");
    const std::wstring old = Document("old.pdf");
    WriteTextPreview(current, Texts(4, "x", {1}));
    WriteTextPreview(old, Texts(4, "x", {1}), 1);
    LoadComplete({current});
    EXPECT_FALSE(viewer_->SearchNeedsConsent());

    std::vector<ZAZObject*> books = LoadComplete({current, old});
    EXPECT_TRUE(viewer_->SearchNeedsConsent());
    viewer_->SearchConsentGiven();
    EXPECT_FALSE(viewer_->SearchNeedsConsent());
    // A new list asks again.
    books = LoadComplete({old, current});
    EXPECT_TRUE(viewer_->SearchNeedsConsent());

    ZoomInto(books[0]);
    EXPECT_FALSE(viewer_->ZoomedHasSearchData());
    // The old preview never moves its book.
    Step(L"x", 1);
    EXPECT_EQ(SpreadOf(*books[0]), 0);
}

TEST_F(Search, CancellingWithoutAStepReturnsAtOnce) {
    viewer_->StopSearch();
    viewer_->CancelSearch();
    EXPECT_FALSE(viewer_->SearchRunning());
    // A cancel left behind stops no later step.
    const std::wstring path = Document("after.pdf");
    WriteTextPreview(path, Texts(8, "date", {5}));
    ZAZObject& book = *LoadComplete({path})[0];
    ZoomInto(&book);
    Step(L"date", 1);
    EXPECT_EQ(SpreadOf(book), 2);
}

// Previews on a web server whose search text files never come.
class StalledSearch : public Search {
protected:
    void SetUp() override {
        server_.Route("/prev/*", [this](const test::TestRequest& request) {
            const std::string name = request.target.substr(std::string("/prev/").size());
            if (name.size() > 6 && name.compare(name.size() - 6, 6, "_s.txt") == 0) {
                ++stalled_;
                test::TestResponse stall;
                stall.stall = true;
                return stall;
            }
            auto file = files_.find(name);
            return file == files_.end() ? test::Reply(404) : test::Reply(200, file->second);
        });
        Search::SetUp();
        PreviewSettings settings = GetPreviewSettings();
        settings.previewRoot = FromUtf8(server_.Url("/prev"));
        settings.folderMode = L"Flat";
        SetPreviewSettings(settings);
        const std::uint32_t pixel = 0xFFFFFF;
        for (int n = 1; n <= 6; ++n) {
            PageFileContent content;
            content.imageType = 3;
            content.image1 = PageFileImage{1, 1, 0, EncodePng(&pixel, 1, 1)};
            if (n == 1)
                content.pageList = std::vector<std::int32_t>(6, 1);
            const std::vector<std::uint8_t> bytes = SerializePageFile(content);
            char name[64];
            std::snprintf(name, sizeof name, "slow.pdf_%08X.txt", n);
            files_[name] = std::string(bytes.begin(), bytes.end());
        }
        files_["slow.pdf_FFFFFFFF.txt"] = "**ZAZPreviewStatus:Success";
    }

    std::map<std::string, std::string> files_;
    std::atomic<int> stalled_{0};
    test::TestHttpServer server_;
};

TEST_F(StalledSearch, ACancelEndsAStepWaitingForTheServer) {
    ZAZObject& book = *LoadComplete({L"http://docs.example/d/slow.pdf"})[0];
    ZoomInto(&book);
    viewer_->SearchStep(L"word", 1);
    ASSERT_TRUE(Eventually([this] { return stalled_ > 0; }));
    EXPECT_TRUE(viewer_->SearchRunning());
    viewer_->StopSearch();
    EXPECT_FALSE(viewer_->SearchRunning());
    EXPECT_EQ(viewer_->SearchProgress(), 100);
    // The page whose text never came is not taken to hold no hit.
    LockGuard guard(DocumentLock());
    if (book.pageHits) {
        for (std::uint8_t entry : *book.pageHits)
            EXPECT_EQ(entry, 0);
    }
}

TEST_F(StalledSearch, TheViewerStopsARunningStepWhenItGoes) {
    ZAZObject& book = *LoadComplete({L"http://docs.example/d/slow.pdf"})[0];
    ZoomInto(&book);
    viewer_->SearchStep(L"word", -1);
    viewer_->SearchStep(L"word", 1);
    ASSERT_TRUE(Eventually([this] { return stalled_ > 0; }));
    // The control goes with its viewer while the step waits on the server.
    window_->Attach(nullptr);
    window_->Send([this] { control_.reset(); });
    viewer_ = nullptr;
    EXPECT_GE(stalled_.load(), 1);
}

}  // namespace
}  // namespace zov
