#include "pixels/Draw.h"

#include <gtest/gtest.h>

namespace zov {
namespace {

constexpr std::uint32_t kBack = 0x00000000;
constexpr std::uint32_t kInk = 0x00FF00FF;

// A small buffer cleared to kBack, read back as text: '#' for kInk, '.' for
// the background, '?' for anything else.
class Canvas {
public:
    Canvas(int w, int h) : buffer_(w, h) {
        buffer_.AllocatePixels();
        std::fill_n(buffer_.Pixels(), w * h, kBack);
    }
    PixelBuffer& operator*() { return buffer_; }
    std::string Text() const {
        std::string out;
        for (int y = 0; y < buffer_.Height(); ++y) {
            for (int x = 0; x < buffer_.Width(); ++x) {
                std::uint32_t p = buffer_.At(x, y);
                out += p == kInk ? '#' : p == kBack ? '.' : '?';
            }
            out += '\n';
        }
        return out;
    }
    std::uint32_t At(int x, int y) const { return buffer_.At(x, y); }

private:
    PixelBuffer buffer_;
};

TEST(Line, HalfOpenAndOneWayForStraightLines) {
    Canvas c(12, 3);
    DrawLine(*c, 5, 0, 5, 0, kInk);     // a point: nothing
    DrawLine(*c, 8, 1, 3, 1, kInk);     // right to left: nothing
    DrawLine(*c, 0, 0, 10, 0, kInk);    // x = 0 ... 9
    DrawLine(*c, 11, 2, 11, -4, kInk);  // bottom to top: nothing
    DrawLine(*c, 9, 1, 20, 1, kInk);    // clipped at the last column
    EXPECT_EQ(c.Text(),
              "##########..\n"
              ".........###\n"
              "............\n");
    Canvas v(3, 4);
    DrawLine(*v, 1, -5, 1, 10, kInk);
    DrawLine(*v, 3, 0, 3, 4, kInk);  // outside: nothing
    EXPECT_EQ(v.Text(), ".#.\n.#.\n.#.\n.#.\n");
}

TEST(Line, SlopedLinesStepAndTruncateTowardZero) {
    Canvas c(8, 4);
    DrawLine(*c, 0, 0, 7, 3, kInk);
    EXPECT_EQ(c.Text(),
              "###.....\n"
              "...##...\n"
              ".....##.\n"
              "........\n");
    Canvas steep(4, 6);
    DrawLine(*steep, 3, 5, 0, 0, kInk);  // swapped so that it runs downwards
    EXPECT_EQ(steep.Text(),
              "#...\n"
              "#...\n"
              ".#..\n"
              ".#..\n"
              "..#.\n"
              "....\n");
}

TEST(Line, FarAwayEndsAreClippedWithoutOverflow) {
    Canvas c(5, 5);
    DrawLine(*c, -2000000000, -2000000000, 2000000000, 2000000000, kInk);
    EXPECT_EQ(c.Text(), "#....\n.#...\n..#..\n...#.\n....#\n");
    Canvas d(5, 5);
    DrawLine(*d, -2000000000, 2, 2000000000, 2, kInk);
    DrawLine(*d, 2, -2000000000, 2, 2000000000, kInk);
    EXPECT_EQ(d.Text(), "..#..\n..#..\n#####\n..#..\n..#..\n");
}

TEST(Outline, LeavesTheFarCornerUntouched) {
    Canvas c(5, 4);
    DrawOutline(*c, 0, 0, 4, 3);
    std::string text;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            text += c.At(x, y) == kOutlineGrey ? 'g' : '.';
    EXPECT_EQ(text, "ggggg" "g...g" "g...g" "gggg.");
}

TEST(Blit, SkipsTheKeyAndWhatFallsOutside) {
    Canvas c(4, 3);
    const std::uint32_t sprite[] = {kInk, kSpriteKey, kInk, kInk, kInk, kSpriteKey};
    Blit(*c, 2, 1, 3, 2, sprite);
    Blit(*c, -1, -1, 3, 2, sprite);
    EXPECT_EQ(c.Text(),
              "#...\n"
              "..#.\n"
              "..##\n");
}

TEST(CheckBox, DrawsTheFrameAndTickAtTheExactPlace) {
    PixelBuffer b(24, 22);
    b.AllocatePixels();
    std::fill_n(b.Pixels(), 24 * 22, kBack);
    DrawCheckBox(b, 0, 0, 20, 22, true);
    // bx = 4, by = (22 - 12) / 2 = 5.
    EXPECT_EQ(b.At(4, 5), 0x787878u);    // top and left in dark grey
    EXPECT_EQ(b.At(16, 5), 0xDCDCDCu);   // right side in light grey
    EXPECT_EQ(b.At(4, 17), 0xDCDCDCu);   // bottom line starts at bx
    EXPECT_EQ(b.At(16, 17), kBack);      // half-open: the corner stays
    EXPECT_EQ(b.At(5, 6), 0x000000u);    // inner black frame
    EXPECT_EQ(b.At(6, 7), 0xFFFFFFu);    // sprite row 0 at (bx + 1, by + 1)
    EXPECT_EQ(b.At(5 + 4, 6 + 7), 0x000000u);  // sprite 'b' at row 7, column 4
    EXPECT_EQ(b.At(5 + 9, 6 + 9), 0xAAAAAAu);

    DrawCheckBox(b, 0, 0, 20, 22, false);
    EXPECT_EQ(b.At(9, 13), 0xFFFFFFu);  // unchecked: white inside
}

TEST(CheckBox, TwiceAsLargeIsTheSameBoxWithEveryPixelDoubled) {
    for (bool checked : {true, false}) {
        PixelBuffer one(24, 22);
        one.AllocatePixels();
        std::fill_n(one.Pixels(), 24 * 22, kBack);
        DrawCheckBox(one, 0, 0, 20, 22, checked);
        PixelBuffer two(48, 44);
        two.AllocatePixels();
        std::fill_n(two.Pixels(), 48 * 44, kBack);
        DrawCheckBox(two, 0, 0, 40, 44, checked, 2);
        // The box and its offsets double: (4, 5) becomes (8, 10).
        for (std::int32_t y = 0; y < 44; ++y)
            for (std::int32_t x = 0; x < 48; ++x)
                ASSERT_EQ(two.At(x, y), one.At(x / 2, y / 2)) << checked << " at " << x << "," << y;
    }
}

TEST(CheckBox, IsPlacedFromTheUnclippedTop) {
    PixelBuffer b(20, 10);
    b.AllocatePixels();
    std::fill_n(b.Pixels(), 200, kBack);
    // The strip starts 12 rows above the buffer: by = -12 + 5 = -7, so only
    // the bottom rows of the box show.
    DrawCheckBox(b, 0, -12, 20, 22, false);
    EXPECT_EQ(b.At(4, 5), 0xDCDCDCu);   // bottom line at by + 12 = 5
    EXPECT_EQ(b.At(10, 4), 0xFFFFFFu);  // inside
    EXPECT_EQ(b.At(10, 6), kBack);      // below the box
    // Entirely above the buffer: nothing at all.
    PixelBuffer c(20, 10);
    c.AllocatePixels();
    std::fill_n(c.Pixels(), 200, kBack);
    DrawCheckBox(c, 0, -30, 20, 22, true);
    EXPECT_TRUE(std::all_of(c.Pixels(), c.Pixels() + 200, [](std::uint32_t p) { return p == kBack; }));
}

TEST(NewItemBadge, SitsSeventeenFromTheClippedRightWithClearCorners) {
    PixelBuffer b(30, 14);
    b.AllocatePixels();
    std::fill_n(b.Pixels(), 30 * 14, kBack);
    DrawNewItemBadge(b, 0, 1, 100, 22);  // clipped right = 30, so x = 13, y = 4
    EXPECT_EQ(b.At(13, 4), kBack);       // transparent corner
    EXPECT_EQ(b.At(14, 4), 0xE4121Du);
    EXPECT_EQ(b.At(14, 6), 0xFFFFFFu);   // the N
    EXPECT_EQ(b.At(28, 12), kBack);      // bottom-right corner
    EXPECT_EQ(b.At(29, 5), kBack);       // one column is left free at the right
    EXPECT_EQ(b.At(28, 5), 0xE4121Du);
}

TEST(Fills, WhiteRectanglesAreClipped) {
    Canvas c(4, 3);
    FillRectWhite(*c, RECT{2, -3, 10, 2});
    EXPECT_EQ(c.Text(), "..??\n..??\n....\n");
    EXPECT_EQ(c.At(3, 0), 0xFFFFFFu);
}

}  // namespace
}  // namespace zov
