#include "pixels/TextStrip.h"

#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

namespace zov {
namespace {

constexpr std::uint32_t kOutside = 0x00123456;
constexpr COLORREF kStripBack = RGB(205, 237, 236);
constexpr std::uint32_t kStripBackPixel = 0x00CDEDEC;

class Strip : public ::testing::Test {
protected:
    Strip() : buffer_(200, 60) {
        buffer_.AllocatePixels();
        std::fill_n(buffer_.Pixels(), 200 * 60, kOutside);
    }
    // Pixels in [left, right) × [top, bottom) that are neither background.
    int Ink(int left, int top, int right, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                std::uint32_t p = buffer_.At(x, y);
                count += p != kStripBackPixel && p != kOutside;
            }
        return count;
    }
    int Count(std::uint32_t value, int left, int top, int right, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                count += buffer_.At(x, y) == value;
        return count;
    }
    PixelBuffer buffer_;
};

TEST(Font, TheCaptionFontIsInstalled) {
    // Without it strips still draw, with whatever fontconfig picks instead.
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    ASSERT_NE(match, nullptr);
    FcChar8* family = nullptr;
    FcPatternGetString(match, FC_FAMILY, 0, &family);
    EXPECT_STREQ(reinterpret_cast<const char*>(family), "IPAGothic");
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
}

TEST_F(Strip, ACaptionIsOpaqueCentredAndStaysInItsRectangle) {
    DrawTextStrip(buffer_, 10, 20, 180, 22, L"\u4f1a\u8b70\u8cc7\u6599 report.pdf", L"", RGB(0, 0, 0), kStripBack, 20,
                  0, 0, kCaptionFormat);
    EXPECT_GT(Ink(10, 20, 190, 42), 40);
    // Centred: ink on both sides of the middle, none at the far ends.
    EXPECT_GT(Ink(30, 20, 100, 42), 10);
    EXPECT_GT(Ink(100, 20, 170, 42), 10);
    EXPECT_EQ(Ink(10, 20, 30, 42), 0);  // the left inset
    // Nothing outside the strip was touched.
    EXPECT_EQ(Count(kOutside, 0, 0, 200, 20), 200 * 20);
    EXPECT_EQ(Count(kOutside, 0, 42, 200, 60), 200 * 18);
    EXPECT_EQ(Count(kOutside, 0, 20, 10, 42), 10 * 22);
    // Vertically centred: the top and bottom rows stay background.
    EXPECT_EQ(Ink(10, 20, 190, 22), 0);
    EXPECT_EQ(Ink(10, 40, 190, 42), 0);
    // Top bytes are 0.
    for (int y = 20; y < 42; ++y)
        for (int x = 10; x < 190; ++x)
            ASSERT_EQ(buffer_.At(x, y) >> 24, 0u);
}

TEST_F(Strip, AStripAtTheEdgeIsDrawnAtItsClippedSize) {
    // Half the strip hangs off the left and bottom; the inset counts from the
    // clipped left edge.
    DrawTextStrip(buffer_, -100, 50, 200, 22, L"clipped caption text", L"", RGB(0, 0, 0), kStripBack, 0, 0, 0,
                  kCaptionFormat);
    EXPECT_EQ(Count(kOutside, 0, 0, 200, 50), 200 * 50);
    EXPECT_EQ(Count(kOutside, 100, 50, 200, 60), 100 * 10);
    EXPECT_GT(Ink(0, 50, 100, 60), 0);
    EXPECT_EQ(Count(kOutside, 0, 50, 100, 60), 0);  // opaque where it lies

    // Entirely outside: nothing changes.
    DrawTextStrip(buffer_, 0, 60, 200, 22, L"below", L"", RGB(0, 0, 0), kStripBack, 0, 0, 0, kCaptionFormat);
    DrawTextStrip(buffer_, 200, 0, 50, 22, L"right", L"", RGB(0, 0, 0), kStripBack, 0, 0, 0, kCaptionFormat);
    EXPECT_EQ(Count(kOutside, 0, 0, 200, 50), 200 * 50);
}

TEST_F(Strip, ALongCaptionIsCutNotSpilled) {
    std::wstring longCaption(200, L'W');
    DrawTextStrip(buffer_, 0, 0, 200, 22, longCaption, L"", RGB(0, 0, 0), kStripBack, 10, 30, 0, kCaptionFormat);
    EXPECT_EQ(Ink(0, 0, 10, 22), 0);
    EXPECT_EQ(Ink(170, 0, 200, 22), 0);  // the right inset stays clear
    EXPECT_GT(Ink(10, 0, 170, 22), 100);
}

TEST_F(Strip, TheSideTextTakesTheRightEnd) {
    DrawTextStrip(buffer_, 0, 0, 200, 22, L"", L"3 - 4 / 12  Page", RGB(0, 0, 0), kStripBack, 0, 0, 0,
                  kCaptionFormat);
    EXPECT_EQ(Ink(0, 0, 35, 22), 0);
    EXPECT_GT(Ink(100, 0, 195, 22), 20);
    EXPECT_EQ(Ink(195, 0, 200, 22), 0);  // 5 pixels of margin at the right
}

TEST_F(Strip, NoteTextBreaksOnlyAtLineBreaks) {
    DrawTextStrip(buffer_, 0, 0, 200, 60, L"first line\r\nsecond line", L"", RGB(0, 0, 0), kStripBack, 2, 2, 2,
                  kNoteFormat);
    // Two lines from the top-left; the lower part of the note stays empty.
    EXPECT_GT(Ink(0, 0, 100, 16), 10);
    EXPECT_GT(Ink(0, 16, 100, 32), 10);
    EXPECT_EQ(Ink(0, 40, 200, 60), 0);
    EXPECT_EQ(Ink(120, 0, 200, 60), 0);  // left-aligned
}

}  // namespace
}  // namespace zov
