#include "tests/viewer/ViewerFixture.h"

namespace zov {
namespace {

using namespace std::chrono_literals;

// A bar shows, as a window shows it, while its range exceeds its page.
bool BarShown(const SCROLLINFO& bar) {
    return bar.nMax > bar.nMin && static_cast<std::int64_t>(bar.nMax) - bar.nMin + 1 > bar.nPage;
}

class DeskScroll : public test::ViewerFixture {
protected:
    std::vector<ZAZObject*> LoadBooks(int count, int pages) {
        std::vector<ZAZObject*> books = ViewerFixture::LoadBooks(count, pages);
        Step();  // the loader's last repaint
        return books;
    }

    // Scales the zoomed book up until it overflows the window both ways.
    void ScaleUpPastTheWindow() {
        for (int i = 0; i < 6 && !(viewer_->horizontalBarShown && viewer_->verticalBarShown); ++i)
            viewer_->Scale(1.5, 10);
        ASSERT_TRUE(viewer_->horizontalBarShown && viewer_->verticalBarShown);
        Tick();
        ASSERT_TRUE(BarShown(window_->ScrollInfo(SB_HORZ)));
        ASSERT_TRUE(BarShown(window_->ScrollInfo(SB_VERT)));
    }

    void ExpectNoBars(const char* when) {
        for (int bar : {SB_HORZ, SB_VERT}) {
            EXPECT_FALSE(BarShown(window_->ScrollInfo(bar))) << when << ", bar " << bar;
            EXPECT_EQ(window_->ScrollArrows(bar), ESB_DISABLE_BOTH) << when << ", bar " << bar;
        }
    }

    // How many pixels of `row` left of `x` have the current caption's colour.
    int CaptionPixelsLeftOf(std::int32_t row, std::int32_t x) {
        ViewLock lock;
        const PixelBuffer& buffer = *viewer_->BackBuffer();
        int count = 0;
        for (std::int32_t column = 0; column < std::min(x, buffer.Width()); ++column)
            count += (buffer.Pixels()[static_cast<std::size_t>(row) * buffer.Width() + column] & 0xFFFFFF) == 0xCDEDEC;
        return count;
    }
};

TEST_F(DeskScroll, BarsOfAZoomedBookGoWhenItFitsAgainAndWhenItIsZoomedOut) {
    std::vector<ZAZObject*> books = LoadBooks(2, 8);
    ASSERT_EQ(books.size(), 2u);
    Tick();
    ExpectNoBars("a desk of two books");

    ZoomInto(books[0]);
    ScaleUpPastTheWindow();
    // Back down below the window, still zoomed: nothing left to scroll.
    for (int i = 0; i < 8 && (viewer_->horizontalBarShown || viewer_->verticalBarShown); ++i)
        viewer_->Scale(2.0 / 3.0, 10);
    Tick();
    ExpectNoBars("zoomed, fitting the window");

    ScaleUpPastTheWindow();
    viewer_->ZoomDown();
    Tick();
    ExpectNoBars("zoomed out onto a desk that fits");
    EXPECT_FALSE(viewer_->horizontalBarShown || viewer_->verticalBarShown);

    // Nothing changed: the bars are not asked for again.
    const int sets = window_->ScrollInfoSetCount(SB_VERT);
    viewer_->Relayout();
    viewer_->Relayout();
    Tick();
    EXPECT_EQ(window_->ScrollInfoSetCount(SB_VERT), sets);
}

TEST_F(DeskScroll, TheZoomedBooksCaptionLiesUnderItsPages) {
    std::vector<std::wstring> paths{Document("leaflet.pdf"), Document("manual.pdf")};
    WritePreview(paths[0], 1);
    WritePreview(paths[1], 6);
    Load(Files(paths));
    ASSERT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
    Step();
    std::vector<ZAZObject*> books = viewer_->Objects();

    // A one-page book zoomed completely open has no left page to reach under.
    ZoomInto(books[0]);
    viewer_->Render(kRenderFull);
    RECT box, strip;
    {
        ViewLock lock;
        box = books[0]->Bounds();
        strip = viewer_->CaptionStrip(*books[0]);
    }
    EXPECT_EQ(strip.left, box.left);
    EXPECT_EQ(strip.right, box.right);
    EXPECT_EQ(strip.top, box.bottom + 1);
    EXPECT_EQ(CaptionPixelsLeftOf(strip.top + 11, box.left), 0);
    EXPECT_GT(CaptionPixelsLeftOf(strip.top + 11, box.right), 0);
    viewer_->ZoomDown();

    // A single page is centred on the spine, and so is its strip.
    ZoomInto(books[1]);
    viewer_->SingleOpenPage(false, true);
    viewer_->Render(kRenderFull);
    std::int32_t spine;
    {
        ViewLock lock;
        box = books[1]->Bounds();
        strip = viewer_->CaptionStrip(*books[1]);
        spine = books[1]->S.x;
    }
    EXPECT_EQ(strip.left, box.left);
    EXPECT_EQ(strip.right, box.right);
    EXPECT_LE(std::abs(strip.left + strip.right - 2 * spine), 1);
    EXPECT_EQ(CaptionPixelsLeftOf(strip.top + 11, box.left), 0);
}

TEST_F(DeskScroll, ScalingTheDeskDownInANarrowWindowKeepsItsBooksUpright) {
    std::vector<ZAZObject*> books = LoadBooks(4, 2);
    ASSERT_EQ(books.size(), 4u);
    for (std::int32_t width : {40, 60, 30}) {
        window_->SendSize(width, 480);
        ASSERT_TRUE(Eventually([&] {
            ViewLock lock;
            return viewer_->BackBuffer() && viewer_->BackBuffer()->Width() == width;
        }));
        for (int i = 0; i < 4; ++i) {
            viewer_->Scale(2.0 / 3.0, 10);
            ViewLock lock;
            EXPECT_GE(viewer_->deskScale, 0.1) << width << " pixels wide, step " << i;
            for (ZAZObject* book : books) {
                const RECT box = book->Bounds();
                EXPECT_GT(box.right, box.left) << width << " pixels wide, step " << i;
                EXPECT_GT(box.bottom, box.top) << width << " pixels wide, step " << i;
            }
        }
    }
    // And back up from the smallest scale.
    window_->SendSize(640, 480);
    ASSERT_TRUE(Eventually([&] {
        ViewLock lock;
        return viewer_->BackBuffer()->Width() == 640;
    }));
    const double small = viewer_->deskScale;
    viewer_->Scale(1.5, 10);
    EXPECT_GT(viewer_->deskScale, small);
}

// The container's way: the window runs the control's timer, the update
// thread steps the desk and the loader fills it; nothing is laid out by hand.
class LiveDesk : public DeskScroll {
protected:
    HeadlessWindow::Options WindowOptions() const override {
        HeadlessWindow::Options options;
        options.runTimers = true;
        options.clientSize = SIZE{1200, 700};
        return options;
    }

    template <typename Predicate>
    static bool Within(std::chrono::milliseconds limit, Predicate done) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(20ms);
        return done();
    }
};

TEST_F(LiveDesk, ALoadedListTallerThanTheWindowScrollsByTheWheel) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 60; ++i) {
        paths.push_back(Document("shelf-" + std::to_string(i) + ".pdf"));
        WritePreview(paths.back(), 2);
    }
    viewer_->LoadFileList(Files(paths));
    ASSERT_TRUE(Within(60s, [this] {
        const SCROLLINFO bar = window_->ScrollInfo(SB_VERT);
        return BarShown(bar) && window_->ScrollArrows(SB_VERT) == ESB_ENABLE_BOTH;
    })) << "no vertical bar after the list loaded";
    SCROLLINFO bar = window_->ScrollInfo(SB_VERT);
    EXPECT_EQ(bar.nPage, 700u);
    EXPECT_GT(bar.nMax, 1400);  // ten rows of books
    EXPECT_EQ(bar.nPos, 0);
    EXPECT_FALSE(BarShown(window_->ScrollInfo(SB_HORZ)));

    std::int32_t top;
    {
        ViewLock lock;
        top = viewer_->Objects().front()->y;
    }
    window_->SendMouseWheel(0, -120, POINT{600, 350});
    ASSERT_TRUE(Within(20s, [this] { return window_->ScrollInfo(SB_VERT).nPos == 120; }))
        << "the bar is at " << window_->ScrollInfo(SB_VERT).nPos;
    ViewLock lock;
    EXPECT_EQ(viewer_->scrollY, 120);
    EXPECT_EQ(viewer_->Objects().front()->y, top - 120);
}

}  // namespace
}  // namespace zov
