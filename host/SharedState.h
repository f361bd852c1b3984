// What every session of the container shares: its configuration, the origins
// it admits, the control servers it loads, the open connections and the
// threads on which elements' windows end. Sessions run on the io threads;
// everything here that they change is behind one mutex.
#pragma once

#include "host/Security.h"
#include "host/ServerLoader.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
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
    // The folder with the element script (zov.js and its source map) and demo/.
    std::filesystem::path webRoot;
    // A folder with the demo documents in corpus/ and their previews in
    // previews/; served to the demo page as /demo/corpus.json.
    std::optional<std::filesystem::path> demoDir;
    // A flip speed for every new control (the speed menu's choice), 0 for
    // the control's own.
    int speed = 0;
    // The only servers the controls may send requests to ("host" or
    // "host:port"); empty: any server a page names.
    std::vector<std::string> allowServers;
    Limits limits;
};

class WebWindow;

// A page's connection, as the container closes it when stopping.
class Connection {
public:
    virtual ~Connection() = default;
    virtual void Shutdown() = 0;
};

class SharedState {
public:
    explicit SharedState(HostConfig config);
    // Joins the reapers still running.
    ~SharedState();
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    const HostConfig& Config() const { return config_; }
    // The port the listener got; the origins allowed follow it. False with
    // `error` set when a configured origin is not one.
    bool SetPort(std::uint16_t port, std::string& error);
    std::uint16_t Port() const { return port_; }
    const OriginPolicy& Origins() const { return origins_; }
    ServerLoader& Loader() { return loader_; }
    // The speed menu command for the configured speed, 0 when none.
    std::uint32_t SpeedCommand() const;

    // Counts a new connection in, or refuses it over the limit.
    bool AdmitConnection(const std::shared_ptr<Connection>& connection);
    void ConnectionClosed();
    // Closes every connection still open; their controls go to reapers.
    void ShutdownConnections();

    // Destroys `windows` one after the other on a thread of their own, then
    // runs `done` there.
    void Reap(std::vector<std::shared_ptr<WebWindow>> windows, std::function<void()> done);
    // Joins every reaper started so far.
    void WaitForReapers();

private:
    HostConfig config_;
    // Written once by SetPort before the listener accepts, read by sessions after.
    std::uint16_t port_ = 0;
    OriginPolicy origins_;
    ServerLoader loader_;
    struct Reaper {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::mutex mutex_;  // guards reapers_, connections_ and connectionCount_
    std::vector<Reaper> reapers_;
    std::vector<std::weak_ptr<Connection>> connections_;
    std::size_t connectionCount_ = 0;
};

}  // namespace zov::host
