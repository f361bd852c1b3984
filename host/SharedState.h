// What every session of the container shares: its configuration, the origins
// it admits, the control servers it loads, the open connections and the
// threads on which elements' windows end. Sessions run on the io threads;
// everything here that they change is behind one mutex.
#pragma once

#include "host/DropStaging.h"
#include "host/Launches.h"
#include "host/Security.h"
#include "host/ServerLoader.h"

#include <boost/asio/thread_pool.hpp>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zov::host {

inline constexpr std::uint16_t kDefaultPort = 8740;
// Threads that encode frames for every page.
inline constexpr std::size_t kEncoderThreads = 2;

struct Limits {
    std::size_t message = 1 << 20;      // bytes of one message from a page
    std::size_t elements = 16;          // elements alive on one connection
    std::size_t string = 1 << 18;       // UTF-16 units of one string argument
    int calls = 64;                     // calls waiting on one element
    std::size_t connections = 64;       // WebSocket connections at once
    // One origin's share of them, so that one site cannot lock the others out.
    std::size_t connectionsPerOrigin = 48;
    std::size_t httpConnections = 64;   // plain HTTP connections at once
    // An element's window: each side and the whole in device pixels; the
    // window keeps a few pictures of that size.
    std::int64_t side = 8192;
    std::int64_t area = std::int64_t{1} << 24;
    // Bytes of text messages waiting to be written to one page; a page that
    // stops reading while it goes on sending is closed past this.
    std::size_t sendQueue = 16u << 20;
    // Input messages (mouse, wheel, scroll) one element takes in a burst,
    // and per second after it; more are dropped.
    int inputBurst = 400;
    int inputPerSecond = 1000;
    // Files dropped on one element: the hello's dropFiles, dropFileBytes,
    // dropBytes and dropIdleMs.
    DropLimits drop;
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
    Launches& LaunchPages() { return launches_; }
    // The speed menu command for the configured speed, 0 when none.
    std::uint32_t SpeedCommand() const;

    // Counts a new WebSocket connection of `origin` in, or refuses it over
    // the limit or the origin's share.
    bool AdmitConnection(const std::shared_ptr<Connection>& connection, const std::string& origin);
    void ConnectionClosed(const std::string& origin);
    // The same for plain HTTP connections, before their first request.
    bool AdmitHttp();
    void HttpClosed();
    // Where frames are compared and encoded: never the io threads, which
    // every page shares.
    boost::asio::thread_pool& Encoders() { return encoders_; }
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
    Launches launches_;
    struct Reaper {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::mutex mutex_;  // guards reapers_, connections_ and the counts
    std::vector<Reaper> reapers_;
    std::vector<std::weak_ptr<Connection>> connections_;
    std::size_t connectionCount_ = 0;
    std::map<std::string, std::size_t> originCounts_;
    std::size_t httpCount_ = 0;
    boost::asio::thread_pool encoders_{kEncoderThreads};
};

}  // namespace zov::host
