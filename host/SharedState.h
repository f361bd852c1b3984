// The container's server: HTTP for the element script and the pages,
// WebSocket for the elements. Listens on the loopback address only.
#pragma once

#include "host/Security.h"
#include "host/ServerLoader.h"

#include <boost/asio/io_context.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zov::host {

inline constexpr std::uint16_t kDefaultPort = 8740;

struct Limits {
    std::size_t message = 1 << 20;      // bytes of one message from a page
    std::size_t elements = 16;          // elements alive on one connection
    std::size_t string = 1 << 18;       // UTF-16 units of one string argument
    int calls = 64;                     // calls waiting on one element
    std::size_t connections = 64;       // connections at once
};

struct HostConfig {
    std::uint16_t port = kDefaultPort;
    std::vector<std::string> allowOrigins;
    std::filesystem::path webRoot;
    // A folder with the demo documents in corpus/ and their previews in
    // previews/; served to the demo page as /demo/corpus.json.
    std::optional<std::filesystem::path> demoDir;
    // A flip speed for every new control (the speed menu's choice), 0 for
    // the control's own.
    int speed = 0;
    Limits limits;
};

class WebWindow;
class Listener;

// A page's connection, as the server closes it when stopping.
class Connection {
public:
    virtual ~Connection() = default;
    virtual void Shutdown() = 0;
};

class Server {
public:
    Server(boost::asio::io_context& io, HostConfig config);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds 127.0.0.1 and starts accepting; false with `error` set when the
    // port cannot be had. Port 0 takes a free one.
    bool Listen(std::string& error);
    std::uint16_t Port() const { return port_; }
    // Stops accepting and closes every connection; their controls are
    // destroyed on reaper threads, which Wait joins.
    void Stop();
    void Wait();

    const HostConfig& Config() const { return config_; }
    const OriginPolicy& Origins() const { return origins_; }
    ServerLoader& Loader() { return loader_; }
    // The speed menu command for the configured speed, 0 when none.
    std::uint32_t SpeedCommand() const;

    // Destroys `windows` one after the other on a thread of their own, then
    // runs `done` there.
    void Reap(std::vector<std::shared_ptr<WebWindow>> windows, std::function<void()> done);
    bool AdmitConnection(const std::shared_ptr<Connection>& connection);
    void ConnectionClosed();

private:
    boost::asio::io_context& io_;
    HostConfig config_;
    OriginPolicy origins_;
    ServerLoader loader_;
    std::uint16_t port_ = 0;
    std::shared_ptr<Listener> listener_;
    struct Reaper {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::mutex reapersMutex_;
    std::vector<Reaper> reapers_;
    std::vector<std::weak_ptr<Connection>> connections_;
    std::size_t connectionCount_ = 0;
};

}  // namespace zov::host
