// Downloads and listings against a real nginx on loopback. The download is
// measured against curl(1) fetching the same file (its own time_total, so
// that starting the process is not counted against it).
#include "documents/Download.h"
#include "documents/FolderListing.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "tests/support/NginxServer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace zov {
namespace {

constexpr std::size_t kFileBytes = 20 * 1000 * 1000;
constexpr int kFolderFiles = 5000;

// One server for all benchmarks, with a 20 MB file and a folder of 5,000.
test::NginxServer& Server() {
    static test::NginxServer* server = [] {
        std::string data = (std::filesystem::temp_directory_path() / "zov-bench-data").string();
        std::filesystem::create_directories(data);
        setenv("ZOV_DATA_HOME", data.c_str(), 1);
        auto* nginx = new test::NginxServer;
        std::string big(kFileBytes, '\0');
        for (std::size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>(i * 131 + 7);
        nginx->WriteFile("big.bin", big);
        for (int i = 0; i < kFolderFiles; ++i)
            nginx->WriteFile("many/document-" + std::to_string(i) + ".pdf", "x");
        return nginx;
    }();
    return *server;
}

void DownloadTwentyMegabytes(benchmark::State& state) {
    std::wstring url = FromUtf8(Server().Url("/big.bin"));
    std::wstring local = UserDataFolder() + L"bench\\big.bin";
    for (auto _ : state) {
        if (!Download(url, local))
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFileBytes));
}
BENCHMARK(DownloadTwentyMegabytes)->Unit(benchmark::kMillisecond);

void CurlTwentyMegabytes(benchmark::State& state) {
    // Into a file beside the viewer's cache, as the download writes one too.
    std::string target = (std::filesystem::temp_directory_path() / "zov-bench-data" / "curl.bin").string();
    std::string command = "curl -s -o '" + target + "' -w '%{time_total}' " + Server().Url("/big.bin");
    for (auto _ : state) {
        std::FILE* pipe = popen(command.c_str(), "r");
        char output[64] = {};
        std::size_t n = pipe ? std::fread(output, 1, sizeof output - 1, pipe) : 0;
        if (!pipe || pclose(pipe) != 0 || n == 0) {
            state.SkipWithError("curl failed");
            break;
        }
        state.SetIterationTime(std::strtod(output, nullptr));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFileBytes));
}
BENCHMARK(CurlTwentyMegabytes)->UseManualTime()->Unit(benchmark::kMillisecond);

void ListWebDavFolderOf5000(benchmark::State& state) {
    std::wstring url = FromUtf8(Server().Url("/many/"));
    for (auto _ : state) {
        auto names = GetFolderFiles(L"", L"", url);
        if (!names || names->size() != kFolderFiles)
            state.SkipWithError("listing failed");
    }
    state.SetItemsProcessed(state.iterations() * kFolderFiles);
}
BENCHMARK(ListWebDavFolderOf5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zov
