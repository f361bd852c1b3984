#include "tests/viewer/ViewerFixture.h"

#include "documents/EventFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zov {
namespace {

class Pointer : public test::ViewerFixture {
protected:
    void Click(POINT press, POINT release, std::uint32_t keys = 0) {
        viewer_->PointerDown(press.x, press.y);
        viewer_->PointerUp(release.x, release.y, keys);
    }
    void Click(POINT at) { Click(at, at); }

    static POINT Middle(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    // The middle of the right-hand page of an open book.
    static POINT RightPage(const ZAZObject& book) { return POINT{(book.S.x + book.T.x) / 2, (book.T.y + book.B.y) / 2}; }

    std::size_t QueuedClicks() {
        LockGuard step(StepLock());
        return viewer_->flipActions.size();
    }
};

TEST_F(Pointer, TwoPixelsIsAClickOnThePageAndThreeADrag) {
    std::vector<ZAZObject*> books = LoadBooks(1);
    ZAZObject* book = books.front();
    Click(Middle(book->Bounds()));
    ASSERT_EQ(viewer_->ZoomedObject(), book);

    const POINT page = RightPage(*book);
    ASSERT_EQ(book->SideHit(page), 1);
    Click(page, POINT{page.x + 2, page.y - 2});
    EXPECT_EQ(QueuedClicks(), 1u);
    {
        LockGuard step(StepLock());
        EXPECT_EQ(viewer_->flipActions.back(), kFlipNext);
    }
    Click(page, POINT{page.x + 3, page.y});
    Click(page, POINT{page.x, page.y - 3});
    EXPECT_EQ(QueuedClicks(), 1u);
    EXPECT_EQ(viewer_->ZoomedObject(), book);

    // The left page asks for the other direction.
    for (int i = 0; i < 40 && Step(); ++i) {
    }
    ASSERT_EQ(book->pagePosition, 2);
    const POINT left{(book->L.x + book->S.x) / 2, (book->L.y + book->B.y) / 2};
    ASSERT_EQ(book->SideHit(left), 0);
    Click(left);
    {
        LockGuard step(StepLock());
        ASSERT_EQ(viewer_->flipActions.size(), 1u);
        EXPECT_EQ(viewer_->flipActions.back(), kFlipPrevious);
    }
}

TEST_F(Pointer, DraggingTheZoomedBookPansIt) {
    std::vector<ZAZObject*> books = LoadBooks(1);
    ZAZObject* book = books.front();
    Click(Middle(book->Bounds()));
    ASSERT_EQ(viewer_->ZoomedObject(), book);
    const POINT start = RightPage(*book);
    const POINT pan{book->panX, book->panY};
    viewer_->PointerDown(start.x, start.y);
    viewer_->PointerMove(MK_LBUTTON, start.x + 10, start.y + 4);
    viewer_->PointerMove(MK_LBUTTON, start.x + 15, start.y + 7);
    viewer_->PointerUp(start.x + 15, start.y + 7, 0);
    EXPECT_EQ(book->panX, pan.x + 15);
    EXPECT_EQ(book->panY, pan.y + 7);
    EXPECT_EQ(QueuedClicks(), 0u);
    EXPECT_EQ(viewer_->ZoomedObject(), book);
}

TEST_F(Pointer, ClicksBesideTheZoomedBookZoomOutOrOverToTheClickedBook) {
    window_->SendSize(1600, 400);
    viewer_->Resize();
    std::vector<ZAZObject*> books = LoadBooks(3);
    ASSERT_EQ(books.size(), 3u);
    const RECT second = books[1]->Bounds();
    Click(Middle(books[0]->Bounds()));
    ASSERT_EQ(viewer_->ZoomedObject(), books[0]);

    // The desk background: zoom out.
    Click(POINT{1599, 2});
    EXPECT_EQ(viewer_->ZoomedObject(), nullptr);
    EXPECT_EQ(viewer_->currentObject, books[0]);

    // A book still showing beside the zoomed one: out, and in on that one.
    Click(Middle(books[0]->Bounds()));
    ASSERT_EQ(viewer_->ZoomedObject(), books[0]);
    POINT beside{-1, -1};
    for (std::int32_t x = second.left + 1; x < second.right && beside.x < 0; x += 4) {
        const POINT p{x, (second.top + second.bottom) / 2};
        if (books[0]->SideHit(p) == 2 && books[1]->SideHit(p) != 2)
            beside = p;
    }
    ASSERT_GE(beside.x, 0) << "the zoomed book covers the second one";
    Click(beside);
    EXPECT_EQ(viewer_->ZoomedObject(), books[1]);
    EXPECT_EQ(books[0]->layout, &viewer_->deskLayout);
}

TEST_F(Pointer, TheSelectionBoxIsStrictlyInsideTheCaptionAndTheRestWritesAnEvent) {
    std::vector<ZAZObject*> books = LoadBooks(2);
    ZAZObject* book = books.front();
    viewer_->eventUrlTemplate = L"open.htm?doc=%key%";
    const RECT strip = viewer_->CaptionStrip(*book);
    const std::wstring event = EventFolder() + EventFileName(static_cast<std::uint32_t>(viewer_->InstanceId()));
    auto eventWritten = [&] { return std::filesystem::exists(NativePath(event)); };

    Click(POINT{strip.left + 1, strip.top + 1});
    EXPECT_TRUE(book->selected);
    EXPECT_EQ(viewer_->ZoomedObject(), nullptr);
    EXPECT_FALSE(eventWritten());
    Click(POINT{strip.left + 19, strip.bottom - 1});
    EXPECT_FALSE(book->selected);

    // On the strip's own left edge it is the caption text: an event, no zoom.
    Click(POINT{strip.left, strip.top + 5});
    EXPECT_FALSE(book->selected);
    EXPECT_EQ(viewer_->ZoomedObject(), nullptr);
    ASSERT_TRUE(eventWritten());
    std::ifstream in(NativePath(event), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("open.htm?doc="), std::string::npos);
    std::filesystem::remove(NativePath(event));

    // Without selection boxes the whole strip is caption text.
    viewer_->checkboxesEnabled = false;
    Click(POINT{strip.left + 5, strip.top + 5});
    EXPECT_FALSE(book->selected);
    EXPECT_TRUE(eventWritten());
}

TEST_F(Pointer, HoverMovesTheHighlightAndCtrlShiftShowsOnlyTheVersion) {
    std::vector<ZAZObject*> books = LoadBooks(2);
    ASSERT_EQ(books.size(), 2u);
    const POINT second = Middle(books[1]->Bounds());
    viewer_->PointerMove(0, second.x, second.y);
    EXPECT_EQ(viewer_->currentObject, books[1]);
    EXPECT_EQ(viewer_->PointerCursor(), 0);

    Click(second, second, MK_CONTROL | MK_SHIFT);
    ASSERT_TRUE(Eventually([this] { return window_->MessageBoxes().size() == 1; }));
    EXPECT_NE(window_->MessageBoxes().front().text.find(L"Version"), std::wstring::npos);
    EXPECT_EQ(viewer_->ZoomedObject(), nullptr);
    window_->AnswerMessageBox(IDOK);
}

TEST_F(Pointer, TheWheelScrollsTheDeskWithinItsRange) {
    std::vector<ZAZObject*> books = LoadBooks(12);
    Tick();
    // The tick started the update thread, which lays the desk out too.
    auto scrollY = [this] {
        ViewLock lock;
        return viewer_->scrollY;
    };
    {
        ViewLock lock;
        ASSERT_TRUE(viewer_->verticalBarShown);
    }
    viewer_->Wheel(-120, 10, 10);
    EXPECT_EQ(scrollY(), 120);
    Tick();
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    ASSERT_TRUE(window_->GetScrollInfo(SB_VERT, info));
    EXPECT_EQ(info.nPos, 120);
    viewer_->Wheel(240, 10, 10);
    EXPECT_EQ(scrollY(), 0);
    for (int i = 0; i < 100; ++i)
        viewer_->Wheel(-120, 10, 10);
    EXPECT_EQ(scrollY(), std::max(0, info.nMax - static_cast<std::int32_t>(info.nPage)));
}

TEST_F(Pointer, MouseMessagesReachTheViewerThroughTheControl) {
    std::vector<ZAZObject*> books = LoadBooks(1);
    ZAZObject* book = books.front();
    const POINT middle = Middle(book->Bounds());
    window_->SendLButtonDown(MK_LBUTTON, middle);
    window_->SendLButtonUp(0, middle);
    ASSERT_TRUE(Eventually([&] { return viewer_->ZoomedObject() == book; }));
    POINT page;
    {
        ViewLock lock;
        page = RightPage(*book);
    }
    window_->SendLButtonDown(MK_LBUTTON, page);
    window_->SendLButtonUp(0, page);
    ASSERT_TRUE(Eventually([&] { return QueuedClicks() == 1; }));
    for (int i = 0; i < 40 && Step(); ++i) {
    }
    EXPECT_EQ(book->pagePosition, 2);
}

}  // namespace
}  // namespace zov
