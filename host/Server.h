// The container's server: HTTP for the element script and the pages,
// WebSocket for the elements. Listens on the loopback address only.
//
// Listener → HttpSession (Host check, static files) → WebSocketSession (one
// page's elements), all sharing one SharedState.
#pragma once

#include "host/SharedState.h"

#include <boost/asio/io_context.hpp>

#include <cstdint>
#include <memory>
#include <string>

namespace zov::host {

class Listener;

class Server {
public:
    Server(boost::asio::io_context& io, HostConfig config);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds 127.0.0.1 and starts accepting; false with `error` set when the
    // port cannot be had. Port 0 takes a free one.
    bool Listen(std::string& error);
    std::uint16_t Port() const { return state_.Port(); }
    // Stops accepting and closes every connection; their controls are
    // destroyed on reaper threads, which Wait joins.
    void Stop();
    void Wait();

private:
    boost::asio::io_context& io_;
    SharedState state_;
    std::shared_ptr<Listener> listener_;
};

}  // namespace zov::host
