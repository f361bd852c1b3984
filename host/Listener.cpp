#include "host/Listener.h"

#include "host/HttpSession.h"
#include "host/PeerUser.h"
#include "host/SharedState.h"

#include <boost/asio/strand.hpp>

#include <unistd.h>

namespace zov::host {

namespace net = boost::asio;
using tcp = net::ip::tcp;

Listener::Listener(net::io_context& io, SharedState& state) : io_(io), state_(state), acceptor_(io), backoff_(io) {}

bool Listener::Open(std::uint16_t port, std::string& error) {
    boost::system::error_code code;
    const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), port);
    acceptor_.open(endpoint.protocol(), code);
    if (!code)
        acceptor_.set_option(net::socket_base::reuse_address(true), code);
    if (!code)
        acceptor_.bind(endpoint, code);
    if (!code)
        acceptor_.listen(net::socket_base::max_listen_connections, code);
    if (code) {
        error = code.message();
        return false;
    }
    return true;
}

std::uint16_t Listener::Port() const {
    return acceptor_.local_endpoint().port();
}

void Listener::Accept() {
    acceptor_.async_accept(net::make_strand(io_),
                           [self = shared_from_this()](const boost::system::error_code& error, tcp::socket socket) {
                               self->OnAccept(error, std::move(socket));
                           });
}

void Listener::OnAccept(const boost::system::error_code& error, tcp::socket socket) {
    if (error == net::error::operation_aborted || !acceptor_.is_open())
        return;
    if (error == net::error::no_descriptors || error == net::error::no_buffer_space ||
        error == net::error::no_memory || error.value() == ENFILE) {
        // The pending connection stays in the backlog; accepting again at
        // once would fail again at once, for ever.
        backoff_.expires_after(kAcceptBackoff);
        backoff_.async_wait([self = shared_from_this()](const boost::system::error_code& error) {
            if (!error && self->acceptor_.is_open())
                self->Accept();
        });
        return;
    }
    if (!error) {
        // Another user's process could otherwise drive this user's viewer
        // with this user's rights.
        const std::optional<uid_t> peer = PeerUser(socket);
        if (peer && *peer == ::geteuid() && state_.AdmitHttp()) {
            std::make_shared<HttpSession>(state_, std::move(socket))->Read();
        } else {
            boost::system::error_code ignored;
            socket.close(ignored);
        }
    }
    Accept();
}

void Listener::Close() {
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    backoff_.cancel();
}

}  // namespace zov::host
