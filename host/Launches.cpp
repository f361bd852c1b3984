#include "host/Launches.h"

#include <random>
#include <utility>

namespace zov::host {

namespace {

std::string NewToken() {
    static std::random_device device;
    static std::mutex mutex;
    std::lock_guard<std::mutex> guard(mutex);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t word = device();
        for (int shift = 0; shift < 32; shift += 4)
            token.push_back(kDigits[(word >> shift) & 0xF]);
    }
    return token;
}

}  // namespace

void Launches::Expire(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->second.expires <= now ? entries_.erase(it) : std::next(it);
}

std::optional<std::string> Launches::Add(LaunchPage page) {
    if (page.html.size() > kLaunchPageBytes)
        return std::nullopt;
    std::lock_guard<std::mutex> guard(mutex_);
    const Clock::time_point now = Clock::now();
    Expire(now);
    if (entries_.size() >= kLaunchLimit)
        return std::nullopt;
    std::string token = NewToken();
    entries_.emplace(token, Entry{std::move(page), now + kLaunchLifetime});
    return token;
}

std::optional<std::string> Launches::Page(std::string_view token) {
    std::lock_guard<std::mutex> guard(mutex_);
    Expire(Clock::now());
    auto found = entries_.find(token);
    if (found == entries_.end())
        return std::nullopt;
    return found->second.page.html;
}

std::function<void()> Launches::Take(std::string_view token) {
    std::lock_guard<std::mutex> guard(mutex_);
    Expire(Clock::now());
    auto found = entries_.find(token);
    if (found == entries_.end())
        return {};
    return std::exchange(found->second.page.onControlCreated, {});
}

}  // namespace zov::host
