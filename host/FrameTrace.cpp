#include "host/FrameTrace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace zov::host {

namespace {

struct TraceFile {
    std::mutex mutex;
    std::FILE* file = nullptr;
    FrameTrace::Clock::time_point start = FrameTrace::Clock::now();
};

TraceFile& File() {
    static TraceFile* trace = [] {
        auto* t = new TraceFile;  // lives as long as the process: windows write until the end
        if (const char* path = std::getenv("ZOV_FRAME_TRACE"); path && *path) {
            t->file = std::fopen(path, "a");
            if (t->file)
                std::setvbuf(t->file, nullptr, _IOLBF, 0);
        }
        return t;
    }();
    return *trace;
}

long long Micros(FrameTrace::Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t - File().start).count();
}

}  // namespace

bool FrameTrace::Enabled() {
    return File().file != nullptr;
}

void FrameTrace::Presented(Clock::time_point now) {
    if (!presented_)
        presented_ = now;
}

void FrameTrace::Encoded(std::uint32_t sequence, Clock::time_point began, Clock::time_point ended,
                         std::size_t bytes, std::uint32_t tiles) {
    const Clock::time_point presented = presented_.value_or(began);
    presented_.reset();
    if (tiles == 0)
        return;
    if (frames_.size() == kMaxFrames)
        frames_.pop_front();
    frames_.push_back(Frame{sequence, presented, began, ended, bytes, tiles});
}

void FrameTrace::Acked(std::uint32_t element, std::uint32_t sequence, Clock::time_point now) {
    TraceFile& trace = File();
    std::lock_guard lock(trace.mutex);
    while (!frames_.empty() && frames_.front().sequence <= sequence) {
        const Frame& f = frames_.front();
        // element sequence bytes tiles presented began ended acked, times in microseconds
        std::fprintf(trace.file, "%u %u %zu %u %lld %lld %lld %lld\n", element, f.sequence, f.bytes, f.tiles,
                     Micros(f.presented), Micros(f.began), Micros(f.ended), Micros(now));
        frames_.pop_front();
    }
}

}  // namespace zov::host
