#include "tests/viewer/ViewerFixture.h"

#include "render/PageCache.h"

#include <cmath>

namespace zov {
namespace {

using namespace std::chrono_literals;

class Zoom : public test::ViewerFixture {
protected:
    int Frames() const { return window_->PresentCount(); }
};

TEST_F(Zoom, ModeChangesRunTheirFramesOnlyWhenSomethingChanges) {
    std::vector<ZAZObject*> books = LoadBooks(2);
    ASSERT_EQ(books.size(), 2u);
    {
        ViewLock lock;
        books[0]->pagePosition = 3;
        books[0]->flipProgress = 1.0;
        books[1]->pagePosition = 4;
    }
    viewer_->SingleOpenPage(false, false);
    EXPECT_EQ(books[0]->pagePosition, 6);
    EXPECT_EQ(books[1]->pagePosition, 8);

    // Back to two pages: 6 halves to 3, an odd desk position moves on to 4;
    // 7 halves to 3 as well and ends on 4 too.
    {
        ViewLock lock;
        books[1]->pagePosition = 7;
    }
    int before = Frames();
    viewer_->CompleteOpenPage(false, true);
    EXPECT_EQ(books[0]->pagePosition, 4);
    EXPECT_EQ(books[1]->pagePosition, 4);
    EXPECT_EQ(books[0]->flipProgress, 0.0);
    EXPECT_EQ(Frames() - before, 10);

    // Already completely open: no frames, nothing moves.
    const ZAZLayout open = viewer_->deskLayout;
    before = Frames();
    viewer_->CompleteOpenPage(false, true);
    EXPECT_EQ(Frames(), before);
    EXPECT_TRUE(viewer_->deskLayout == open);

    // Half-opening always animates, even when it is half open already.
    viewer_->UnCompleteOpenPage(false, true);
    before = Frames();
    viewer_->UnCompleteOpenPage(false, true);
    EXPECT_EQ(Frames() - before, 10);
    EXPECT_EQ(viewer_->deskLayout.openWidth, 32);
    EXPECT_EQ(viewer_->deskLayout.leafLift, 32);

    // While a book is zoomed, only the zoom layout and that book change.
    ZoomInto(books[0]);
    const ZAZLayout desk = viewer_->deskLayout;
    viewer_->SingleOpenPage(false, false);
    EXPECT_EQ(viewer_->zoomLayout.singlePage, 1);
    EXPECT_TRUE(viewer_->deskLayout == desk);
    EXPECT_EQ(books[0]->pagePosition, 8);
    EXPECT_EQ(books[1]->pagePosition, 4);
}

TEST_F(Zoom, ZoomingInFitsTheBookBetweenItsMarginsAndZoomingOutPutsItBack) {
    std::vector<ZAZObject*> books = LoadBooks(1);
    ZAZObject* book = books.front();
    const RECT onDesk = book->Bounds();

    int before = Frames();
    ZoomInto(book);
    EXPECT_EQ(Frames() - before, 21);  // 20 frames and the finished view
    {
        ViewLock lock;
        EXPECT_EQ(book->layout, &viewer_->zoomLayout);
        EXPECT_EQ(book->flipState, kAutoNext);  // open and at rest
        EXPECT_FALSE(book->animating);
        const RECT box = book->Bounds();
        // 640 x 480: the height decides, so the top margin holds and the
        // book is centred across.
        EXPECT_NEAR(box.top, 50, 1);
        EXPECT_NEAR(box.bottom, 480 - 32, 2);
        EXPECT_NEAR(box.left - 10, 640 - 25 - box.right, 2);
    }
    before = Frames();
    viewer_->ZoomDown();
    EXPECT_EQ(Frames() - before, 11);
    EXPECT_EQ(viewer_->ZoomedObject(), nullptr);
    EXPECT_EQ(viewer_->currentObject, book);
    EXPECT_EQ(book->layout, &viewer_->deskLayout);
    EXPECT_TRUE(book->Bounds() == onDesk);

    // Tall and narrow, the width decides: the left margin is 10 pixels, or
    // 50 with the folder tree beside the desk.
    window_->SendSize(300, 900);
    viewer_->Resize();
    for (bool tree : {false, true}) {
        {
            ViewLock lock;
            viewer_->treeRoom = tree;
        }
        ZoomInto(book);
        {
            ViewLock lock;
            const RECT box = book->Bounds();
            EXPECT_NEAR(box.left, tree ? 50 : 10, 1) << tree;
            EXPECT_NEAR(box.right, 300 - 25, 2) << tree;
        }
        viewer_->ZoomOut();
    }
}

TEST_F(Zoom, TheZoomedScaleStopsAtATenthAndStaysCentredOnTheWindow) {
    std::vector<ZAZObject*> books = LoadBooks(1);
    ZAZObject* book = books.front();
    ZoomInto(book);

    // The point of the book at the window centre stays there.
    auto relative = [book] {
        const RECT box = book->Bounds();
        return std::pair<double, double>{(320.0 - box.left) / box.Width(), (240.0 - box.top) / box.Height()};
    };
    const auto centre = relative();
    const double fitted = book->scale;
    viewer_->Wheel(120, 5, 5);
    EXPECT_NEAR(book->scale, fitted * 1.2, 1e-9);
    EXPECT_NEAR(relative().first, centre.first, 0.01);
    EXPECT_NEAR(relative().second, centre.second, 0.01);
    viewer_->Wheel(-120, 630, 470);
    EXPECT_NEAR(book->scale, fitted, 1e-9);

    // Down to the limit: a step that would end below 0.1 is refused whole.
    for (int i = 0; i < 100 && book->scale * 0.8333333333333334 >= 0.1; ++i)
        viewer_->Wheel(-120, 0, 0);
    const double lowest = book->scale;
    EXPECT_GE(lowest, 0.1);
    const int before = Frames();
    viewer_->Wheel(-120, 0, 0);
    viewer_->Scale(2.0 / 3.0, 10);
    EXPECT_EQ(book->scale, lowest);
    EXPECT_EQ(Frames(), before);
    // Growing again is allowed, and the command's ten frames all show.
    viewer_->Scale(1.5, 10);
    EXPECT_NEAR(book->scale, lowest * 1.5, 1e-9);
    EXPECT_EQ(Frames() - before, 11);
}

TEST_F(Zoom, TheDeskScalesByColumnsAndNotBeyondOne) {
    std::vector<ZAZObject*> books = LoadBooks(6);
    // Narrow enough that a single column is all that fits.
    window_->SendSize(260, 480);
    viewer_->Resize();
    int before = Frames();
    viewer_->Scale(1.5, 10);
    EXPECT_EQ(viewer_->deskScale, 1.0);
    EXPECT_EQ(Frames() - before, 11);  // the frames still run

    // Wider: one more column when scaling down, and scaling up again
    // comes back to fewer.
    window_->SendSize(640, 480);
    viewer_->Resize();
    viewer_->Scale(2.0 / 3.0, 10);
    const double smaller = viewer_->deskScale;
    EXPECT_LT(smaller, 1.0);
    viewer_->Scale(1.5, 10);
    EXPECT_GT(viewer_->deskScale, smaller);

    // A window narrower than one book: growing must not give a negative or
    // zero scale.
    window_->SendSize(40, 480);
    viewer_->Resize();
    viewer_->Scale(1.5, 10);
    EXPECT_GT(viewer_->deskScale, 0.0);
}

TEST_F(Zoom, TheNextBookKeepsTheScaleAndPlaceAndConvertsItsPositions) {
    std::vector<ZAZObject*> books = LoadBooks(3);
    ASSERT_EQ(books.size(), 3u);
    ZoomInto(books[0]);
    viewer_->Wheel(120, 0, 0);
    const double scale = books[0]->scale;
    const POINT place{books[0]->x + books[0]->panX, books[0]->y + books[0]->panY};

    EXPECT_FALSE(viewer_->PreviousObject(true));  // nothing before the first
    EXPECT_TRUE(viewer_->NextObject(false));      // a query switches nothing
    EXPECT_EQ(viewer_->ZoomedObject(), books[0]);
    EXPECT_TRUE(viewer_->NextObject(true));
    {
        ViewLock lock;
        EXPECT_EQ(viewer_->zoomedObject, books[1]);
        EXPECT_EQ(viewer_->currentObject, books[1]);
        EXPECT_EQ(books[1]->scale, scale);
        EXPECT_EQ(books[1]->x + books[1]->panX, place.x);
        EXPECT_EQ(books[1]->y + books[1]->panY, place.y);
        // The one left behind lies on the desk again as it was.
        EXPECT_EQ(books[0]->layout, &viewer_->deskLayout);
        EXPECT_EQ(books[0]->scale, viewer_->deskScale);
        EXPECT_EQ(books[0]->panX, 0);
        EXPECT_EQ(books[0]->panY, 0);
    }

    // Single pages in the zoom only: each book counts single faces while
    // zoomed and two-page positions on the desk, across switches.
    {
        ViewLock lock;
        books[2]->pagePosition = 4;
    }
    viewer_->SingleOpenPage(false, false);
    {
        ViewLock lock;
        books[1]->pagePosition = 6;  // face 6 of the single-page count
    }
    EXPECT_TRUE(viewer_->NextObject(true));
    EXPECT_EQ(books[1]->pagePosition, 3);  // face 6 is on leaf 3
    EXPECT_EQ(books[1]->flipProgress, 1.0);
    EXPECT_EQ(books[2]->pagePosition, 8);
    EXPECT_EQ(viewer_->zoomLayout.singlePage, 1);
    EXPECT_FALSE(viewer_->NextObject(true));
    EXPECT_TRUE(viewer_->PreviousObject(true));
    EXPECT_EQ(books[2]->pagePosition, 4);
    EXPECT_EQ(books[1]->pagePosition, 6);
}

TEST_F(Zoom, FullPagesComeOnceTheZoomedBookRestsAndFollowItsSpread) {
    std::vector<ZAZObject*> books = LoadBooks(1, 6);
    ZAZObject* book = books.front();
    ZoomInto(book);
    {
        ViewLock lock;
        book->pagePosition = 2;
        book->flipProgress = 0.0;
    }
    {
        ViewLock lock;
        viewer_->layoutDirty = true;
    }
    ASSERT_TRUE(Step());  // the new spread is drawn; the idle count starts
    int frames = 0;
    for (int i = 0; i < 400 && !viewer_->detailShown; ++i) {
        if (Step())
            ++frames;
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(viewer_->detailShown);
    EXPECT_EQ(frames, 1);  // only the frame with the full pages
    EXPECT_EQ(viewer_->detailWantedLeft.number, 2);
    EXPECT_EQ(viewer_->detailWantedRight.number, 3);
    EXPECT_FALSE(viewer_->detailLeftRect.IsEmpty());
    EXPECT_FALSE(viewer_->detailRightRect.IsEmpty());
    EXPECT_FALSE(Step());  // shown: no more requests

    // A turn puts the preview pages back and asks for the new spread.
    viewer_->RequestFlip(kFlipNext);
    for (int i = 0; i < 30 && Step(); ++i) {
    }
    EXPECT_FALSE(viewer_->detailShown);
    for (int i = 0; i < 400 && !viewer_->detailShown; ++i) {
        Step();
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(viewer_->detailWantedLeft.number, 4);
    EXPECT_EQ(viewer_->detailWantedRight.number, 5);
}

// While a zoomed book turns, the pages of the next leaf are decoded off the
// frame: the frame that shows them finds them read, even with their files
// gone meanwhile, and only the four large-picture slots ever hold pictures.
TEST_F(Zoom, TheNextLeafsPagesAreReadWhileTheLeafBeforeTurns) {
    std::vector<ZAZObject*> books = LoadBooks(1, 10);
    ZAZObject* book = books.front();
    ZoomInto(book);
    auto onlySlotsHoldPictures = [&] {
        ViewLock lock;
        int holding = 0;
        for (std::int32_t i = 0; i < book->PageCount(); ++i) {
            const ZAZImage* page = book->Page(i);
            if (!page->large.HoldsOwnPixels())
                continue;
            ++holding;
            bool slotted = false;
            for (int slot = 0; slot < kLargeSlots; ++slot)
                slotted = slotted || SlotPage(slot) == page;
            EXPECT_TRUE(slotted) << "page " << page->pageNumber;
        }
        EXPECT_LE(holding, kLargeSlots);
    };
    auto turn = [&] {
        viewer_->RequestFlip(kFlipNext);
        for (int i = 0; i < 30 && Step(); ++i)
            onlySlotsHoldPictures();
    };
    turn();  // to position 2: pages 1 to 4 face up during the turn
    ASSERT_EQ(book->pagePosition, 2);

    // Resting on pages 2 and 3, the next leaf brings pages 4 and 5 (indices 3 and 4).
    const std::wstring path = book->path;
    ASSERT_TRUE(Eventually([&] { return viewer_->prefetch.Ready(path, 4) && viewer_->prefetch.Ready(path, 5); }));
    for (std::int32_t n : {4, 5})
        ASSERT_TRUE(RemoveFile(PageFilePath(path, n, GetPreviewSettings())));

    viewer_->RequestFlip(kFlipNext);
    ASSERT_TRUE(Step());
    {
        ViewLock lock;
        for (std::int32_t index : {3, 4}) {
            const ZAZImage* page = book->Page(index);
            ASSERT_TRUE(page->large.HoldsOwnPixels()) << "page " << index + 1;
            // What the page file held: page n is filled with 0xFFFFFF - n × 0x101010.
            EXPECT_EQ(page->large.At(0, 0), 0xFFFFFFu - 0x101010u * static_cast<std::uint32_t>(index + 1));
        }
    }
    onlySlotsHoldPictures();
    for (int i = 0; i < 30 && Step(); ++i)
        onlySlotsHoldPictures();
    EXPECT_EQ(book->pagePosition, 4);

    // Back on the desk nothing waits.
    viewer_->ZoomOut();
    Step();
    EXPECT_FALSE(viewer_->prefetch.Ready(path, 7));
    EXPECT_FALSE(viewer_->prefetch.Ready(path, 8));
}

}  // namespace
}  // namespace zov
