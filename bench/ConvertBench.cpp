// Pages per second turning the demo corpus into previews, against pdftoppm
// rendering the same files as JPEG at the same resolution: one thread, then
// all threads (pdftoppm runs one process per file to use them).
#include "platform/Encoding.h"
#include "tools/convert/Converter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zov {
namespace {

namespace fs = std::filesystem;

constexpr int kCorpusPages = 24 + 4 + 8 + 1;

const std::string& Scratch() {
    static const std::string folder = [] {
        std::string path = (fs::temp_directory_path() / ("zov-bench-convert-" + std::to_string(getpid()))).string();
        fs::create_directories(path);
        std::string command = std::string(ZOV_DEMO_CORPUS) + " '" + path + "/corpus' >/dev/null";
        if (std::system(command.c_str()) != 0)
            std::abort();
        return path;
    }();
    return folder;
}

std::vector<std::string> Documents() {
    std::vector<std::string> files;
    for (const char* name : {"brochure.pdf", "japanese.pdf", "slides.pdf", "letter.pdf"})
        files.push_back(Scratch() + "/corpus/" + name);
    return files;
}

int Threads(const benchmark::State& state) {
    return state.range(0) > 0 ? static_cast<int>(state.range(0))
                              : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void ConvertCorpus(benchmark::State& state) {
    ConvertSettings settings;
    settings.preview.previewRoot = FromUtf8(Scratch() + "/previews");
    settings.preview.folderMode = L"Folder";
    settings.threads = Threads(state);
    std::vector<ConvertJob> jobs;
    for (const std::string& file : Documents()) {
        std::string reason;
        jobs.push_back(*MakeJob(file, settings, reason));
    }
    for (auto _ : state) {
        ConvertSummary summary = ConvertAll(jobs, settings);
        if (summary.failed > 0)
            state.SkipWithError("conversion failed");
    }
    state.SetItemsProcessed(state.iterations() * kCorpusPages);
    state.counters["threads"] = settings.threads;
}
BENCHMARK(ConvertCorpus)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void PdftoppmCorpus(benchmark::State& state) {
    const int threads = Threads(state);
    std::vector<std::string> files = Documents();
    for (auto _ : state) {
        // Up to `threads` pdftoppm processes at a time, one per file.
        std::size_t next = 0;
        int running = 0;
        bool failed = false;
        while (next < files.size() || running > 0) {
            while (running < threads && next < files.size()) {
                std::string out = Scratch() + "/ppm-" + std::to_string(next);
                std::string command = "pdftoppm -jpeg -r 150 '" + files[next++] + "' '" + out + "'";
                pid_t pid = fork();
                if (pid == 0) {
                    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
                    _exit(127);
                }
                ++running;
            }
            int status = 0;
            if (wait(&status) > 0) {
                --running;
                failed = failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
            }
        }
        if (failed)
            state.SkipWithError("pdftoppm failed");
    }
    state.SetItemsProcessed(state.iterations() * kCorpusPages);
    state.counters["threads"] = threads;
}
BENCHMARK(PdftoppmCorpus)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zov
