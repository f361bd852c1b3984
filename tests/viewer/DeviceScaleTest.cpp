// A screen of twice the density shows the same desk in twice the pixels:
// the books, the room around them, the captions and their text, and the
// zoomed book's margins. The window moves between screens as the page
// reports it: the density first, then the new size.
#include "tests/viewer/ViewerFixture.h"

namespace zov {
namespace {

struct Placed {
    RECT box;
    RECT strip;
};

class DeviceScale : public test::ViewerFixture {
protected:
    void MoveToScreen(unsigned dpi, SIZE size) {
        window_->SendDpi(dpi);
        window_->SendSize(size.cx, size.cy);
        // The size reaches the viewer as a command, on the command thread.
        ASSERT_TRUE(Eventually([&] {
            ViewLock lock;
            const PixelBuffer* buffer = viewer_->BackBuffer();
            return buffer && buffer->Width() == size.cx && buffer->Height() == size.cy;
        }));
        Step();
    }

    std::vector<Placed> Desk() {
        ViewLock lock;
        std::vector<Placed> placed;
        for (ZAZObject* book : viewer_->Objects())
            placed.push_back(Placed{book->Bounds(), viewer_->CaptionStrip(*book)});
        return placed;
    }

    // The rows of `strip` holding dark ink: how tall the caption's text is.
    int InkRows(const RECT& strip) {
        ViewLock lock;
        const PixelBuffer& buffer = *viewer_->BackBuffer();
        int first = -1, last = -1;
        for (std::int32_t y = std::max(strip.top, 0); y < std::min(strip.bottom, buffer.Height()); ++y) {
            for (std::int32_t x = std::max(strip.left, 0); x < std::min(strip.right, buffer.Width()); ++x) {
                const std::uint32_t p = buffer.At(x, y);
                if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 96) {
                    first = first < 0 ? y : first;
                    last = y;
                    break;
                }
            }
        }
        return first < 0 ? 0 : last - first + 1;
    }

    static void ExpectTwice(const RECT& one, const RECT& two, const char* what, std::size_t index) {
        // Truncations of the layout may each lose a pixel.
        EXPECT_NEAR(two.left, 2 * one.left, 2) << what << " " << index;
        EXPECT_NEAR(two.top, 2 * one.top, 2) << what << " " << index;
        EXPECT_NEAR(two.right, 2 * one.right, 3) << what << " " << index;
        EXPECT_NEAR(two.bottom, 2 * one.bottom, 3) << what << " " << index;
    }
};

TEST_F(DeviceScale, TheDeskOnATwiceAsDenseScreenIsTheSameDeskInTwiceThePixels) {
    std::vector<ZAZObject*> books = LoadBooks(5, 4);
    ASSERT_EQ(books.size(), 5u);
    Step();
    const std::vector<Placed> one = Desk();
    const int inkAtOne = InkRows(one[0].strip);
    ASSERT_GT(inkAtOne, 5);

    MoveToScreen(2 * kBaseDpi, SIZE{1280, 960});
    const std::vector<Placed> two = Desk();
    ASSERT_EQ(two.size(), one.size());
    for (std::size_t i = 0; i < one.size(); ++i) {
        ExpectTwice(one[i].box, two[i].box, "book", i);
        EXPECT_EQ(two[i].strip.bottom - two[i].strip.top, 2 * (one[i].strip.bottom - one[i].strip.top)) << i;
    }
    // The text is drawn at twice the size, not the size of a smaller screen.
    const int inkAtTwo = InkRows(two[0].strip);
    EXPECT_GE(inkAtTwo, inkAtOne * 17 / 10) << inkAtOne;
    EXPECT_LE(inkAtTwo, inkAtOne * 23 / 10) << inkAtOne;
    // The reader's scale, which the view state keeps, is not the screen's.
    EXPECT_EQ(viewer_->deskScale, 1.0);

    // The selection box keeps its share of the strip: a press where the text
    // would begin at one is inside it at two.
    const POINT box{two[0].strip.left + 30, (two[0].strip.top + two[0].strip.bottom) / 2};
    window_->SendLButtonDown(0, box);
    window_->SendLButtonUp(0, box);
    EXPECT_TRUE(Eventually([&] {
        LockGuard desk(DeskLock());
        return books[0]->selected;
    }));

    MoveToScreen(kBaseDpi, SIZE{640, 480});
    const std::vector<Placed> back = Desk();
    for (std::size_t i = 0; i < one.size(); ++i) {
        EXPECT_EQ(back[i].box.left, one[i].box.left) << i;
        EXPECT_EQ(back[i].box.top, one[i].box.top) << i;
        EXPECT_EQ(back[i].strip.bottom, one[i].strip.bottom) << i;
    }
}

TEST_F(DeviceScale, AZoomedBookKeepsTheMarginsOfItsScreen) {
    std::vector<ZAZObject*> books = LoadBooks(2, 6);
    ZoomInto(books[0]);
    RECT one;
    {
        ViewLock lock;
        viewer_->FitZoom(1.0);
        one = books[0]->Bounds();
    }
    MoveToScreen(2 * kBaseDpi, SIZE{1280, 960});
    RECT two;
    {
        ViewLock lock;
        viewer_->FitZoom(1.0);
        two = books[0]->Bounds();
    }
    ExpectTwice(one, two, "zoomed book", 0);
}

TEST_F(DeviceScale, ADenseDeskDrawsFromTheLargePictureWhereTheSmallOneWouldBeBlownUp) {
    constexpr std::uint32_t kSmall = 0xD02020, kLarge = 0x2020D0;
    const std::wstring document = Document("fine.pdf");
    {
        PreviewSettings settings = GetPreviewSettings();
        const std::wstring first = PageFilePath(document, 1, settings);
        ASSERT_TRUE(CreateFolderTree(first.substr(0, first.rfind(L'\\'))));
        for (std::int32_t n = 1; n <= 2; ++n) {
            PageFileContent content;
            content.imageType = 3;
            // Taller than the book at one, shorter than it at two.
            content.image1 = PageFileImage{200, 280, 0, SolidPng(200, 280, kSmall)};
            content.image2 = PageFileImage{600, 840, 0, SolidPng(600, 840, kLarge)};
            if (n == 1)
                content.pageList = std::vector<std::int32_t>(2, 1);
            ASSERT_TRUE(WritePageFile(PageFilePath(document, n, settings), content));
        }
        ASSERT_TRUE(
            WriteFileAtomically(PageFilePath(document, kStatusFile, settings), "**ZAZPreviewStatus:Success"));
    }
    std::vector<ZAZObject*> books = LoadComplete({document});
    ASSERT_EQ(books.size(), 1u);
    // The desk is drawn in draft first and then, book by book, finer.
    auto settle = [&] {
        for (int i = 0; i < 50 && !viewer_->progressiveDone; ++i)
            Step();
        ASSERT_TRUE(viewer_->progressiveDone);
    };
    auto shows = [&](std::uint32_t colour) {
        ViewLock lock;
        const PixelBuffer& buffer = *viewer_->BackBuffer();
        const RECT box = IntersectRect(books[0]->Bounds(), buffer.Bounds());
        int count = 0;
        for (std::int32_t y = box.top; y < box.bottom; ++y)
            for (std::int32_t x = box.left; x < box.right; ++x)
                count += (buffer.At(x, y) & 0xFFFFFF) == colour;
        return count > box.Width() * box.Height() / 3;
    };
    settle();
    EXPECT_TRUE(shows(kSmall));
    MoveToScreen(2 * kBaseDpi, SIZE{1280, 960});
    settle();
    EXPECT_TRUE(shows(kLarge));
}

}  // namespace
}  // namespace zov
