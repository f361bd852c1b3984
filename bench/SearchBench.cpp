// Keyword search over one document of 1,000 pages, whose only hit is on the
// last page: the first search (every page text read, folded and matched), a
// repeated search (answered from the remembered results), and the page by
// page walk a step makes, for a local preview folder and for the same
// preview on nginx read through the local cache.
#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSettings.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/image/ImageDecoder.h"
#include "render/DocumentSearch.h"
#include "render/ZAZObject.h"
#include "tests/support/NginxServer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace zov {
namespace {

namespace fs = std::filesystem;

constexpr int kPages = 1000;
const std::vector<std::wstring> kKeywords = {L"ＺＥＰＨＹＲ", L"quarterly"};

const std::string& Scratch() {
    static const std::string folder = [] {
        std::string path = (fs::temp_directory_path() / ("zov-bench-search-" + std::to_string(getpid()))).string();
        fs::create_directories(path + "/data/ZOVuvazaR");
        setenv("ZOV_DATA_HOME", (path + "/data").c_str(), 1);
        return path;
    }();
    return folder;
}

// About 2,500 characters a page: a report's page of mixed Japanese and
// English, the keywords only on the last one.
std::string PageText(int n) {
    std::string text;
    while (text.size() < 2500)
        text += "第" + std::to_string(n) + "章 売上の報告 quarterly figures for the region, カタカナ and ＦＵＬＬ width. ";
    if (n == kPages)
        text += " zephyr";
    return text;
}

// The page files (and the search text files beside them) as the converter
// writes them, below `folder` under the names of `document` in Flat mode.
void WriteDocument(const std::wstring& root, const std::wstring& document) {
    static const std::vector<std::uint8_t> jpeg = [] {
        std::vector<std::uint32_t> pixels(254 * 360, 0xF4F4F0);
        return EncodeJpeg(pixels.data(), 254, 360, 80);
    }();
    PreviewSettings settings;
    settings.previewRoot = root;
    settings.folderMode = L"Flat";
    const std::wstring first = PageFilePath(document, 1, settings);
    CreateFolderTree(first.substr(0, first.find_last_of(L"\\/")));
    for (int n = 1; n <= kPages; ++n) {
        PageFileContent content;
        content.imageType = 3;
        content.image1 = PageFileImage{254, 360, 0, jpeg};
        content.text = PageText(n) + "\n";
        if (n == 1)
            content.pageList = std::vector<std::int32_t>(kPages, 1);
        const std::wstring file = PageFilePath(document, n, settings);
        WritePageFile(file, content);
        WriteFileAtomically(SearchTextName(file), std::string(10, '\0') + PageText(n) + "\r\n");
    }
    WriteFileAtomically(PageFilePath(document, kStatusFile, settings), "**ZAZPreviewStatus:Success");
}

const std::wstring& LocalRoot() {
    static const std::wstring root = [] {
        std::wstring r = FromUtf8(Scratch()) + L"/previews";
        WriteDocument(r, L"C:\\docs\\report.pdf");
        return r;
    }();
    return root;
}

test::NginxServer& Server() {
    static test::NginxServer* server = [] {
        Scratch();
        auto* nginx = new test::NginxServer;
        WriteDocument(FromUtf8(nginx->Root()) + L"/prev", L"http://docs.example/x/report.pdf");
        return nginx;
    }();
    return *server;
}

void UseLocal() {
    PreviewSettings settings;
    settings.previewRoot = LocalRoot();
    settings.folderMode = L"Flat";
    SetPreviewSettings(settings);
}

void UseNginx() {
    PreviewSettings settings;
    settings.previewRoot = FromUtf8(Server().Url("/prev"));
    settings.folderMode = L"Flat";
    SetPreviewSettings(settings);
}

std::wstring Document() {
    return SearchesSearchTextFiles() ? L"http://docs.example/x/report.pdf" : L"C:\\docs\\report.pdf";
}

// One fresh book per iteration: nothing remembered, and for the web server
// an empty cache, so every text is read (downloaded) again.
void FirstSearch(benchmark::State& state, void (*use)()) {
    use();
    ZAZLayout layout;
    for (auto _ : state) {
        state.PauseTiming();
        ClearCache(GetPreviewSettings());
        ZAZObject book(Document(), L"", &layout, L"", false);
        state.ResumeTiming();
        if (SearchDocument(book, kKeywords, 0, SearchesSearchTextFiles()) != kPages)
            state.SkipWithError("the hit on the last page was not found");
    }
}

void FirstSearchLocal(benchmark::State& state) {
    FirstSearch(state, UseLocal);
}
BENCHMARK(FirstSearchLocal)->Unit(benchmark::kMillisecond)->Iterations(5);

void FirstSearchNginx(benchmark::State& state) {
    FirstSearch(state, UseNginx);
}
BENCHMARK(FirstSearchNginx)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same book asked again, for the hit and for a word on no page.
void RepeatedSearch(benchmark::State& state, void (*use)()) {
    use();
    ZAZLayout layout;
    ZAZObject book(Document(), L"", &layout, L"", false);
    const std::vector<std::wstring> absent = {L"nowhere"};
    SearchDocument(book, kKeywords, 0, SearchesSearchTextFiles());
    for (auto _ : state) {
        if (SearchDocument(book, kKeywords, 0, SearchesSearchTextFiles()) != kPages)
            state.SkipWithError("the hit on the last page was not found");
    }
    ZAZObject other(Document(), L"", &layout, L"", false);
    SearchDocument(other, absent, 0, SearchesSearchTextFiles());
    const auto start = std::chrono::steady_clock::now();
    if (SearchDocument(other, absent, 0, SearchesSearchTextFiles()) != 0)
        state.SkipWithError("a word on no page was found");
    state.counters["absent_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void RepeatedSearchLocal(benchmark::State& state) {
    RepeatedSearch(state, UseLocal);
}
BENCHMARK(RepeatedSearchLocal)->Unit(benchmark::kMillisecond);

void RepeatedSearchNginx(benchmark::State& state) {
    RepeatedSearch(state, UseNginx);
}
BENCHMARK(RepeatedSearchNginx)->Unit(benchmark::kMillisecond);

// A step forward from the front page of a zoomed book asks page by page.
void StepWalk(benchmark::State& state, void (*use)()) {
    use();
    ZAZLayout layout;
    for (auto _ : state) {
        state.PauseTiming();
        ClearCache(GetPreviewSettings());
        ZAZObject book(Document(), L"", &layout, L"", false);
        state.ResumeTiming();
        std::int32_t found = 0;
        for (std::int32_t page = 2; page <= kPages && found == 0; ++page)
            found = SearchDocument(book, kKeywords, page, SearchesSearchTextFiles());
        if (found != kPages)
            state.SkipWithError("the hit on the last page was not found");
    }
}

void StepWalkLocal(benchmark::State& state) {
    StepWalk(state, UseLocal);
}
BENCHMARK(StepWalkLocal)->Unit(benchmark::kMillisecond)->Iterations(3);

void StepWalkNginx(benchmark::State& state) {
    StepWalk(state, UseNginx);
}
BENCHMARK(StepWalkNginx)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zov
