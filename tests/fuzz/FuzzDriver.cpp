// Runs a fuzz target without libFuzzer, so that every test run (g++, ASan and
// UBSan) fuzzes for a few seconds: each seed once, then mutations of the seeds
// until the time is up. The mutations come from a PRNG with a fixed seed, so a
// run makes the same inputs in the same order on every machine.
//
// The options are spelled and mean what libFuzzer's do, so one command line
// works with either: -max_total_time=S (0: no limit) -seed=N -runs=N (all
// runs, seeds included) -max_len=N -timeout=S -rss_limit_mb=N
// -malloc_limit_mb=N -artifact_prefix=P, then seed folders or files. Given
// only files, it runs each once and stops. An input that crashes, trips a
// sanitizer, takes longer than the timeout, allocates beyond the limits or
// leaks is written to <artifact_prefix>failure-<seed>-<run>, and its name is
// printed; running the target on that one file repeats it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// The sanitizer runtime's hooks, when one is linked.
extern "C" {
__attribute__((weak)) void __sanitizer_set_death_callback(void (*callback)());
__attribute__((weak)) int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                                    void (*onFree)(const volatile void*));
__attribute__((weak)) void __sanitizer_print_stack_trace();
__attribute__((weak)) int __lsan_do_recoverable_leak_check();

// The undefined behaviour sanitizer's runtime is a library of its own with
// GCC and does not call the death callback; aborting lets the signal handler
// below save the input.
const char* __ubsan_default_options() {
    return "abort_on_error=1";
}
}

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// As libFuzzer's defaults, except the time: a test run fuzzes briefly.
constexpr double kDefaultSeconds = 5;
constexpr std::uint64_t kDefaultSeed = 1;
constexpr std::size_t kDefaultMaxLen = 4096;
constexpr int kDefaultTimeoutSeconds = 1200;
constexpr std::size_t kDefaultRssLimitMb = 2048;
// Seed files beyond this are not read.
constexpr std::size_t kMaxSeedBytes = 16 << 20;
// Mutations stacked on one input, and mutants bred from a mutant before
// starting again from a seed.
constexpr int kMaxMutationsPerInput = 4;
constexpr int kMaxGenerations = 8;
constexpr auto kWatchInterval = std::chrono::milliseconds(100);
// libFuzzer's exit codes for a timeout and for running out of memory.
constexpr int kTimeoutExit = 70;
constexpr int kOutOfMemoryExit = 71;
constexpr int kLeakExit = 72;

struct Options {
    double seconds = kDefaultSeconds;  // 0: no limit
    bool onlyFiles = true;             // no folder given: run the files, no more
    std::uint64_t seed = kDefaultSeed;
    long long runs = -1;
    std::size_t maxLen = 0;  // 0: from the seeds
    int timeoutSeconds = kDefaultTimeoutSeconds;
    std::size_t rssLimitMb = kDefaultRssLimitMb;
    std::size_t mallocLimitMb = 0;  // 0: the RSS limit
    std::string artifactPrefix = "./";
    std::vector<std::string> inputs;
};

// splitmix64: a fixed algorithm, unlike the standard distributions, so the
// inputs are the same with every library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, bound); 0 when bound is 0.
    std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(Next() % bound); }

private:
    std::uint64_t state_;
};

// What the failure handlers need, prepared before each input runs: they may
// only make async-signal-safe calls.
struct Current {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    char artifact[4096] = {};
    std::atomic<bool> written{false};
};
Current g_current;
std::atomic<std::int64_t> g_inputStartNs{0};  // 0 between inputs
std::atomic<bool> g_countAllocations{false};
std::atomic<std::int64_t> g_mallocs{0};
std::atomic<std::int64_t> g_frees{0};
std::size_t g_mallocLimitBytes = 0;
pthread_t g_mainThread;
const char* g_program = "";

void Say(const char* text) {
    ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void WriteCurrentInput() {
    if (g_current.written.exchange(true) || g_current.artifact[0] == '\0')
        return;
    int fd = open(g_current.artifact, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        Say("fuzz: cannot write the failing input to ");
        Say(g_current.artifact);
        Say("\n");
        return;
    }
    std::size_t done = 0;
    while (done < g_current.size) {
        ssize_t n = write(fd, g_current.data + done, g_current.size - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    Say("fuzz: failing input written to ");
    Say(g_current.artifact);
    Say("; to repeat it: ");
    Say(g_program);
    Say(" ");
    Say(g_current.artifact);
    Say("\n");
}

void OnFatalSignal(int signal) {
    WriteCurrentInput();
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Set by the watcher before it interrupts the main thread for memory rather
// than time.
std::atomic<bool> g_outOfMemory{false};

// On the main thread, which owns the input: the watcher only interrupts it.
void OnTimeoutSignal(int) {
    const bool memory = g_outOfMemory.load();
    Say(memory ? "fuzz: out of memory: resident size over -rss_limit_mb; where it was:\n"
               : "fuzz: timeout: one input ran longer than -timeout; where it was:\n");
    if (__sanitizer_print_stack_trace)
        __sanitizer_print_stack_trace();
    WriteCurrentInput();
    _exit(memory ? kOutOfMemoryExit : kTimeoutExit);
}

void OnMalloc(const volatile void*, std::size_t size) {
    if (g_mallocLimitBytes && size > g_mallocLimitBytes && g_inputStartNs.load(std::memory_order_relaxed)) {
        char line[128];
        std::snprintf(line, sizeof line, "fuzz: out of memory: one allocation of %zu bytes (-malloc_limit_mb)\n", size);
        Say(line);
        if (__sanitizer_print_stack_trace)
            __sanitizer_print_stack_trace();
        WriteCurrentInput();
        _exit(kOutOfMemoryExit);
    }
    if (g_countAllocations.load(std::memory_order_relaxed))
        g_mallocs.fetch_add(1, std::memory_order_relaxed);
}

void OnFree(const volatile void*) {
    if (g_countAllocations.load(std::memory_order_relaxed))
        g_frees.fetch_add(1, std::memory_order_relaxed);
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Without allocating, so that the inputs' allocation counts stay their own.
std::size_t RssMb() {
    char text[128] = {};
    int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return 0;
    char* residentStart = std::strchr(text, ' ');
    std::size_t resident = residentStart ? std::strtoull(residentStart, nullptr, 10) : 0;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) >> 20;
}

// Watches the input that runs: too long or too much memory, and the main
// thread, which owns the input, is interrupted to say where it is and keep it.
void Watch(const Options& options, const std::atomic<bool>& done) {
    while (!done.load()) {
        std::this_thread::sleep_for(kWatchInterval);
        std::int64_t start = g_inputStartNs.load();
        if (start && options.timeoutSeconds > 0 &&
            NowNs() - start > static_cast<std::int64_t>(options.timeoutSeconds) * 1000000000) {
            pthread_kill(g_mainThread, SIGALRM);
            return;
        }
        if (start && options.rssLimitMb && RssMb() > options.rssLimitMb) {
            char line[128];
            std::snprintf(line, sizeof line, "fuzz: resident size over %zu MB (-rss_limit_mb)\n", options.rssLimitMb);
            Say(line);
            g_outOfMemory = true;
            pthread_kill(g_mainThread, SIGALRM);
            return;
        }
    }
}

bool ParseFlag(std::string_view arg, std::string_view name, std::string& value) {
    if (arg.size() <= name.size() + 2 || arg.substr(1, name.size()) != name || arg[name.size() + 1] != '=')
        return false;
    value = std::string(arg.substr(name.size() + 2));
    return true;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string value;
        if (arg.empty() || arg.front() != '-') {
            options.inputs.emplace_back(arg);
        } else if (ParseFlag(arg, "max_total_time", value)) {
            options.seconds = std::strtod(value.c_str(), nullptr);
        } else if (ParseFlag(arg, "seed", value)) {
            options.seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (ParseFlag(arg, "runs", value)) {
            options.runs = std::strtoll(value.c_str(), nullptr, 10);
        } else if (ParseFlag(arg, "max_len", value)) {
            options.maxLen = std::strtoull(value.c_str(), nullptr, 10);
        } else if (ParseFlag(arg, "timeout", value)) {
            options.timeoutSeconds = std::atoi(value.c_str());
        } else if (ParseFlag(arg, "rss_limit_mb", value)) {
            options.rssLimitMb = std::strtoull(value.c_str(), nullptr, 10);
        } else if (ParseFlag(arg, "malloc_limit_mb", value)) {
            options.mallocLimitMb = std::strtoull(value.c_str(), nullptr, 10);
        } else if (ParseFlag(arg, "artifact_prefix", value)) {
            options.artifactPrefix = value;
        } else {
            std::fprintf(stderr, "fuzz: ignoring %s (not an option of this driver)\n", argv[i]);
        }
    }
    return options;
}

// Regular files only; a folder's files in name order, so the seeds come in
// the same order everywhere.
std::vector<Bytes> LoadSeeds(const std::vector<std::string>& inputs, bool& onlyFiles) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (fs::is_directory(input, error)) {
            onlyFiles = false;
            std::vector<fs::path> inFolder;
            for (const fs::directory_entry& entry : fs::directory_iterator(input, error))
                if (entry.is_regular_file(error))
                    inFolder.push_back(entry.path());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else if (fs::is_regular_file(input, error)) {
            files.emplace_back(input);
        } else {
            std::fprintf(stderr, "fuzz: no such seed file or folder: %s\n", input.c_str());
        }
    }
    std::vector<Bytes> seeds;
    for (const fs::path& file : files) {
        std::error_code error;
        std::uintmax_t size = fs::file_size(file, error);
        if (error || size > kMaxSeedBytes) {
            std::fprintf(stderr, "fuzz: skipping %s (unreadable or over %zu bytes)\n", file.c_str(), kMaxSeedBytes);
            continue;
        }
        std::ifstream in(file, std::ios::binary);
        Bytes bytes(static_cast<std::size_t>(size));
        if (in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
            seeds.push_back(std::move(bytes));
    }
    return seeds;
}

// Changes `input` by one of the usual small steps; `seeds` supply splices.
void MutateOnce(Bytes& input, const std::vector<Bytes>& seeds, std::size_t maxLen, Random& random) {
    const std::size_t size = input.size();
    switch (random.Below(size == 0 ? 1 : 10)) {
    case 0: {  // insert random bytes (the only step that grows an empty input)
        std::size_t count = 1 + random.Below(8);
        std::size_t at = random.Below(size + 1);
        Bytes bytes(count);
        for (std::uint8_t& b : bytes)
            b = static_cast<std::uint8_t>(random.Next());
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
        break;
    }
    case 1:
        input[random.Below(size)] ^= static_cast<std::uint8_t>(1u << random.Below(8));
        break;
    case 2:
        input[random.Below(size)] = 0;
        break;
    case 3:
        input[random.Below(size)] = 0xFF;
        break;
    case 4:
        input[random.Below(size)] = static_cast<std::uint8_t>(random.Next());
        break;
    case 5:  // truncate
        input.resize(random.Below(size));
        break;
    case 6: {  // erase a run
        std::size_t at = random.Below(size);
        std::size_t count = 1 + random.Below(std::min<std::size_t>(size - at, 64));
        input.erase(input.begin() + static_cast<std::ptrdiff_t>(at),
                    input.begin() + static_cast<std::ptrdiff_t>(at + count));
        break;
    }
    case 7: {  // a run of this input or of a seed, inserted: words of the format meet in new places
        const Bytes& source = random.Below(2) == 0 ? input : seeds[random.Below(seeds.size())];
        if (source.empty())
            break;
        std::size_t from = random.Below(source.size());
        std::size_t count = 1 + random.Below(std::min<std::size_t>(source.size() - from, 64));
        Bytes run(source.begin() + static_cast<std::ptrdiff_t>(from),
                  source.begin() + static_cast<std::ptrdiff_t>(from + count));
        std::size_t at = random.Below(size + 1);
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), run.begin(), run.end());
        break;
    }
    case 8: {  // a 32-bit value at the ends of its range, as lengths and counts meet them
        static constexpr std::uint32_t kEdges[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF,
                                                   0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE};
        std::uint32_t value = kEdges[random.Below(std::size(kEdges))];
        std::size_t at = random.Below(size);
        for (std::size_t i = 0; i < 4 && at + i < size; ++i)
            input[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        break;
    }
    default: {  // splice: this input's start, another seed's end
        const Bytes& other = seeds[random.Below(seeds.size())];
        std::size_t keep = random.Below(size + 1);
        std::size_t from = random.Below(other.size() + 1);
        input.resize(keep);
        input.insert(input.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
        break;
    }
    }
    if (input.size() > maxLen)
        input.resize(maxLen);
}

// One input through the target, with everything the failure handlers need.
// False when it leaked.
bool RunOne(const Bytes& input, const Options& options, long long run) {
    std::snprintf(g_current.artifact, sizeof g_current.artifact, "%sfailure-%llu-%lld", options.artifactPrefix.c_str(),
                  static_cast<unsigned long long>(options.seed), run);
    // The target gets its own copy, exactly as long as the input, so that
    // reading one byte past the end is caught.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[input.size() ? input.size() : 1]);
    std::copy(input.begin(), input.end(), copy.get());
    g_current.data = copy.get();
    g_current.size = input.size();
    g_current.written = false;

    g_mallocs = 0;
    g_frees = 0;
    g_countAllocations = true;
    g_inputStartNs = NowNs();
    LLVMFuzzerTestOneInput(copy.get(), input.size());
    g_inputStartNs = 0;
    g_countAllocations = false;
    // Only when something allocated during the input outlived it is the
    // (slow) leak check worth its time; caches filled once pass it.
    if (g_mallocs.load() > g_frees.load() && __lsan_do_recoverable_leak_check && __lsan_do_recoverable_leak_check()) {
        Say("fuzz: this input leaked memory\n");
        WriteCurrentInput();
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    std::vector<Bytes> seeds = LoadSeeds(options.inputs, options.onlyFiles);
    const bool mutate = !(options.onlyFiles && !options.inputs.empty());
    if (seeds.empty())
        seeds.emplace_back();
    std::size_t maxLen = options.maxLen;
    if (maxLen == 0) {
        maxLen = kDefaultMaxLen;
        for (const Bytes& seed : seeds)
            maxLen = std::max(maxLen, seed.size());
    }
    g_mallocLimitBytes = (options.mallocLimitMb ? options.mallocLimitMb : options.rssLimitMb) << 20;

    g_mainThread = pthread_self();
    g_program = argv[0];
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(WriteCurrentInput);
    if (__sanitizer_install_malloc_and_free_hooks)
        __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    std::signal(SIGALRM, OnTimeoutSignal);
    std::signal(SIGABRT, OnFatalSignal);
    // The address sanitizer reports these itself, through the death callback.
    if (!__sanitizer_set_death_callback)
        for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL})
            std::signal(signal, OnFatalSignal);

    std::atomic<bool> done{false};
    std::thread watcher([&] { Watch(options, done); });
    int status = 0;
    const Clock::time_point start = Clock::now();
    long long run = 0;
    for (const Bytes& seed : seeds) {
        if (!RunOne(seed, options, run++)) {
            status = kLeakExit;
            break;
        }
    }

    Random random(options.seed);
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));
    auto timeLeft = [&] { return options.seconds <= 0 || Clock::now() < deadline; };
    Bytes input;
    int generation = kMaxGenerations;
    while (mutate && status == 0 && timeLeft() && (options.runs < 0 || run < options.runs)) {
        if (generation >= kMaxGenerations || random.Below(2) == 0) {
            input = seeds[random.Below(seeds.size())];
            generation = 0;
        }
        ++generation;
        for (std::size_t n = 1 + random.Below(kMaxMutationsPerInput); n > 0; --n)
            MutateOnce(input, seeds, maxLen, random);
        if (!RunOne(input, options, run++))
            status = kLeakExit;
    }
    done = true;
    watcher.join();

    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr, "fuzz: %zu seeds, %lld inputs in %.1f s (%.0f per second), -seed=%llu -max_len=%zu\n",
                 seeds.size(), run, seconds, seconds > 0 ? static_cast<double>(run) / seconds : 0.0,
                 static_cast<unsigned long long>(options.seed), maxLen);
    return status;
}
