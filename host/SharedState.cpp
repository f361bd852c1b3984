#include "host/SharedState.h"

#include "host/WebWindow.h"

#include <algorithm>
#include <iterator>

namespace zov::host {

SharedState::SharedState(HostConfig config) : config_(std::move(config)), origins_(config_.port) {}

SharedState::~SharedState() {
    encoders_.join();
    WaitForReapers();
}

bool SharedState::SetPort(std::uint16_t port, std::string& error) {
    port_ = port;
    origins_ = OriginPolicy(port_);
    for (const std::string& origin : config_.allowOrigins)
        if (!origins_.Allow(origin)) {
            error = "not an origin: " + origin;
            return false;
        }
    return true;
}

std::uint32_t SharedState::SpeedCommand() const {
    // The speed menu's items, fastest first.
    constexpr int kSpeeds[] = {50, 20, 10, 5, 2};
    for (std::uint32_t i = 0; i < std::size(kSpeeds); ++i)
        if (kSpeeds[i] == config_.speed)
            return 32787 + i;
    return 0;
}

bool SharedState::AdmitConnection(const std::shared_ptr<Connection>& connection, const std::string& origin) {
    std::lock_guard lock(mutex_);
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                      [](const std::weak_ptr<Connection>& weak) { return weak.expired(); }),
                       connections_.end());
    std::size_t& ofOrigin = originCounts_[origin];
    if (connectionCount_ >= config_.limits.connections || ofOrigin >= config_.limits.connectionsPerOrigin) {
        if (ofOrigin == 0)
            originCounts_.erase(origin);
        return false;
    }
    ++connectionCount_;
    ++ofOrigin;
    connections_.push_back(connection);
    return true;
}

void SharedState::ConnectionClosed(const std::string& origin) {
    std::lock_guard lock(mutex_);
    if (connectionCount_ > 0)
        --connectionCount_;
    if (auto found = originCounts_.find(origin); found != originCounts_.end() && --found->second == 0)
        originCounts_.erase(found);
}

bool SharedState::AdmitHttp() {
    std::lock_guard lock(mutex_);
    if (httpCount_ >= config_.limits.httpConnections)
        return false;
    ++httpCount_;
    return true;
}

void SharedState::HttpClosed() {
    std::lock_guard lock(mutex_);
    if (httpCount_ > 0)
        --httpCount_;
}

void SharedState::ShutdownConnections() {
    std::vector<std::shared_ptr<Connection>> open;
    {
        std::lock_guard lock(mutex_);
        for (const std::weak_ptr<Connection>& weak : connections_)
            if (auto connection = weak.lock())
                open.push_back(std::move(connection));
    }
    for (const std::shared_ptr<Connection>& connection : open)
        connection->Shutdown();
}

void SharedState::Reap(std::vector<std::shared_ptr<WebWindow>> windows, std::function<void()> done) {
    std::lock_guard lock(mutex_);
    // Reapers that have finished are joined as new ones come.
    for (auto it = reapers_.begin(); it != reapers_.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = reapers_.erase(it);
        } else {
            ++it;
        }
    }
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([windows = std::move(windows), done = std::move(done), finished]() mutable {
        for (std::shared_ptr<WebWindow>& window : windows) {
            window->Destroy();
            window->Join();
            window.reset();
        }
        if (done)
            done();
        *finished = true;
    });
    reapers_.push_back(Reaper{std::move(thread), std::move(finished)});
}

void SharedState::WaitForReapers() {
    std::vector<Reaper> reapers;
    {
        std::lock_guard lock(mutex_);
        reapers.swap(reapers_);
    }
    for (Reaper& reaper : reapers)
        if (reaper.thread.joinable())
            reaper.thread.join();
}

}  // namespace zov::host
