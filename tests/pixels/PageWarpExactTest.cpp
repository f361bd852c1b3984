// The warp against a plain per-pixel statement of its rules, built from the
// sampling tables alone: every filter, curve, half, clip and blend must give
// the same words, so that no faster formulation drifts from the pictures the
// books are compared with.
#include "pixels/PageWarp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace zov {
namespace {

constexpr std::uint32_t kRedBlue = 0xFF00FF;
constexpr std::uint32_t kGreen = 0x00FF00;

std::uint32_t Lerp(std::uint32_t a, std::uint32_t b, std::uint32_t wa, std::uint32_t wb) {
    return ((((b & kRedBlue) * wb + (a & kRedBlue) * wa) >> 7) & kRedBlue) |
           ((((b & kGreen) * wb + (a & kGreen) * wa) >> 7) & kGreen);
}

// The mean of the block at (x, y): side k from the rows, cut to the picture.
std::uint32_t BlockMean(const PixelBuffer& s, std::int32_t x, std::int32_t y, std::int32_t k) {
    const std::int32_t w = std::min(k, s.Width() - x);
    const std::int32_t h = std::min(k, s.Height() - y);
    std::uint64_t sum[3] = {0, 0, 0};
    for (std::int32_t yy = y; yy < y + h; ++yy)
        for (std::int32_t xx = x; xx < x + w; ++xx)
            for (int channel = 0; channel < 3; ++channel)
                sum[channel] += s.At(xx, yy) >> (16 - 8 * channel) & 0xFF;
    const std::uint64_t count = static_cast<std::uint64_t>(w) * h;
    return static_cast<std::uint32_t>(sum[0] / count << 16 | sum[1] / count << 8 | sum[2] / count);
}

void ReferenceWarp(PixelBuffer& target, const PixelBuffer& source, const PageQuad& quad, bool quality, int curve,
                   double opacity) {
    const std::int32_t n = quad.Q.x - quad.R.x;
    const std::int32_t hgt = quad.A.y - quad.Q.y;
    if (n <= 0 || hgt <= 0)
        return;
    const std::int32_t W = source.Width();
    const std::int32_t H = source.Height();
    const std::vector<AreaY> spans = BuildSpans(quad.R, quad.Q, quad.A, curve);
    const Sampler sampler = ChooseSampler(quality, W, n);
    const std::vector<std::int32_t> xs = NearestColumns(n, W, quad.half);
    const std::vector<std::int32_t> ys = NearestRows(hgt, H);
    const bool halved = quad.half == kLeftHalf || quad.half == kRightHalf;
    std::vector<BilinearStep> bx = BilinearColumns(n, halved ? W / 2 : W, quad.half == kRightHalf ? W / 2 : 0);
    std::vector<BilinearStep> by = BilinearRows(hgt, H);
    auto inside = [](BilinearStep& step, std::int32_t size) {
        step.index = std::clamp(step.index, 0, size - 1);
        if (step.index + 1 >= size)
            step = BilinearStep{step.index, 128, 0};
    };
    for (BilinearStep& step : bx)
        inside(step, W);
    for (BilinearStep& step : by)
        inside(step, H);
    for (std::int32_t j = 0; j < n; ++j) {
        const std::int32_t x = quad.R.x + j;
        if (x < 0 || x >= target.Width())
            continue;
        for (std::int32_t r = 0; r < hgt; ++r) {
            const std::int32_t y = spans[j].top + r;
            if (y < 0 || y >= target.Height() - 1)  // the frame's last row is never drawn
                continue;
            std::uint32_t p = 0;
            if (sampler == Sampler::Nearest) {
                p = source.At(xs[j], ys[r]);
            } else if (sampler == Sampler::Box) {
                const std::int32_t k = r + 1 < hgt ? std::max(ys[r + 1] - ys[r], 1) : 0;
                p = k == 0 || j == n - 1 ? source.At(xs[j], ys[r]) : BlockMean(source, xs[j], ys[r], k);
            } else {
                const BilinearStep c = bx[j], v = by[r];
                auto row = [&](std::int32_t yy) {
                    return Lerp(source.At(c.index, yy), source.At(std::min(c.index + 1, W - 1), yy), c.near, c.far);
                };
                p = Lerp(row(v.index), row(std::min(v.index + 1, H - 1)), v.near, v.far);
            }
            std::uint32_t& out = target.At(x, y);
            out = opacity > 0.99 ? p : ((p >> 1) & 0x7F7F7F) + ((out >> 1) & 0x7F7F7F);
        }
    }
}

// Paper with ink: long flat runs, hard edges and noise, as a page has.
PixelBuffer Page(std::mt19937& random, std::int32_t width, std::int32_t height) {
    PixelBuffer page(width, height);
    page.AllocatePixels();
    std::uniform_int_distribution<std::uint32_t> any(0, 0xFFFFFF);
    std::uniform_int_distribution<int> kind(0, 9);
    for (std::int32_t i = 0; i < width * height; ++i)
        page.Pixels()[i] = kind(random) < 6 ? 0xFAFAF6 : kind(random) < 5 ? 0x202040 : any(random);
    return page;
}

TEST(WarpExact, EveryFilterMatchesThePerPixelRules) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> size(1, 90);
    std::uniform_int_distribution<int> place(-40, 60);
    std::uniform_int_distribution<int> pick(0, 2);
    for (int round = 0; round < 1500; ++round) {
        const PixelBuffer source = Page(random, size(random), size(random));
        PixelBuffer target = Page(random, 64, 48);
        PixelBuffer expected(64, 48);
        expected.AllocatePixels();
        expected.CopyFrom(target);
        const POINT R{place(random), place(random)};
        const std::int32_t n = size(random);
        const std::int32_t rise = pick(random) == 0 ? 0 : place(random) / 2;
        const POINT Q{R.x + n, R.y - rise};
        const POINT A{Q.x, Q.y + size(random)};
        PageQuad quad{R, Q, A};
        quad.half = pick(random);
        const int curve = rise == 0 && pick(random) ? kStraightTop : pick(random);
        const bool quality = pick(random) != 0;
        const double opacity = pick(random) == 0 ? 0.5 : 1.0;
        WarpPicture(target, source, quad, quality, curve, opacity);
        ReferenceWarp(expected, source, quad, quality, curve, opacity);
        ASSERT_TRUE(std::equal(target.Pixels(), target.Pixels() + target.PixelCount(), expected.Pixels()))
            << "round " << round << " source " << source.Width() << "x" << source.Height() << " quad " << R.x << ","
            << R.y << " " << Q.x << "," << Q.y << " " << A.y << " half " << quad.half << " curve " << curve
            << " quality " << quality << " opacity " << opacity;
    }
}

// The page sizes the zoomed book uses: large pictures shrunk a little or
// halved, where the row and column steps are not whole.
TEST(WarpExact, PageSizedDrawsMatchThePerPixelRules) {
    std::mt19937 random(7);
    const PixelBuffer wide = Page(random, 1240, 301);
    const PixelBuffer narrow = Page(random, 800, 283);
    for (const PixelBuffer* source : {&wide, &narrow})
        for (bool quality : {false, true})
            for (int curve : {kStraightTop, kArcOne, kArcTwo}) {
                PixelBuffer target = Page(random, 760, 180);
                PixelBuffer expected(760, 180);
                expected.AllocatePixels();
                expected.CopyFrom(target);
                const std::int32_t rise = curve == kStraightTop ? 0 : 17;
                const PageQuad quad{{30, 20}, {30 + 706, 20 - rise}, {30 + 706, 20 - rise + 140}};
                WarpPicture(target, *source, quad, quality, curve, 1.0);
                ReferenceWarp(expected, *source, quad, quality, curve, 1.0);
                EXPECT_TRUE(std::equal(target.Pixels(), target.Pixels() + target.PixelCount(), expected.Pixels()))
                    << source->Width() << " quality " << quality << " curve " << curve;
            }
}

}  // namespace
}  // namespace zov
