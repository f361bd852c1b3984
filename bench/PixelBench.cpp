// The desk is cleared and captions are drawn for every frame: both must stay
// far below the 8 ms timer period of the highest flip speed.
#include "pixels/Draw.h"
#include "pixels/TextStrip.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace zov {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void FillDeskColour1080p(benchmark::State& state) {
    SetDeskColour(0x20, 0x60, 0xA0);
    auto buffer = PixelBuffer::Create(kWidth, kHeight);
    for (auto _ : state) {
        FillDeskColour(*buffer);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(FillDeskColour1080p);

// The bound the fill is measured against: copying the same bytes.
void Memcpy1080p(benchmark::State& state) {
    std::vector<std::uint32_t> from(kWidth * kHeight, 0x123456), to(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(Memcpy1080p);

void CaptionStrip(benchmark::State& state) {
    auto buffer = PixelBuffer::Create(400, 40);
    for (auto _ : state)
        DrawTextStrip(*buffer, 0, 10, 300, 22, L"\u4f1a\u8b70\u8cc7\u6599 2026-12 quarterly report.pdf", L"",
                      RGB(0, 0, 0), RGB(205, 237, 236), 20, 0, 0, kCaptionFormat);
}
BENCHMARK(CaptionStrip);

void CheckBoxAndBadge(benchmark::State& state) {
    auto buffer = PixelBuffer::Create(400, 40);
    for (auto _ : state) {
        DrawCheckBox(*buffer, 0, 10, 300, 22, true);
        DrawNewItemBadge(*buffer, 0, 10, 300, 22);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(CheckBoxAndBadge);

}  // namespace
}  // namespace zov
