// The converter against pdftoppm rendering the same PDF as JPEG at the same
// resolution, side by side: milliseconds per page for each and their ratio,
// on one thread, then on all (pdftoppm then runs one process per share of
// the pages). The PDF is the demo corpus joined over and over by pdfunite
// into a document of a few hundred pages.
#include "platform/Encoding.h"
#include "tools/convert/Converter.h"

#include <benchmark/benchmark.h>

#include <chrono>
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

// The corpus's four PDFs hold 37 pages; eleven rounds make 407.
constexpr int kRounds = 11;
constexpr int kPages = 37 * kRounds;

std::string& ScratchPath() {
    static std::string path;
    return path;
}

void RemoveScratch() {
    std::error_code ignored;
    fs::remove_all(ScratchPath(), ignored);
}

const std::string& Scratch() {
    static const std::string folder = [] {
        std::string& path = ScratchPath();
        path = (fs::temp_directory_path() / ("zov-bench-convert-" + std::to_string(getpid()))).string();
        fs::create_directories(path);
        std::atexit(RemoveScratch);
        std::string command = std::string(ZOV_DEMO_CORPUS) + " '" + path + "/corpus' >/dev/null";
        if (std::system(command.c_str()) != 0)
            std::abort();
        std::string unite = "pdfunite";
        for (int round = 0; round < kRounds; ++round)
            for (const char* name : {"brochure.pdf", "japanese.pdf", "slides.pdf", "letter.pdf"})
                unite += " '" + path + "/corpus/" + name + "'";
        unite += " '" + path + "/many.pdf'";
        if (std::system(unite.c_str()) != 0)
            std::abort();
        return path;
    }();
    return folder;
}

std::string ManyPages() {
    return Scratch() + "/many.pdf";
}

int Threads(const benchmark::State& state) {
    return state.range(0) > 0 ? static_cast<int>(state.range(0))
                              : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// pdftoppm on `threads` processes, each given an equal share of the pages.
bool Pdftoppm(int threads) {
    std::vector<pid_t> children;
    const int share = (kPages + threads - 1) / threads;
    for (int first = 1; first <= kPages; first += share) {
        const int last = std::min(kPages, first + share - 1);
        std::string command = "pdftoppm -jpeg -r 150 -f " + std::to_string(first) + " -l " + std::to_string(last) +
                              " '" + ManyPages() + "' '" + Scratch() + "/ppm'";
        pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid < 0)
            return false;
        children.push_back(pid);
    }
    bool ok = true;
    for (pid_t child : children) {
        int status = 0;
        ok = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
    }
    return ok;
}

void ConvertAgainstPdftoppm(benchmark::State& state) {
    ConvertSettings settings;
    settings.threads = Threads(state);
    const std::vector<ConvertJob> jobs{JobWithBase(ManyPages(), FromUtf8(Scratch() + "/previews/many"))};
    double ours = 0;
    double theirs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        ConvertSummary summary = ConvertAll(jobs, settings);
        ours += Seconds(start);
        if (summary.failed > 0 || summary.pages != kPages) {
            state.SkipWithError("conversion failed");
            break;
        }
        start = std::chrono::steady_clock::now();
        if (!Pdftoppm(settings.threads)) {
            state.SkipWithError("pdftoppm failed");
            break;
        }
        theirs += Seconds(start);
    }
    const double pages = static_cast<double>(state.iterations()) * kPages;
    state.counters["threads"] = settings.threads;
    state.counters["pages"] = kPages;
    state.counters["ms/page"] = 1000 * ours / pages;
    state.counters["pdftoppm_ms/page"] = 1000 * theirs / pages;
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
}
// One pass is some forty seconds on one thread: enough to average over.
BENCHMARK(ConvertAgainstPdftoppm)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace zov
