// Drawing a zoomed book: the open book at rest in full quality, and one
// frame of a turning leaf drawn over a composite that is already there (what
// the viewer does for every frame of a page turn).
#include "documents/PreviewSettings.h"
#include "pixels/Draw.h"
#include "render/ZAZObject.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace zov {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::unique_ptr<PixelBuffer> Page(int number, int w, int h) {
    auto picture = PixelBuffer::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture->At(x, y) = ((x / 40 + y / 40 + number) % 7 == 0) ? 0x202040u : 0xF8F8F0u;
    return picture;
}

// A book of page pictures as the converter makes them for reading, zoomed
// to fill a 1920 x 1080 window.
struct ZoomedBook {
    ZoomedBook() {
        PreviewSettings settings;
        settings.previewRoot = L"/nonexistent";
        SetPreviewSettings(settings);
        layout.pageWidth = 700;
        layout.pageHeight = 990;
        layout.openWidth = 700;
        layout.leafLift = 0;
        layout.openFactor = 1.0;
        layout.rightStitch = 0;
        layout.singlePage = 0;
        book = std::make_unique<ZAZObject>(L"/bench/book.pdf", L"", &layout, L"", false);
        book->pages.emplace();
        for (int n = 1; n <= 6; ++n)
            book->pages->push_back(
                std::make_unique<ZAZImage>(book->path, L"", n, Page(n, 254, 360), Page(n, 1240, 1754)));
        book->x = kWidth / 2;
        book->y = 45;
        book->loadState = 4;
        book->flipState = kFlipNext;
        book->pagePosition = 2;
        book->Relayout();
    }
    ZAZLayout layout;
    std::unique_ptr<ZAZObject> book;
};

void OpenBookFullQuality(benchmark::State& state) {
    ZoomedBook zoomed;
    auto frame = PixelBuffer::Create(kWidth, kHeight);
    for (auto _ : state) {
        FillDeskColour(*frame);
        zoomed.book->Draw(frame.get(), false, kDrawAll, false);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(OpenBookFullQuality)->Unit(benchmark::kMillisecond);

void TurningLeafOverComposite(benchmark::State& state) {
    ZoomedBook zoomed;
    zoomed.book->flipProgress = 0.4;
    auto composite = PixelBuffer::Create(kWidth, kHeight);
    FillDeskColour(*composite);
    zoomed.book->Draw(composite.get(), false, kDrawResting, true);
    auto frame = PixelBuffer::Create(kWidth, kHeight);
    for (auto _ : state) {
        frame->CopyFrom(*composite);
        zoomed.book->Draw(frame.get(), false, kDrawTurning, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(TurningLeafOverComposite)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zov
