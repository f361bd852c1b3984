// Pages a control asked to open in a new browser window: the container keeps
// each under a random address until the new page's control exists or the
// launch grows stale.
#pragma once

#include "platform/HostWindow.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace zov::host {

// Launches waiting at once; one more is refused.
inline constexpr std::size_t kLaunchLimit = 16;
// How long a launch page stays; the new window must have made its control by then.
inline constexpr std::chrono::seconds kLaunchLifetime{60};
// The largest launch page kept.
inline constexpr std::size_t kLaunchPageBytes = 1 << 20;
// "/launch/" and 32 lower-case hexadecimal digits.
inline constexpr std::string_view kLaunchPrefix = "/launch/";

class Launches {
public:
    // The launch's token; nothing when too many wait or the page is too large.
    std::optional<std::string> Add(LaunchPage page);
    // The page of a launch still waiting.
    std::optional<std::string> Page(std::string_view token);
    // What is to run once the new page's control exists: given out once.
    std::function<void()> Take(std::string_view token);

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        LaunchPage page;
        Clock::time_point expires;
    };
    void Expire(Clock::time_point now);

    std::mutex mutex_;
    std::map<std::string, Entry, std::less<>> entries_;
};

}  // namespace zov::host
