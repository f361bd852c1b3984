// A record of where each frame's time went, for finding what holds the frame
// rate back: when the window first presented what the frame carries, when
// its encoding began and ended, and when the page acknowledged it. Written
// only when ZOV_FRAME_TRACE names a file; web/bench/flip.bench.mjs reads it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace zov::host {

class FrameTrace {
public:
    using Clock = std::chrono::steady_clock;

    // Whether this process writes a trace (ZOV_FRAME_TRACE, read once).
    static bool Enabled();

    // All under the caller's frame lock.
    void Presented(Clock::time_point now);
    void Encoded(std::uint32_t sequence, Clock::time_point began, Clock::time_point ended, std::size_t bytes,
                 std::uint32_t tiles);
    // Writes the lines of the frames up to `sequence`.
    void Acked(std::uint32_t element, std::uint32_t sequence, Clock::time_point now);

private:
    struct Frame {
        std::uint32_t sequence = 0;
        Clock::time_point presented, began, ended;
        std::size_t bytes = 0;
        std::uint32_t tiles = 0;
    };
    // Frames in flight are few; a page that never answers must not grow this.
    static constexpr std::size_t kMaxFrames = 64;
    std::deque<Frame> frames_;
    std::optional<Clock::time_point> presented_;  // the oldest picture not yet taken
};

}  // namespace zov::host
