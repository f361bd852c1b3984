// Work-window markers and file lists are rewritten on every update step of a
// work window: writing and reading them back must cost little.
#include "platform/TextFile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace zov {
namespace {

std::wstring MarkerText(int lines) {
    std::wstring text;
    for (int i = 0; i < lines; ++i)
        text += L"\\\\server\\share\\\u8cc7\u6599\\report-" + std::to_wstring(i) + L".pdf\n";
    return text;
}

std::wstring TempPath() {
    auto path = std::filesystem::temp_directory_path() / ("zov-bench-" + std::to_string(getpid()) + ".txt");
    return path.wstring();
}

void WriteMarker(benchmark::State& state) {
    std::wstring text = MarkerText(static_cast<int>(state.range(0)));
    std::wstring path = TempPath();
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteTextFile(path, text));
    state.SetItemsProcessed(state.iterations() * state.range(0));  // lines
    std::filesystem::remove(path);
}
BENCHMARK(WriteMarker)->Arg(10)->Arg(1000);

void ReadMarkerLines(benchmark::State& state) {
    std::wstring text = MarkerText(static_cast<int>(state.range(0)));
    std::wstring path = TempPath();
    WriteTextFile(path, text);
    for (auto _ : state) {
        TextFileReader reader;
        reader.Open(path);
        size_t lines = 0;
        while (reader.ReadLine(1023))
            ++lines;
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));  // lines
    std::filesystem::remove(path);
}
BENCHMARK(ReadMarkerLines)->Arg(10)->Arg(1000);

}  // namespace
}  // namespace zov
