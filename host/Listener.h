// Accepts connections on the loopback address and hands each to an HTTP
// session of its own strand: only connections of this user's processes,
// and no more at once than the limit.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>

#include <cstdint>
#include <memory>
#include <string>

namespace zov::host {

class SharedState;

// How long accepting pauses when the process is out of descriptors, so that
// the connections that hold them get the time to finish.
inline constexpr std::chrono::milliseconds kAcceptBackoff{100};

class Listener final : public std::enable_shared_from_this<Listener> {
public:
    Listener(boost::asio::io_context& io, SharedState& state);

    // Binds 127.0.0.1:port (0 for a free one); false with `error` set when
    // the port cannot be had.
    bool Open(std::uint16_t port, std::string& error);
    std::uint16_t Port() const;
    // Accepts until Close.
    void Accept();
    void Close();

private:
    void OnAccept(const boost::system::error_code& error, boost::asio::ip::tcp::socket socket);

    boost::asio::io_context& io_;
    SharedState& state_;  // not owned; outlives the listener
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer backoff_;
};

}  // namespace zov::host
