#include "pixels/PageWarp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace zov {
namespace {

constexpr std::uint32_t kMarker = 0xABCDEF;

using Pixels = std::vector<std::uint32_t>;
using Steps = std::vector<std::array<std::int32_t, 3>>;

PixelBuffer Picture(std::int32_t width, std::int32_t height, const Pixels& pixels) {
    PixelBuffer picture(width, height);
    picture.AllocatePixels();
    std::copy(pixels.begin(), pixels.end(), picture.Pixels());
    return picture;
}

PixelBuffer Filled(std::int32_t width, std::int32_t height, std::uint32_t colour) {
    return Picture(width, height, Pixels(static_cast<std::size_t>(width * height), colour));
}

// Every pixel tells where it came from: 0x11YYXX.
PixelBuffer Numbered(std::int32_t width, std::int32_t height) {
    Pixels pixels;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            pixels.push_back(0x110000u | static_cast<std::uint32_t>(y) << 8 | static_cast<std::uint32_t>(x));
    return Picture(width, height, pixels);
}

Pixels PixelsOf(const PixelBuffer& buffer) {
    return Pixels(buffer.Pixels(), buffer.Pixels() + buffer.PixelCount());
}

PageQuad Quad(POINT R, POINT Q, POINT A, int half = kWholePicture) {
    PageQuad quad{R, Q, A};
    quad.half = half;
    return quad;
}

std::vector<std::int32_t> Tops(const std::vector<AreaY>& spans, std::int32_t hgt) {
    std::vector<std::int32_t> tops;
    for (const AreaY& span : spans) {
        EXPECT_EQ(span.bottom, span.top + hgt);
        tops.push_back(span.top);
    }
    return tops;
}

Steps StepsOf(const std::vector<BilinearStep>& steps) {
    Steps out;
    for (const BilinearStep& step : steps)
        out.push_back({step.index, step.near, step.far});
    return out;
}

std::array<std::int32_t, 7> Corners(const PageQuad& quad) {
    return {quad.R.x, quad.R.y, quad.Q.x, quad.Q.y, quad.A.x, quad.A.y, quad.half};
}

TEST(WarpSpans, StraightTopsAndLevelArcs) {
    // Without a curve every column starts at R.y, whatever Q.y says.
    EXPECT_EQ(Tops(BuildSpans({2, 3}, {6, 7}, {6, 10}, kStraightTop), 3), (std::vector<std::int32_t>{3, 3, 3, 3}));
    // d = 0: the arcs have no height to bend over.
    for (int curve : {kArcOne, kArcTwo})
        EXPECT_EQ(Tops(BuildSpans({0, 3}, {4, 3}, {4, 8}, curve), 5), (std::vector<std::int32_t>{3, 3, 3, 3}));
    EXPECT_TRUE(BuildSpans({4, 0}, {4, 0}, {4, 5}, kArcOne).empty());
    EXPECT_TRUE(BuildSpans({5, 0}, {4, 0}, {4, 5}, kStraightTop).empty());
}

TEST(WarpSpans, ArcsFollowAQuarterEllipseAndTruncateTowardZero) {
    // d = 4, n = 4: arc D is trunc(sqrt(16 - (4 - j)^2)), arc U 4 - sqrt(16 - j^2).
    EXPECT_EQ(Tops(BuildSpans({0, 0}, {4, 4}, {4, 6}, kArcTwo), 2), (std::vector<std::int32_t>{0, 2, 3, 3}));
    EXPECT_EQ(Tops(BuildSpans({0, 0}, {4, 4}, {4, 6}, kArcOne), 2), (std::vector<std::int32_t>{0, 0, 0, 1}));
    // d = -4 swaps which curve takes which arc.
    EXPECT_EQ(Tops(BuildSpans({0, 4}, {4, 0}, {4, 2}, kArcOne), 2), (std::vector<std::int32_t>{4, 1, 0, 0}));
    EXPECT_EQ(Tops(BuildSpans({0, 4}, {4, 0}, {4, 2}, kArcTwo), 2), (std::vector<std::int32_t>{4, 3, 3, 2}));
    // Above the frame: -7.35 becomes -7, not -8.
    EXPECT_EQ(Tops(BuildSpans({0, -10}, {4, -6}, {4, 0}, kArcTwo), 6), (std::vector<std::int32_t>{-10, -7, -6, -6}));
}

TEST(WarpTables, OneColumnOrRowTakesTheFirstPixel) {
    EXPECT_EQ(NearestColumns(1, 10, kWholePicture), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(NearestColumns(1, 10, kRightHalf), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(NearestRows(1, 7), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(StepsOf(BilinearColumns(1, 10, 0)), (Steps{{0, 128, 0}}));
    EXPECT_EQ(StepsOf(BilinearColumns(1, 5, 5)), (Steps{{5, 128, 0}}));
    EXPECT_EQ(StepsOf(BilinearRows(1, 9)), (Steps{{0, 128, 0}}));
}

TEST(WarpTables, NearestSpreadsEndToEndOverTheChosenHalf) {
    EXPECT_EQ(NearestColumns(4, 10, kWholePicture), (std::vector<std::int32_t>{0, 3, 6, 9}));
    EXPECT_EQ(NearestColumns(4, 10, kLeftHalf), (std::vector<std::int32_t>{0, 1, 2, 4}));
    EXPECT_EQ(NearestColumns(4, 10, kRightHalf), (std::vector<std::int32_t>{5, 6, 7, 9}));
    EXPECT_EQ(NearestRows(4, 10), (std::vector<std::int32_t>{0, 3, 6, 9}));
    EXPECT_EQ(NearestRows(3, 2), (std::vector<std::int32_t>{0, 0, 1}));
}

TEST(WarpTables, BilinearWeightsInSevenBitFixedPoint) {
    EXPECT_EQ(StepsOf(BilinearColumns(3, 5, 0)), (Steps{{0, 128, 0}, {2, 128, 0}, {4, 128, 0}}));
    // Positions 0, 4/3, 8/3, 4: fractions 42/128 and 85/128, rounded down.
    EXPECT_EQ(StepsOf(BilinearColumns(4, 5, 0)), (Steps{{0, 128, 0}, {1, 86, 42}, {2, 43, 85}, {4, 128, 0}}));
    EXPECT_EQ(StepsOf(BilinearColumns(4, 5, 5)), (Steps{{5, 128, 0}, {6, 86, 42}, {7, 43, 85}, {9, 128, 0}}));
    EXPECT_EQ(StepsOf(BilinearRows(3, 4)), (Steps{{0, 128, 0}, {1, 64, 64}, {3, 128, 0}}));
}

TEST(WarpSampling, FilterFollowsQualityAndTheWholePicturesWidth) {
    EXPECT_EQ(ChooseSampler(false, 1000, 400), Sampler::Nearest);
    EXPECT_EQ(ChooseSampler(false, 1000, 600), Sampler::Nearest);
    EXPECT_EQ(ChooseSampler(true, 1000, 400), Sampler::Box);
    EXPECT_EQ(ChooseSampler(true, 1000, 600), Sampler::Bilinear);
    EXPECT_EQ(ChooseSampler(true, 800, 400), Sampler::Box);
    EXPECT_EQ(ChooseSampler(true, 799, 400), Sampler::Bilinear);
    EXPECT_EQ(ChooseSampler(true, 100, 400), Sampler::Bilinear);
}

TEST(WarpSampling, BoxAveragesItsBlockPerChannel) {
    // 6 × 5 into 3 × 3: columns {0, 2, 5}, rows {0, 2, 4}, blocks of 2 × 2.
    Pixels pixels(30, 0);
    pixels[0] = 0x10FF03, pixels[1] = 0x30FE04, pixels[6] = 0x20FD05, pixels[7] = 0x40FC07;
    pixels[2 * 6 + 2] = 0x0400FF;
    pixels[5] = 0x5A5A5A, pixels[4 * 6] = 0x3C3C3C, pixels[4 * 6 + 5] = 0x1E1E1E;
    PixelBuffer source = Picture(6, 5, pixels);
    PixelBuffer target = Filled(3, 4, kMarker);
    WarpPicture(target, source, Quad({0, 0}, {3, 0}, {3, 3}), true, kStraightTop, 1.0);
    EXPECT_EQ(target.At(0, 0), 0x28FD04u);  // 253.5 and 4.75 round down, no carry between channels
    EXPECT_EQ(target.At(1, 1), 0x01003Fu);
    // The last column and row have no block: the nearest pixel.
    EXPECT_EQ(target.At(2, 0), 0x5A5A5Au);
    EXPECT_EQ(target.At(0, 2), 0x3C3C3Cu);
    EXPECT_EQ(target.At(2, 2), 0x1E1E1Eu);
    // Without quality the same draw takes single pixels.
    WarpPicture(target, source, Quad({0, 0}, {3, 0}, {3, 3}), false, kStraightTop, 1.0);
    EXPECT_EQ(target.At(0, 0), 0x10FF03u);
    EXPECT_EQ(target.At(1, 1), 0x0400FFu);
}

TEST(WarpSampling, BoxBlockIsCutToThePicture) {
    // 4 × 10 into 2 × 2: rows {0, 9}, so the first block is 9 × 9 and only
    // 4 × 9 of it lies in the picture.
    Pixels pixels;
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 4; ++x)
            pixels.push_back((10 * x) << 16 | (20 * y) << 8 | (x + y));
    PixelBuffer source = Picture(4, 10, pixels);
    PixelBuffer target = Filled(2, 3, kMarker);
    WarpPicture(target, source, Quad({0, 0}, {2, 0}, {2, 2}), true, kStraightTop, 1.0);
    EXPECT_EQ(PixelsOf(target), (Pixels{0x0F5005, 0x1E0003, 0x00B409, 0x1EB40C, kMarker, kMarker}));

    // 6 × 7 into 3 × 3: a whole 3 × 3 block; 2294 / 9 and 8 / 9 round down.
    Pixels nine(42, 0xFFFF00);
    nine[2 * 6 + 2] = 0xFEFF08;
    PixelBuffer whole = Picture(6, 7, nine);
    PixelBuffer small = Filled(3, 4, kMarker);
    WarpPicture(small, whole, Quad({0, 0}, {3, 0}, {3, 3}), true, kStraightTop, 1.0);
    EXPECT_EQ(small.At(0, 0), 0xFEFF00u);
}

TEST(WarpSampling, BilinearMixesNeighboursWithTruncatedWeights) {
    PixelBuffer line = Picture(2, 1, {0x00FF10, 0xFF0020});
    PixelBuffer target = Filled(4, 2, kMarker);
    WarpPicture(target, line, Quad({0, 0}, {4, 0}, {4, 1}), true, kStraightTop, 1.0);
    EXPECT_EQ(PixelsOf(target), (Pixels{0x00FF10, 0x53AB15, 0xA9551A, 0xFF0020, kMarker, kMarker, kMarker, kMarker}));

    // 2 × 2 into 3 × 3: the middle is a quarter of each corner, truncated per pass.
    PixelBuffer square = Picture(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000});
    PixelBuffer grid = Filled(3, 4, kMarker);
    WarpPicture(grid, square, Quad({0, 0}, {3, 0}, {3, 3}), true, kStraightTop, 1.0);
    EXPECT_EQ(PixelsOf(grid), (Pixels{0xFF0000, 0x7F7F00, 0x00FF00,  //
                                      0x7F007F, 0x3F3F3F, 0x007F00,  //
                                      0x0000FF, 0x00007F, 0x000000,  //
                                      kMarker, kMarker, kMarker}));

    PixelBuffer uniform = Filled(2, 2, 0x123456);
    WarpPicture(grid, uniform, Quad({0, 0}, {3, 0}, {3, 3}), true, kStraightTop, 1.0);
    EXPECT_EQ(std::count(grid.Pixels(), grid.Pixels() + 9, 0x123456u), 9);
}

TEST(WarpSampling, HalvesKeepToTheirSideOfTheSpine) {
    PixelBuffer source = Picture(4, 1, {0x000000, 0x0000FE, 0xFE0000, 0x00FE00});
    PixelBuffer target = Filled(3, 2, kMarker);
    auto draw = [&](int half, bool quality) {
        WarpPicture(target, source, Quad({0, 0}, {3, 0}, {3, 1}, half), quality, kStraightTop, 1.0);
        return Pixels(target.Pixels(), target.Pixels() + 3);
    };
    EXPECT_EQ(draw(kLeftHalf, false), (Pixels{0x000000, 0x000000, 0x0000FE}));
    EXPECT_EQ(draw(kRightHalf, false), (Pixels{0xFE0000, 0xFE0000, 0x00FE00}));
    // 4 / 3 < 2: bilinear, each half over its own two columns.
    EXPECT_EQ(draw(kLeftHalf, true), (Pixels{0x000000, 0x00007F, 0x0000FE}));
    EXPECT_EQ(draw(kRightHalf, true), (Pixels{0xFE0000, 0x7F7F00, 0x00FE00}));
}

TEST(WarpDraw, StraightQuadOfThePicturesSizeCopiesIt) {
    PixelBuffer source = Numbered(5, 4);
    for (bool quality : {false, true}) {
        PixelBuffer target = Filled(7, 6, kMarker);
        WarpPicture(target, source, Quad({1, 1}, {6, 1}, {6, 5}), quality, kStraightTop, 1.0);
        for (std::int32_t y = 0; y < 6; ++y)
            for (std::int32_t x = 0; x < 7; ++x) {
                const bool inside = x >= 1 && x < 6 && y >= 1 && y < 5;
                EXPECT_EQ(target.At(x, y), inside ? source.At(x - 1, y - 1) : kMarker) << x << "," << y;
            }
    }
}

TEST(WarpDraw, ClipsToTheFrameAndLeavesItsLastRow) {
    PixelBuffer source = Numbered(5, 2);
    // Sticking out on the left: the frame starts at column 2 of the spans.
    PixelBuffer left = Filled(3, 3, kMarker);
    WarpPicture(left, source, Quad({-2, 0}, {3, 0}, {3, 2}), false, kStraightTop, 1.0);
    EXPECT_EQ(PixelsOf(left), (Pixels{0x110002, 0x110003, 0x110004, 0x110102, 0x110103, 0x110104, kMarker, kMarker,
                                      kMarker}));
    // On both sides and above: row 0 of the frame is row 1 of the quad.
    PixelBuffer both = Filled(3, 2, kMarker);
    WarpPicture(both, source, Quad({-1, -1}, {4, -1}, {4, 1}), false, kStraightTop, 1.0);
    EXPECT_EQ(PixelsOf(both), (Pixels{0x110101, 0x110102, 0x110103, kMarker, kMarker, kMarker}));
    // Reaching the bottom edge: the frame's last row is never drawn.
    PixelBuffer exact = Filled(5, 2, kMarker);
    WarpPicture(exact, source, Quad({0, 0}, {5, 0}, {5, 2}), false, kStraightTop, 1.0);
    EXPECT_EQ(PixelsOf(exact), (Pixels{0x110000, 0x110001, 0x110002, 0x110003, 0x110004, kMarker, kMarker, kMarker,
                                       kMarker, kMarker}));
}

TEST(WarpDraw, CurvedTopsShiftEachColumn) {
    PixelBuffer source = Numbered(4, 2);
    struct Case {
        PageQuad quad;
        int curve;
        std::array<std::int32_t, 4> tops;
    };
    for (const Case& c : {Case{Quad({0, 0}, {4, 4}, {4, 6}), kArcTwo, {0, 2, 3, 3}},
                          Case{Quad({0, 4}, {4, 0}, {4, 2}), kArcOne, {4, 1, 0, 0}}}) {
        PixelBuffer target = Filled(4, 7, kMarker);
        WarpPicture(target, source, c.quad, false, c.curve, 1.0);
        for (std::int32_t x = 0; x < 4; ++x)
            for (std::int32_t y = 0; y < 7; ++y) {
                const std::int32_t r = y - c.tops[x];
                EXPECT_EQ(target.At(x, y), r == 0 || r == 1 ? source.At(x, r) : kMarker) << x << "," << y;
            }
    }
}

TEST(WarpDraw, TranslucentDrawsAreAnEvenMix) {
    PixelBuffer source = Filled(1, 1, 0xFF8001);
    PixelBuffer target = Picture(3, 2, {0x000000, 0xFFFFFF, 0x000000, 0, 0, 0});
    WarpPicture(target, source, Quad({0, 0}, {1, 0}, {1, 1}), false, kStraightTop, 0.5);
    WarpPicture(target, source, Quad({1, 0}, {2, 0}, {2, 1}), false, kStraightTop, 0.99);
    WarpPicture(target, source, Quad({2, 0}, {3, 0}, {3, 1}), false, kStraightTop, 0.995);
    EXPECT_EQ(target.At(0, 0), 0x7F4000u);  // bit 0 of each channel is lost
    EXPECT_EQ(target.At(1, 0), 0xFEBF7Fu);
    EXPECT_EQ(target.At(2, 0), 0xFF8001u);
}

TEST(WarpDraw, DegenerateAndFarAwayQuadsDrawNothing) {
    PixelBuffer source = Filled(2, 2, 0x123456);
    PixelBuffer target = Filled(3, 3, kMarker);
    for (const PageQuad& quad : {Quad({2, 0}, {1, 0}, {1, 2}), Quad({1, 0}, {1, 0}, {1, 2}),
                                 Quad({0, 1}, {2, 1}, {2, 1}), Quad({0, 1}, {2, 1}, {2, 0}),
                                 Quad({3, 0}, {5, 0}, {5, 2}), Quad({-5, 0}, {0, 0}, {0, 2}),
                                 Quad({0, -5}, {2, -5}, {2, -1}), Quad({0, 2}, {2, 2}, {2, 9}),
                                 Quad({-2000000000, 0}, {2000000000, 0}, {2000000000, 2})})
        for (bool quality : {false, true})
            WarpPicture(target, source, quad, quality, kArcOne, 1.0);
    PixelBuffer noPixels(2, 2);
    WarpPicture(target, noPixels, Quad({0, 0}, {2, 0}, {2, 2}), false, kStraightTop, 1.0);
    WarpPicture(target, PixelBuffer(), Quad({0, 0}, {2, 0}, {2, 2}), false, kStraightTop, 1.0);
    EXPECT_EQ(PixelsOf(target), Pixels(9, kMarker));
    PixelBuffer noTarget;
    WarpPicture(noTarget, source, Quad({0, 0}, {2, 0}, {2, 2}), false, kStraightTop, 1.0);
}

TEST(WarpDraw, HugeQuadCostsOnlyWhatIsVisible) {
    PixelBuffer source = Filled(2, 2, 0x123456);
    for (bool quality : {false, true})
        for (int curve : {kStraightTop, kArcOne}) {
            PixelBuffer target = Filled(3, 3, kMarker);
            WarpPicture(target, source, Quad({-1000000000, -5}, {1000000000, -5}, {1000000000, 1000000000}), quality,
                        curve, 1.0);
            EXPECT_EQ(PixelsOf(target), (Pixels{0x123456, 0x123456, 0x123456, 0x123456, 0x123456, 0x123456, kMarker,
                                                kMarker, kMarker}));
        }
}

TEST(PageGeometry, FlatTopRisesTwentyPixelsAtTheSpine) {
    const LayoutPoints book{{100, 10}, {100, 110}, {30, 10}, {180, 10}};
    using C = std::array<std::int32_t, 7>;
    EXPECT_EQ(Corners(LeftSideGeometry(book, 1.0, false)), (C{30, 10, 100, 10, 100, 110, 0}));
    EXPECT_EQ(Corners(LeftSideGeometry(book, 0.5, false)), (C{65, 0, 100, 10, 100, 110, 0}));
    EXPECT_EQ(Corners(LeftSideGeometry(book, 0.25, false)), (C{82, -4, 100, 10, 100, 110, 0}));  // -4.86
    EXPECT_EQ(Corners(LeftSideGeometry(book, 0.0, false)), (C{100, -10, 100, 10, 100, 110, 0}));
    EXPECT_EQ(Corners(RightSideGeometry(book, 0.0, false)), (C{100, 10, 180, 10, 180, 110, 0}));
    EXPECT_EQ(Corners(RightSideGeometry(book, 0.5, false)), (C{100, 10, 140, -7, 140, 93, 0}));  // -7.32
    EXPECT_EQ(Corners(RightSideGeometry(book, 1.0, false)), (C{100, 10, 100, -10, 100, 90, 0}));
    EXPECT_EQ(LeftSideGeometry(book, 0.5, true).half, kLeftHalf);
    EXPECT_EQ(RightSideGeometry(book, 0.5, true).half, kRightHalf);
}

TEST(PageGeometry, PerspectiveBookRisesByTheOtherSidesDrop) {
    using C = std::array<std::int32_t, 7>;
    // Both outer corners above the spine: they stay where they are.
    const LayoutPoints high{{100, 20}, {100, 120}, {30, 10}, {180, 10}};
    EXPECT_EQ(Corners(LeftSideGeometry(high, 0.5, false)), (C{65, 10, 100, 20, 100, 120, 0}));
    EXPECT_EQ(Corners(RightSideGeometry(high, 0.5, false)), (C{100, 20, 140, 10, 140, 110, 0}));
    // Right corner level with the spine: it rises by 20 - 10.
    const LayoutPoints right{{100, 20}, {100, 120}, {30, 10}, {180, 20}};
    EXPECT_EQ(Corners(RightSideGeometry(right, 0.0, true)), (C{100, 20, 180, 20, 180, 120, 2}));
    EXPECT_EQ(Corners(RightSideGeometry(right, 0.5, true)), (C{100, 20, 140, 11, 140, 111, 2}));  // 11.34
    EXPECT_EQ(Corners(RightSideGeometry(right, 1.0, true)), (C{100, 20, 100, 10, 100, 110, 2}));
    const LayoutPoints left{{100, 20}, {100, 120}, {30, 20}, {180, 10}};
    EXPECT_EQ(Corners(LeftSideGeometry(left, 1.0, true)), (C{30, 20, 100, 20, 100, 120, 1}));
    EXPECT_EQ(Corners(LeftSideGeometry(left, 0.5, true)), (C{65, 15, 100, 20, 100, 120, 1}));
    EXPECT_EQ(Corners(LeftSideGeometry(left, 0.0, true)), (C{100, 10, 100, 20, 100, 120, 1}));
    // A page of no width has nothing to turn.
    const LayoutPoints thin{{100, 20}, {100, 120}, {100, 20}, {100, 20}};
    EXPECT_EQ(Corners(LeftSideGeometry(thin, 0.5, false)), (C{100, 20, 100, 20, 100, 120, 0}));
    EXPECT_EQ(Corners(RightSideGeometry(thin, 0.5, false)), (C{100, 20, 100, 20, 100, 120, 0}));
}

}  // namespace
}  // namespace zov
