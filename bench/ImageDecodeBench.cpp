// Page files carry their pages as pictures, one A4 page at 150 dpi each:
// decoding one must keep up with turning pages.
#include "platform/image/ImageDecoder.h"

#include <benchmark/benchmark.h>

namespace zov {
namespace {

constexpr int kPageWidth = 1240;
constexpr int kPageHeight = 1754;

// White paper, lines of dark text-like strokes and a coloured figure.
std::vector<std::uint32_t> PagePicture() {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(kPageWidth) * kPageHeight, 0xFFFFFF);
    std::uint32_t seed = 1;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245 + 12345;
        return static_cast<int>((seed >> 16) % n);
    };
    for (int baseline = 130; baseline < 1200; baseline += 24) {
        for (int x = 100; x < kPageWidth - 160;) {
            int word = 20 + next(60);
            for (int dx = 0; dx < word; ++dx) {
                if (next(3) == 0)
                    continue;
                for (int y = baseline - 6 - next(7); y < baseline; ++y)
                    pixels[static_cast<size_t>(y) * kPageWidth + x + dx] = 0x202020;
            }
            x += word + 10;
        }
    }
    for (int y = 1300; y < 1650; ++y) {
        for (int x = 150; x < 1090; ++x)
            pixels[static_cast<size_t>(y) * kPageWidth + x] = 0x305080 + static_cast<std::uint32_t>((x - 150) / 8);
    }
    return pixels;
}

struct Samples {
    std::vector<std::uint8_t> jpeg;
    std::vector<std::uint8_t> png;
};

const Samples& PageSamples() {
    static const Samples samples = [] {
        std::vector<std::uint32_t> page = PagePicture();
        return Samples{EncodeJpeg(page.data(), kPageWidth, kPageHeight, 85),
                       EncodePng(page.data(), kPageWidth, kPageHeight)};
    }();
    return samples;
}

void Decode(benchmark::State& state, const std::vector<std::uint8_t>& encoded) {
    for (auto _ : state) {
        std::optional<DecodedImage> image = DecodeImage(encoded);
        if (!image) {
            state.SkipWithError("the page picture did not decode");
            break;
        }
        benchmark::DoNotOptimize(image);
    }
    state.SetItemsProcessed(state.iterations() * kPageWidth * kPageHeight);  // pixels
    state.counters["encoded_bytes"] = static_cast<double>(encoded.size());
}

void DecodeJpegPage(benchmark::State& state) {
    Decode(state, PageSamples().jpeg);
}
BENCHMARK(DecodeJpegPage)->Unit(benchmark::kMillisecond);

void DecodePngPage(benchmark::State& state) {
    Decode(state, PageSamples().png);
}
BENCHMARK(DecodePngPage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zov
