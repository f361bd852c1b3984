// A page turn draws up to two warped pages per frame at the timer's pace;
// each filter is measured against copying the bytes it writes.
#include "pixels/PageWarp.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace zov {
namespace {

constexpr std::int32_t kPageHeight = 1754;
constexpr std::int32_t kQuadWidth = 600;
constexpr std::int32_t kQuadHeight = 850;
constexpr std::int64_t kQuadPixels = std::int64_t{kQuadWidth} * kQuadHeight;

// White paper with lines of dark words: mostly flat, with sharp edges.
std::unique_ptr<PixelBuffer> TextPage(std::int32_t width) {
    auto page = PixelBuffer::Create(width, kPageHeight);
    std::fill_n(page->Pixels(), page->PixelCount(), 0xFFFFFFu);
    std::uint32_t seed = 12345;
    for (std::int32_t line = 120; line + 18 < kPageHeight - 120; line += 30) {
        for (std::int32_t x = 100; x < width - 100;) {
            seed = seed * 1103515245u + 12345u;
            const std::int32_t word = 20 + static_cast<std::int32_t>(seed >> 16) % 80;
            const std::int32_t end = std::min(x + word, width - 100);
            for (std::int32_t y = line; y < line + 18; ++y)
                for (std::int32_t sx = x; sx < end; ++sx)
                    if ((sx + y) % 3 != 0)
                        page->At(sx, y) = 0x202020;
            x = end + 12;
        }
    }
    return page;
}

void Warp(benchmark::State& state, std::int32_t pageWidth, bool quality, Sampler expected, int curve) {
    if (ChooseSampler(quality, pageWidth, kQuadWidth) != expected) {
        state.SkipWithError("the page width does not select the intended filter");
        return;
    }
    auto page = TextPage(pageWidth);
    auto frame = PixelBuffer::Create(1920, 1080);
    std::fill_n(frame->Pixels(), frame->PixelCount(), 0xC0C0C0u);
    // The curved quad's top falls 40 rows over its width; every span still has 850 rows.
    const std::int32_t rise = curve == kStraightTop ? 0 : 40;
    const PageQuad quad{{660, 115}, {660 + kQuadWidth, 115 - rise}, {660 + kQuadWidth, 115 - rise + kQuadHeight}};
    for (auto _ : state) {
        WarpPicture(*frame, *page, quad, quality, curve, 1.0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kQuadPixels);
}
BENCHMARK_CAPTURE(Warp, Nearest, 1240, false, Sampler::Nearest, kStraightTop)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Warp, Box, 1240, true, Sampler::Box, kStraightTop)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Warp, Bilinear, 1100, true, Sampler::Bilinear, kStraightTop)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Warp, BoxCurved, 1240, true, Sampler::Box, kArcOne)->Unit(benchmark::kMicrosecond);
// The turning leaf: drawn nearest, under a curved top.
BENCHMARK_CAPTURE(Warp, NearestCurved, 1240, false, Sampler::Nearest, kArcOne)->Unit(benchmark::kMicrosecond);

// The bound: copying the destination's bytes.
void WarpMemcpy(benchmark::State& state) {
    std::vector<std::uint32_t> from(kQuadPixels, 0x123456), to(kQuadPixels);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kQuadPixels);
}
BENCHMARK(WarpMemcpy)->Unit(benchmark::kMicrosecond);

// The other bound: a filter that reads every row reads the whole page once,
// four times the bytes it writes here, and from farther than the cache that
// holds the copy above.
void WarpPageRead(benchmark::State& state) {
    const auto pixels = static_cast<std::size_t>(state.range(0)) * kPageHeight;
    std::vector<std::uint32_t> from(pixels, 0x123456), to(pixels);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kQuadPixels);
}
BENCHMARK(WarpPageRead)->Arg(1100)->Arg(1240)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zov
