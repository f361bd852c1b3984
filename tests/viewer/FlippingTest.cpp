#include "tests/viewer/ViewerFixture.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace zov {
namespace {

// Far more frames than any turn or jump takes, so that a book that never
// stops fails the test instead of hanging it.
constexpr int kMaxFrames = 200;

// A book as the loader leaves it once its page list is there, on a layout of
// its own, with blank page images. FlipFrame only reads the book, so these
// need no desk.
struct LooseBook {
    explicit LooseBook(int images, bool rightStitch = false, bool singlePage = false) {
        layout.rightStitch = rightStitch ? 1 : 0;
        layout.singlePage = singlePage ? 1 : 0;
        book.pages = ZAZObject::PageList{};
        for (int n = 1; n <= images; ++n)
            book.pages->push_back(std::make_unique<ZAZImage>(L"x", L"", n));
        book.loadState = 3;
    }

    ZAZLayout layout;
    ZAZObject book{L"x", L"", &layout, L"", false};
};

// What one frame left behind.
struct FlipView {
    bool moving = false;
    std::int32_t position = 0;
    double progress = 0.0;
};

class Flipping : public test::ViewerFixture {
protected:
    // Frames until the book stops, the one reporting the stop included.
    // `first` is the batch of the first frame; later frames pass 0 as the
    // zoomed book's frames do.
    std::vector<FlipView> Play(ZAZObject& book, int first = 1) {
        std::vector<FlipView> frames;
        for (int i = 0; i < kMaxFrames; ++i) {
            const bool moving = viewer_->FlipFrame(i == 0 ? first : 0, book);
            frames.push_back({moving, book.pagePosition, book.flipProgress});
            if (!moving)
                break;
        }
        return frames;
    }

    // A clicked flip: stored whatever SetAction answers, then played out.
    std::vector<FlipView> Turn(ZAZObject& book, int action, int first = 1) {
        viewer_->SetAction(action, book);
        book.animating = true;
        return Play(book, first);
    }

    // `count` documents of `pages` pages each, loaded completely and laid out.
    std::vector<ZAZObject*> LoadBooks(int count, int pages) {
        std::vector<std::wstring> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(Document("flip-" + std::to_string(i) + ".pdf"));
            WritePreview(paths.back(), pages);
        }
        Load(Files(paths));
        // Complete lists are never rebuilt, so no page list changes under
        // the frames that follow.
        EXPECT_TRUE(Eventually([&] {
            ViewLock lock;
            const std::vector<ZAZObject*> books = viewer_->Objects();
            return static_cast<int>(books.size()) == count &&
                   std::all_of(books.begin(), books.end(), [&](ZAZObject* book) {
                       return book->loadState == 4 && book->PageCount() == pages;
                   });
        }));
        Step();  // the loader's last repaint lays the desk out
        return viewer_->Objects();
    }

    // The first of two loaded books zoomed up; null when that failed.
    ZAZObject* ZoomedBook(int pages) {
        const std::vector<ZAZObject*> books = LoadBooks(2, pages);
        if (books.empty())
            return nullptr;
        ViewLock lock;
        viewer_->currentObject = books.front();
        return viewer_->ZoomIn() ? books.front() : nullptr;
    }

    FlipView Look(ZAZObject& book) {
        ViewLock lock;
        return {book.animating, book.pagePosition, book.flipProgress};
    }

    void Steps(int count) {
        for (int i = 0; i < count; ++i)
            Step();
    }

    // Update steps until the book stops, the stopping one included; -1 when
    // it never does.
    int StepsUntilStill(ZAZObject& book) {
        for (int n = 1; n <= kMaxFrames; ++n) {
            Step();
            if (!Look(book).moving)
                return n;
        }
        return -1;
    }

    std::size_t QueuedClicks() {
        LockGuard step(StepLock());
        return viewer_->flipActions.size();
    }
};

TEST_F(Flipping, ALeafTurnsForwardInTwelveFramesAndBackInThirteen) {
    LooseBook b(6);
    ZAZObject& book = b.book;

    const std::vector<FlipView> forward = Turn(book, kFlipNext);
    ASSERT_EQ(forward.size(), 12u);
    // The first face of the leaf on position 0, then the second on 1.
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(forward[i].moving) << "frame " << i + 1;
        EXPECT_EQ(forward[i].position, 0) << "frame " << i + 1;
        EXPECT_NEAR(forward[i].progress, (i + 1) / 6.0, 1e-9) << "frame " << i + 1;
    }
    for (int i = 6; i < 11; ++i) {
        EXPECT_TRUE(forward[i].moving) << "frame " << i + 1;
        EXPECT_EQ(forward[i].position, 1) << "frame " << i + 1;
        EXPECT_NEAR(forward[i].progress, 0.25 + (i - 6) / 6.0, 1e-9) << "frame " << i + 1;
    }
    EXPECT_FALSE(forward[11].moving);
    EXPECT_EQ(book.pagePosition, 2);
    EXPECT_EQ(book.flipProgress, 0.0);
    EXPECT_FALSE(book.animating);
    // A finished turn leaves nothing for the next request to inherit.
    EXPECT_EQ(book.halfTurns, 0);

    book.pagePosition = 4;
    const std::vector<FlipView> back = Turn(book, kFlipPrevious);
    ASSERT_EQ(back.size(), 13u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(back[i].position, 3) << "frame " << i + 1;
        EXPECT_NEAR(back[i].progress, 1.0 - (i + 1) / 6.0, 1e-9) << "frame " << i + 1;
    }
    for (int i = 6; i < 12; ++i) {
        EXPECT_TRUE(back[i].moving) << "frame " << i + 1;
        EXPECT_EQ(back[i].position, 2) << "frame " << i + 1;
        EXPECT_NEAR(back[i].progress, 11.0 / 12.0 - (i - 6) / 6.0, 1e-9) << "frame " << i + 1;
    }
    EXPECT_FALSE(back[12].moving);
    // The spread of position 2, counted from the odd side.
    EXPECT_EQ(book.pagePosition, 1);
    EXPECT_EQ(book.flipProgress, 1.0);
    EXPECT_EQ(book.halfTurns, 0);
}

TEST_F(Flipping, TurnsStopAtTheEndsAndSomeBooksNeverMove) {
    {
        SCOPED_TRACE("four page images");
        LooseBook b(4);
        ZAZObject& book = b.book;
        Turn(book, kFlipNext);
        EXPECT_EQ(Turn(book, kFlipNext).size(), 12u);
        // The last face lies alone on the left: odd position, fully turned.
        EXPECT_EQ(book.pagePosition, 3);
        EXPECT_EQ(book.flipProgress, 1.0);
        std::vector<FlipView> refused = Turn(book, kFlipNext);
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_FALSE(refused[0].moving);
        EXPECT_FALSE(book.animating);
        EXPECT_EQ(book.pagePosition, 3);
        EXPECT_EQ(book.flipProgress, 1.0);

        EXPECT_EQ(Turn(book, kFlipPrevious).size(), 13u);
        EXPECT_EQ(book.pagePosition, 1);
        EXPECT_EQ(book.flipProgress, 1.0);
        // Back on the cover the turn cannot go below position 0.
        EXPECT_EQ(Turn(book, kFlipPrevious).size(), 13u);
        EXPECT_EQ(book.pagePosition, 0);
        EXPECT_EQ(book.flipProgress, 0.0);
        refused = Turn(book, kFlipPrevious);
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_FALSE(refused[0].moving);
        EXPECT_FALSE(book.animating);
        EXPECT_EQ(book.pagePosition, 0);
    }
    {
        SCOPED_TRACE("single page, two images: three faces");
        LooseBook b(2, false, true);
        EXPECT_EQ(Turn(b.book, kFlipNext).size(), 12u);
        EXPECT_EQ(b.book.pagePosition, 2);
        EXPECT_EQ(b.book.flipProgress, 0.0);
        EXPECT_EQ(Turn(b.book, kFlipNext).size(), 1u);
        EXPECT_EQ(b.book.pagePosition, 2);
    }

    // Books that stop at their first frame without moving.
    auto expectStill = [this](ZAZObject& book, const char* what) {
        SCOPED_TRACE(what);
        const std::int32_t position = book.pagePosition;
        const double progress = book.flipProgress;
        const std::vector<FlipView> frames = Turn(book, kFlipNext);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_FALSE(frames[0].moving);
        EXPECT_EQ(book.pagePosition, position);
        EXPECT_EQ(book.flipProgress, progress);
        EXPECT_EQ(book.halfTurns, 0);
    };
    LooseBook one(1);
    expectStill(one.book, "one page image");
    EXPECT_FALSE(one.book.animating);
    LooseBook single(1, false, true);
    expectStill(single.book, "single page mode, one page");
    EXPECT_FALSE(single.book.animating);
    LooseBook loading(6);
    loading.book.loadState = 0;
    loading.book.pagePosition = 3;
    loading.book.flipProgress = 1.0;
    expectStill(loading.book, "preview not loaded");
    EXPECT_FALSE(loading.book.animating);
    LooseBook listless(0);
    listless.book.pages = std::nullopt;
    expectStill(listless.book, "no page list");
}

TEST_F(Flipping, ClosedBooksOpenOnlyTowardHigherPositionsAndTheBindingMirrors) {
    LooseBook left(6);
    for (int refused : {kFlipPrevious, kFlipPrevious10, kFlipFirst}) {
        EXPECT_FALSE(viewer_->SetAction(refused, left.book)) << refused;
        EXPECT_EQ(left.book.flipState, kClosed) << refused;
    }
    for (int accepted : {kFlipNext, kFlipNext10, kFlipLast}) {
        left.book.flipState = kClosed;
        EXPECT_TRUE(viewer_->SetAction(accepted, left.book)) << accepted;
        EXPECT_EQ(left.book.flipState, accepted) << accepted;
    }

    LooseBook right(6, true);
    for (int refused : {kFlipNext, kFlipNext10, kFlipLast}) {
        EXPECT_FALSE(viewer_->SetAction(refused, right.book)) << refused;
        EXPECT_EQ(right.book.flipState, kClosed) << refused;
    }
    // Accepted, the request is stored mirrored and opens the book onward.
    EXPECT_TRUE(viewer_->SetAction(kFlipPrevious, right.book));
    EXPECT_EQ(right.book.flipState, kFlipNext);
    right.book.animating = true;
    EXPECT_EQ(Play(right.book).size(), 12u);
    EXPECT_EQ(right.book.pagePosition, 2);

    // Open books take every request; only the right binding mirrors it.
    const std::pair<ZAZObjectFlipAction, ZAZObjectFlipAction> mirrored[] = {
        {kAutoNext, kAutoPrevious},   {kAutoPrevious, kAutoNext},       {kFlipNext, kFlipPrevious},
        {kFlipPrevious, kFlipNext},   {kFlipNext10, kFlipPrevious10},   {kFlipPrevious10, kFlipNext10},
        {kFlipLast, kFlipFirst},      {kFlipFirst, kFlipLast},
    };
    for (const auto& [asked, stored] : mirrored) {
        right.book.flipState = kAutoPrevious;
        EXPECT_TRUE(viewer_->SetAction(asked, right.book)) << asked;
        EXPECT_EQ(right.book.flipState, stored) << asked;
        left.book.flipState = kAutoNext;
        EXPECT_TRUE(viewer_->SetAction(asked, left.book)) << asked;
        EXPECT_EQ(left.book.flipState, asked) << asked;
    }
}

TEST_F(Flipping, JumpsMoveNextToTheTargetAndTurnOnlyTheLastLeaf) {
    LooseBook b(30);
    ZAZObject& book = b.book;

    // Ten pages are five leaves: the book jumps to 8 and turns onto 10.
    std::vector<FlipView> frames = Turn(book, kFlipNext10);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(frames[0].position, 8);
    EXPECT_NEAR(frames[0].progress, 1.0 / 6.0, 1e-9);
    EXPECT_EQ(book.flipState, kFlipNext);
    EXPECT_EQ(book.pagePosition, 10);
    EXPECT_EQ(book.flipProgress, 0.0);

    // To the end: from 27, made even, the last leaf turns onto face 29.
    frames = Turn(book, kFlipLast);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(frames[0].position, 28);
    EXPECT_EQ(book.pagePosition, 29);
    EXPECT_EQ(book.flipProgress, 1.0);
    frames = Turn(book, kFlipLast);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].moving);
    EXPECT_FALSE(book.animating);
    EXPECT_EQ(book.flipState, kFlipNext);
    EXPECT_EQ(book.pagePosition, 29);
    EXPECT_EQ(book.flipProgress, 1.0);

    // Ten pages back from the end's spread (30) land on the spread of 20.
    frames = Turn(book, kFlipPrevious10);
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_EQ(frames[0].position, 21);
    EXPECT_EQ(book.flipState, kFlipPrevious);
    EXPECT_EQ(book.pagePosition, 19);
    EXPECT_EQ(book.flipProgress, 1.0);

    // From 22 ten pages would pass the end: the jump is held at 27, made
    // even for the turn, and the last leaf turns onto face 29.
    Turn(book, kFlipNext);
    ASSERT_EQ(book.pagePosition, 22);
    frames = Turn(book, kFlipNext10);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(frames[0].position, 28);
    EXPECT_EQ(book.pagePosition, 29);
    EXPECT_EQ(book.flipProgress, 1.0);

    frames = Turn(book, kFlipFirst);
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_EQ(frames[0].position, 1);
    EXPECT_EQ(book.pagePosition, 0);
    EXPECT_EQ(book.flipProgress, 0.0);
    frames = Turn(book, kFlipFirst);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].moving);
    EXPECT_EQ(book.pagePosition, 0);
}

TEST_F(Flipping, AutomaticFlippingStepsAFacePerSevenFramesAndReversesAtTheEnds) {
    LooseBook b(6);
    ZAZObject& book = b.book;
    auto framesToNextFace = [&] {
        const std::int32_t from = book.pagePosition;
        for (int frame = 1; frame <= kMaxFrames; ++frame) {
            EXPECT_TRUE(viewer_->FlipFrame(0, book));
            if (book.pagePosition != from)
                return frame;
        }
        return -1;
    };

    book.flipState = kAutoNext;
    book.animating = true;
    EXPECT_EQ(framesToNextFace(), 7);
    EXPECT_EQ(book.pagePosition, 1);
    EXPECT_EQ(framesToNextFace(), 7);
    EXPECT_EQ(book.pagePosition, 2);

    // On the last face the next frame already goes the other way.
    book.pagePosition = 5;
    book.flipProgress = 1.0;
    book.flipState = kAutoNext;
    EXPECT_TRUE(viewer_->FlipFrame(0, book));
    EXPECT_EQ(book.flipState, kAutoPrevious);
    EXPECT_EQ(book.pagePosition, 5);
    EXPECT_EQ(book.flipProgress, 1.0);
    EXPECT_EQ(framesToNextFace(), 7);
    EXPECT_EQ(book.pagePosition, 4);

    // Likewise at the cover.
    book.pagePosition = 0;
    book.flipProgress = 0.0;
    book.flipState = kAutoPrevious;
    EXPECT_TRUE(viewer_->FlipFrame(0, book));
    EXPECT_EQ(book.flipState, kAutoNext);
    EXPECT_EQ(book.pagePosition, 0);
    EXPECT_EQ(book.flipProgress, 0.0);

    // It never ends on its own and never leaves the book: back and forth.
    int reversals = 0;
    for (int frame = 0; frame < kMaxFrames; ++frame) {
        const ZAZObjectFlipAction before = book.flipState;
        ASSERT_TRUE(viewer_->FlipFrame(0, book)) << frame;
        ASSERT_GE(book.pagePosition, 0) << frame;
        ASSERT_LE(book.pagePosition, 5) << frame;
        reversals += book.flipState != before ? 1 : 0;
    }
    EXPECT_TRUE(book.animating);
    EXPECT_GE(reversals, 2);
}

TEST_F(Flipping, JumpToPageTurnsOneLeafOntoThePagesSpread) {
    {
        SCOPED_TRACE("two pages, left stitch");
        LooseBook b(12);
        ZAZObject& book = b.book;
        book.flipState = kAutoNext;
        // Page 7 lies on leaf 3: pages 6 and 7 face up at position 6.
        EXPECT_TRUE(viewer_->JumpToPage(book, 7));
        EXPECT_EQ(book.pagePosition, 4);
        EXPECT_EQ(book.flipState, kFlipNext);
        EXPECT_TRUE(book.animating);
        EXPECT_EQ(Play(book, 0).size(), 12u);
        EXPECT_EQ(book.pagePosition, 6);
        EXPECT_EQ(book.flipProgress, 0.0);
        EXPECT_FALSE(viewer_->JumpToPage(book, 7));
        EXPECT_FALSE(viewer_->JumpToPage(book, 6));

        EXPECT_TRUE(viewer_->JumpToPage(book, 2));
        EXPECT_EQ(book.pagePosition, 4);
        EXPECT_EQ(book.flipState, kFlipPrevious);
        EXPECT_EQ(Play(book, 0).size(), 13u);
        EXPECT_EQ(book.pagePosition, 1);
        EXPECT_EQ(book.flipProgress, 1.0);
        // Position 1 at its end shows pages 2 and 3.
        EXPECT_FALSE(viewer_->JumpToPage(book, 3));
        EXPECT_FALSE(viewer_->JumpToPage(book, 2));
    }
    {
        SCOPED_TRACE("two pages, right stitch");
        LooseBook b(12, true);
        b.book.flipState = kAutoPrevious;
        EXPECT_TRUE(viewer_->JumpToPage(b.book, 7));
        // Mirrored twice: stored in position terms.
        EXPECT_EQ(b.book.flipState, kFlipNext);
        EXPECT_EQ(Play(b.book, 0).size(), 12u);
        EXPECT_EQ(b.book.pagePosition, 6);
    }
    {
        SCOPED_TRACE("single page");
        LooseBook b(12, false, true);
        b.book.flipState = kAutoNext;
        EXPECT_TRUE(viewer_->JumpToPage(b.book, 4));
        EXPECT_EQ(b.book.pagePosition, 4);
        EXPECT_EQ(Play(b.book, 0).size(), 12u);
        EXPECT_EQ(b.book.pagePosition, 6);
        EXPECT_FALSE(viewer_->JumpToPage(b.book, 4));
    }
}

TEST_F(Flipping, ClicksDuringATurnPlayAsOneTurnOfAsManyLeaves) {
    ZAZObject* book = ZoomedBook(16);
    ASSERT_NE(book, nullptr);
    {
        ViewLock lock;
        ASSERT_EQ(book->flipState, kAutoNext);
        ASSERT_EQ(book->pagePosition, 0);
    }
    viewer_->RequestFlip(kFlipNext);
    Steps(3);
    ASSERT_TRUE(Look(*book).moving);
    for (int i = 0; i < 3; ++i)
        viewer_->QueuePageClick(kFlipNext);
    EXPECT_EQ(QueuedClicks(), 3u);

    // The running turn goes on undisturbed and ends on its twelfth frame.
    EXPECT_EQ(StepsUntilStill(*book), 9);
    FlipView view = Look(*book);
    EXPECT_EQ(view.position, 2);
    EXPECT_EQ(view.progress, 0.0);

    // The three clicks together: 4 faces at once, then one leaf turns.
    Step();
    view = Look(*book);
    EXPECT_TRUE(view.moving);
    EXPECT_EQ(view.position, 6);
    EXPECT_NEAR(view.progress, 1.0 / 6.0, 1e-9);
    EXPECT_EQ(QueuedClicks(), 0u);
    EXPECT_EQ(StepsUntilStill(*book), 11);
    view = Look(*book);
    EXPECT_EQ(view.position, 8);
    EXPECT_EQ(view.progress, 0.0);

    Steps(5);
    view = Look(*book);
    EXPECT_FALSE(view.moving);
    EXPECT_EQ(view.position, 8);
}

TEST_F(Flipping, WithReducedMotionATurnEndsInTheStepThatStartsItButAutoFlippingKeepsItsPace) {
    ZAZObject* book = ZoomedBook(16);
    ASSERT_NE(book, nullptr);
    viewer_->SetReducedMotion(true);
    viewer_->RequestFlip(kFlipNext);
    Step();
    FlipView view = Look(*book);
    EXPECT_FALSE(view.moving);
    EXPECT_EQ(view.position, 2);
    EXPECT_EQ(view.progress, 0.0);

    // Clicks queued together still make one turn of as many leaves.
    for (int i = 0; i < 3; ++i)
        viewer_->QueuePageClick(kFlipNext);
    Step();
    view = Look(*book);
    EXPECT_FALSE(view.moving);
    EXPECT_EQ(view.position, 8);
    EXPECT_EQ(view.progress, 0.0);

    viewer_->SetReducedMotion(false);
    viewer_->RequestFlip(kFlipPrevious);
    Step();
    EXPECT_TRUE(Look(*book).moving) << "without the wish, turns animate again";

    LooseBook loose(8);
    viewer_->SetReducedMotion(true);
    loose.book.flipState = kAutoNext;
    loose.book.animating = true;
    EXPECT_TRUE(viewer_->FlipFrames(1, loose.book));
    EXPECT_NEAR(loose.book.flipProgress, 1.0 / 12.0, 1e-9) << "one step of the automatic turn";
}

TEST_F(Flipping, AClickTurnsItsOwnLeafAndEndsAutomaticFlipping) {
    ZAZObject* book = ZoomedBook(16);
    ASSERT_NE(book, nullptr);
    {
        ViewLock lock;
        ASSERT_EQ(book->flipState, kAutoNext);
        ASSERT_FALSE(book->animating);
        ASSERT_EQ(book->pagePosition, 0);
    }
    {
        SCOPED_TRACE("a click on the book at rest");
        viewer_->QueuePageClick(kFlipNext);
        Steps(40);
        // The resting state is no turn of its own: one click, one leaf.
        const FlipView view = Look(*book);
        EXPECT_FALSE(view.moving);
        EXPECT_EQ(view.position, 2);
        EXPECT_EQ(view.progress, 0.0);
        EXPECT_EQ(QueuedClicks(), 0u);
    }
    {
        SCOPED_TRACE("a click while automatic flipping runs");
        const std::int32_t from = Look(*book).position;
        viewer_->StartAuto(true);
        Steps(3);
        ASSERT_TRUE(viewer_->AutoFlipOn());
        FlipView view = Look(*book);
        ASSERT_TRUE(view.moving);
        EXPECT_EQ(view.position, from);
        EXPECT_GT(view.progress, 0.0);

        viewer_->QueuePageClick(kFlipNext);
        EXPECT_FALSE(viewer_->AutoFlipOn());
        Steps(40);
        view = Look(*book);
        EXPECT_FALSE(viewer_->AutoFlipOn());
        EXPECT_FALSE(view.moving);
        // The click's own turn played, and no automatic step after it.
        EXPECT_GT(view.position, from);
        EXPECT_LE(view.position, from + 4);
        EXPECT_EQ(view.position % 2, 0);
        EXPECT_EQ(view.progress, 0.0);
        {
            ViewLock lock;
            EXPECT_EQ(book->flipState, kFlipNext);
        }
        Steps(14);
        EXPECT_EQ(Look(*book).position, view.position);
    }
}

TEST_F(Flipping, RequestFlipWithNothingZoomedMovesEveryVisibleBookAndEndsAutomaticFlipping) {
    const std::vector<ZAZObject*> books = LoadBooks(3, 6);
    ASSERT_EQ(books.size(), 3u);
    {
        ViewLock lock;
        ASSERT_EQ(viewer_->zoomedObject, nullptr);
        ASSERT_EQ(viewer_->visibleObjects.size(), 3u);
    }

    // Closed books do not turn back.
    viewer_->RequestFlip(kFlipPrevious);
    {
        ViewLock lock;
        for (ZAZObject* book : books) {
            EXPECT_EQ(book->flipState, kClosed);
            EXPECT_FALSE(book->animating);
        }
    }

    viewer_->StartAuto(true);
    ASSERT_TRUE(viewer_->AutoFlipOn());
    viewer_->RequestFlip(kFlipNext);
    EXPECT_FALSE(viewer_->AutoFlipOn());
    {
        ViewLock lock;
        for (ZAZObject* book : books) {
            EXPECT_EQ(book->flipState, kFlipNext);
            EXPECT_TRUE(book->animating);
        }
    }

    Steps(40);
    ViewLock lock;
    for (ZAZObject* book : books) {
        EXPECT_FALSE(book->animating) << ToUtf8(book->path);
        EXPECT_EQ(book->pagePosition, 2) << ToUtf8(book->path);
        EXPECT_EQ(book->flipProgress, 0.0) << ToUtf8(book->path);
    }
}

}  // namespace
}  // namespace zov
