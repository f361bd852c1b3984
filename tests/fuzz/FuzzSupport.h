// What the fuzz targets share: a private per-user data folder for the run, and
// a loopback HTTP server that answers with the input being fuzzed, so that
// answers from servers go through the real client and the real parsers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// A promise the code under test makes about its result; a broken one ends the
// run as a crash would, so that the fuzzer keeps the input.
#define ZOV_FUZZ_CHECK(condition)                                                              \
    do {                                                                                       \
        if (!(condition))                                                                      \
            ::zov::fuzz::CheckFailed(#condition, __FILE__, __LINE__);                          \
    } while (false)

namespace zov::fuzz {

[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

// $ZOV_DATA_HOME, pointed at a fresh temporary folder on the first call and
// removed when the process exits; native form, no trailing '/'.
const std::string& DataHome();

// Replaces the file at native `path` by `size` bytes. The old file is removed
// first: truncating it would make the file system write it out, which costs
// more than the parsing fuzzed.
void ReplaceFile(const std::string& path, const std::uint8_t* data, std::size_t size);

// The bytes as text, unchanged.
inline std::string AsText(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The input a target serves: set on the fuzzing thread, read on the server's.
class SharedText {
public:
    void Set(std::string text) {
        std::lock_guard<std::mutex> guard(mutex_);
        text_ = std::move(text);
    }
    std::string Get() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

struct LoopbackAnswer {
    int status = 404;
    std::string contentType;
    std::string body;
};

// HTTP/1.1 on a free port of 127.0.0.1, one connection at a time (the client
// keeps one per thread), keep-alive. Every request is answered by `answer`
// from its method and target; nothing is recorded, so a long run stays small.
class LoopbackServer {
public:
    using Answer = std::function<LoopbackAnswer(std::string_view method, std::string_view target)>;

    explicit LoopbackServer(Answer answer);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // "http://127.0.0.1:PORT" + target.
    std::string Url(std::string_view target) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zov::fuzz
