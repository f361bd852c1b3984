// The desk at full size: composing a frame of 200 books, the time from a new
// list to the first frame with pictures (local previews and previews on a
// web server through the cache), the memory a desk of 1,000 books holds, and
// the frames of a zoomed book: turning a leaf and zooming in.
#include "control/ViewerSetup.h"
#include "control/ZOVuvazaRCtrl.h"
#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSettings.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessWindow.h"
#include "platform/Locks.h"
#include "platform/image/ImageDecoder.h"
#include "tests/support/NginxServer.h"
#include "viewer/ZAZViewer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <thread>
#include <unistd.h>

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string& Scratch() {
    static const std::string folder = [] {
        std::string path = (fs::temp_directory_path() / ("zov-bench-viewer-" + std::to_string(getpid()))).string();
        fs::create_directories(path);
        setenv("ZOV_DATA_HOME", (path + "/data").c_str(), 1);
        return path;
    }();
    return folder;
}

// One page file of the size the converter writes for the desk, per document.
void WritePreviews(const std::wstring& root, int count, const std::wstring& prefix) {
    static const std::vector<std::uint8_t> jpeg = [] {
        std::vector<std::uint32_t> pixels(254 * 360);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = (i / 254 / 20 + i % 254 / 20) % 2 ? 0xF4F4F0 : 0x303048;
        return EncodeJpeg(pixels.data(), 254, 360, 80);
    }();
    PreviewSettings settings;
    settings.previewRoot = root;
    settings.folderMode = L"Flat";
    for (int i = 0; i < count; ++i) {
        std::wstring document = prefix + std::to_wstring(i) + L".pdf";
        std::wstring first = PageFilePath(document, 1, settings);
        CreateFolderTree(first.substr(0, first.find_last_of(L"\\/")));
        PageFileContent content;
        content.imageType = 3;
        content.image1 = PageFileImage{254, 360, 0, jpeg};
        content.pageList = std::vector<std::int32_t>{1, 1, 1};
        WritePageFile(first, content);
    }
}

struct Desk {
    explicit Desk(SIZE size) {
        HeadlessWindow::Options options;
        options.runTimers = false;
        options.clientSize = size;
        window = std::make_unique<HeadlessWindow>(options);
        window->Send([this] {
            control = std::make_unique<CZOVuvazaRCtrl>();
            control->AttachWindow(window.get());
            viewer = SetUpViewer(*control);
        });
        viewer->Resize();
    }
    ~Desk() {
        window->Send([this] { control.reset(); });
    }
    DisplayFileList Files(int count, const std::wstring& prefix) {
        DisplayFileList list;
        for (int i = 0; i < count; ++i) {
            DisplayFile file;
            file.path = prefix + std::to_wstring(i) + L".pdf";
            file.openPage = 1;
            list.push_back(file);
        }
        return list;
    }
    // From the new list to the first frame in which a book shows a picture.
    double SecondsToFirstPicture(DisplayFileList list) {
        auto start = std::chrono::steady_clock::now();
        viewer->LoadFileList(std::move(list));
        for (;;) {
            {
                ViewLock lock;
                bool frame = viewer->UpdateStep();
                bool pictures = false;
                for (ZAZObject* book : viewer->visibleObjects)
                    pictures = pictures || (book->pages && !book->pages->empty() && (*book->pages)[0] &&
                                            (*book->pages)[0]->small.HoldsOwnPixels());
                if (frame && pictures)
                    break;
            }
            std::this_thread::sleep_for(1ms);
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::unique_ptr<HeadlessWindow> window;
    std::unique_ptr<CZOVuvazaRCtrl> control;
    ZAZViewer* viewer = nullptr;
};

std::wstring LocalRoot() {
    static const std::wstring root = [] {
        std::wstring path = FromUtf8(Scratch() + "/previews");
        WritePreviews(path, 1000, L"http://docs.example/desk/book-");
        return path;
    }();
    return root;
}

void UseRoot(const std::wstring& root) {
    PreviewSettings settings;
    settings.previewRoot = root;
    settings.folderMode = L"Flat";
    SetPreviewSettings(settings);
}

void DeskFrameOf200Books(benchmark::State& state) {
    UseRoot(LocalRoot());
    Desk desk(SIZE{1920, 1080});
    desk.SecondsToFirstPicture(desk.Files(200, L"http://docs.example/desk/book-"));
    while (!desk.viewer->PreviewPassDone())
        std::this_thread::sleep_for(10ms);
    for (auto _ : state) {
        ViewLock lock;
        desk.viewer->renderMode = static_cast<std::int32_t>(state.range(0));
        desk.viewer->RenderNoPresent(true);
    }
}
// Draft (as animation frames are drawn) and full quality.
BENCHMARK(DeskFrameOf200Books)->Arg(kRenderDraft)->Arg(kRenderFull)->Unit(benchmark::kMillisecond);

void FirstPictureLocal200(benchmark::State& state) {
    UseRoot(LocalRoot());
    Desk desk(SIZE{1920, 1080});
    for (auto _ : state)
        state.SetIterationTime(desk.SecondsToFirstPicture(desk.Files(200, L"http://docs.example/desk/book-")));
}
BENCHMARK(FirstPictureLocal200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void FirstPictureNginx200(benchmark::State& state) {
    static test::NginxServer* nginx = [] {
        auto* server = new test::NginxServer;
        WritePreviews(FromUtf8(server->Root() + "/prev"), 200, L"http://docs.example/desk/book-");
        return server;
    }();
    UseRoot(FromUtf8(nginx->Url("/prev")));
    Desk desk(SIZE{1920, 1080});
    for (auto _ : state)
        state.SetIterationTime(desk.SecondsToFirstPicture(desk.Files(200, L"http://docs.example/desk/book-")));
}
BENCHMARK(FirstPictureNginx200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// Freed blocks stay in malloc's arenas until trimmed; trimming first makes
// the figure what is held, not what was once touched.
std::int64_t ResidentBytes() {
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

void MemoryOf1000Books(benchmark::State& state) {
    UseRoot(LocalRoot());
    for (auto _ : state) {
        const std::int64_t before = ResidentBytes();
        Desk desk(SIZE{1920, 1080});
        desk.SecondsToFirstPicture(desk.Files(1000, L"http://docs.example/desk/book-"));
        while (!desk.viewer->PreviewPassDone())
            std::this_thread::sleep_for(10ms);
        {
            ViewLock lock;
            desk.viewer->Render(kRenderFull);
        }
        state.counters["resident_MiB"] = static_cast<double>(ResidentBytes() - before) / (1 << 20);
    }
}
BENCHMARK(MemoryOf1000Books)->Unit(benchmark::kMillisecond)->Iterations(1);


// A document of `pages` pages of page size, as a zoomed book shows them.
std::wstring WriteLargeDocument(const std::wstring& root, int pages) {
    const std::int32_t w = 800;
    const std::int32_t h = 1131;
    PreviewSettings settings;
    settings.previewRoot = root;
    settings.folderMode = L"Flat";
    const std::wstring document = L"http://docs.example/zoom/report.pdf";
    for (int n = 1; n <= pages; ++n) {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = (i % w / 40 + i / w / 24 + n) % 3 ? 0xFAFAF6 : 0x202040;
        PageFileContent content;
        content.imageType = 3;
        content.image1 = PageFileImage{w, h, 0, EncodeJpeg(pixels.data(), w, h, 80)};
        if (n == 1)
            content.pageList = std::vector<std::int32_t>(static_cast<std::size_t>(pages), 1);
        const std::wstring path = PageFilePath(document, n, settings);
        CreateFolderTree(path.substr(0, path.find_last_of(L"\\/")));
        WritePageFile(path, content);
    }
    return document;
}

struct ZoomedDesk {
    ZoomedDesk() : desk(SIZE{1920, 1080}) {
        const std::wstring root = FromUtf8(Scratch() + "/zoom-previews");
        DisplayFileList list;
        DisplayFile file;
        file.path = WriteLargeDocument(root, kPages);
        file.openPage = 1;
        list.push_back(file);
        UseRoot(root);
        desk.SecondsToFirstPicture(list);
        while (!desk.viewer->PreviewPassDone())
            std::this_thread::sleep_for(10ms);
        ViewLock lock;
        book = desk.viewer->visibleObjects.front();
        desk.viewer->currentObject = book;
    }
    static constexpr int kPages = 16;
    Desk desk;
    ZAZObject* book = nullptr;
};

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Until the pages the zoomed book at rest reads ahead are decoded.
void WaitForReadAhead(ZAZViewer& viewer, ZAZObject& book) {
    for (int i = 0; i < 500; ++i) {
        bool ready = true;
        {
            ViewLock lock;
            const VisiblePages v = book.Visible();
            for (std::int32_t index = v.last + 1; index <= v.last + 2 && index < book.PageCount(); ++index) {
                const ZAZImage* page = book.Page(index);
                ready = ready && (page->large.HoldsOwnPixels() || viewer.prefetch.Ready(page->sourcePath, page->pageNumber));
            }
        }
        if (ready)
            return;
        std::this_thread::sleep_for(2ms);
    }
}

// Every frame of leaf turns through the whole book, as the update thread
// draws them; the first pass reads the pages, the second is measured.
void ZoomedLeafTurnFrames(benchmark::State& state) {
    ZoomedDesk zoomed;
    ZAZViewer& viewer = *zoomed.desk.viewer;
    viewer.ZoomIn();
    auto turnThrough = [&](std::vector<double>& frames) {
        {
            // Back at the first spread and shown there at rest, as a reader
            // who opened the book has it, with what the rest reads ahead read.
            ViewLock lock;
            zoomed.book->pagePosition = 0;
            zoomed.book->flipProgress = 0.0;
            viewer.Render(kRenderFull);
        }
        WaitForReadAhead(viewer, *zoomed.book);
        for (int leaf = 0; leaf < ZoomedDesk::kPages / 2; ++leaf) {
            viewer.RequestFlip(kFlipNext);
            for (;;) {
                ViewLock lock;
                const auto start = std::chrono::steady_clock::now();
                const bool frame = viewer.UpdateStep();
                const auto took = std::chrono::steady_clock::now() - start;
                if (!frame)
                    break;
                frames.push_back(Milliseconds(took));
                if (!viewer.flipRunning)
                    break;
            }
        }
    };
    for (auto _ : state) {
        std::vector<double> cold;
        std::vector<double> warm;
        turnThrough(cold);
        turnThrough(warm);
        std::sort(warm.begin(), warm.end());
        state.counters["frames"] = static_cast<double>(warm.size());
        state.counters["median_ms"] = warm.empty() ? 0 : warm[warm.size() / 2];
        state.counters["worst_ms"] = warm.empty() ? 0 : warm.back();
        // Frames that redraw the resting pages under the turning leaf.
        state.counters["over_2ms"] =
            static_cast<double>(std::count_if(warm.begin(), warm.end(), [](double ms) { return ms > 2.0; }));
        state.counters["first_pass_worst_ms"] = cold.empty() ? 0 : *std::max_element(cold.begin(), cold.end());
    }
}
BENCHMARK(ZoomedLeafTurnFrames)->Unit(benchmark::kMillisecond)->Iterations(1);

// The twenty frames of zooming in and the finished view.
void ZoomInFrames(benchmark::State& state) {
    ZoomedDesk zoomed;
    ZAZViewer& viewer = *zoomed.desk.viewer;
    for (auto _ : state) {
        viewer.ZoomIn();
        state.PauseTiming();
        viewer.ZoomOut();
        {
            ViewLock lock;
            viewer.currentObject = zoomed.book;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(ZoomInFrames)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace zov
