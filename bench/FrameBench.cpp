// The container codes a frame for every present while a leaf turns; at 120
// frames a second on two cores its cost is taken from the viewer and the
// browser alike. Measured on the frames of one turn of a zoomed text page.
#include "host/TileFrame.h"
#include "pixels/PageWarp.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace zov::host {
namespace {

constexpr std::int32_t kWidth = 1900;
constexpr std::int32_t kHeight = 992;
constexpr int kTurnFrames = 48;

std::unique_ptr<PixelBuffer> TextPage() {
    auto page = PixelBuffer::Create(620, 877);
    std::fill_n(page->Pixels(), page->PixelCount(), 0xFFFFFFu);
    std::uint32_t seed = 777;
    for (std::int32_t line = 60; line + 9 < 877 - 60; line += 15) {
        for (std::int32_t x = 50; x < 570;) {
            seed = seed * 1103515245u + 12345u;
            const std::int32_t word = 10 + static_cast<std::int32_t>(seed >> 16) % 40;
            const std::int32_t end = std::min(x + word, 570);
            for (std::int32_t y = line; y < line + 9; ++y)
                for (std::int32_t sx = x; sx < end; ++sx)
                    page->At(sx, y) = 0x101010u + static_cast<std::uint32_t>((sx * 7 + y * 13) % 96) * 0x010101u;
            x = end + 6;
        }
    }
    return page;
}

// The pictures of one turn: resting pages either side of the spine and a
// leaf drawn over the right one from flat to standing.
std::vector<Picture> TurnPictures() {
    auto page = TextPage();
    auto frame = PixelBuffer::Create(kWidth, kHeight);
    const LayoutPoints points{{950, 60}, {950, 937}, {330, 60}, {1570, 60}};
    std::vector<Picture> pictures;
    for (int i = 0; i < kTurnFrames; ++i) {
        std::fill_n(frame->Pixels(), frame->PixelCount(), 0x4A6B8Cu);
        WarpPicture(*frame, *page, LeftSideGeometry(points, 1.0, false), true, kStraightTop, 1.0);
        WarpPicture(*frame, *page, RightSideGeometry(points, 0.0, false), true, kStraightTop, 1.0);
        const double progress = static_cast<double>(i) / (kTurnFrames - 1);
        WarpPicture(*frame, *page, RightSideGeometry(points, progress, false), false, kArcOne, 1.0);
        Picture picture{kWidth, kHeight, {}};
        picture.pixels.assign(frame->Pixels(), frame->Pixels() + frame->PixelCount());
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

void EncodeTurnFrame(benchmark::State& state) {
    const std::vector<Picture> pictures = TurnPictures();
    Picture sent;
    TileHistory history;
    std::uint32_t sequence = 1;
    EncodeFrame(1, sequence++, pictures[0], sent, &history);
    std::size_t bytes = 0, frames = 0;
    for (auto _ : state) {
        const Picture& next = pictures[1 + frames % (pictures.size() - 1)];
        if (frames % (pictures.size() - 1) == 0) {
            state.PauseTiming();
            sent = Picture{};
            EncodeFrame(1, sequence++, pictures[0], sent, &history);
            state.ResumeTiming();
        }
        EncodedFrame frame = EncodeFrame(1, sequence++, next, sent, &history);
        bytes += frame.bytes.size();
        ++frames;
        benchmark::DoNotOptimize(frame.bytes.data());
    }
    state.counters["KB_per_frame"] = static_cast<double>(bytes) / static_cast<double>(frames) / 1000.0;
}
BENCHMARK(EncodeTurnFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zov::host
