// Who is at the other end of a loopback connection. Any process of the
// machine can connect to the container and write any Origin it likes; only
// the kernel knows which user owns the socket, and it says so in its
// connection tables.
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <cstddef>
#include <optional>
#include <string_view>

#include <sys/types.h>

namespace zov::host {

// The most of a connection table read; a machine with more connections than
// this fits refuses the ones it cannot find.
inline constexpr std::size_t kConnectionTableLimit = 64u << 20;

// The owner of the socket that has address `local` and is connected to
// `remote`, from the text of /proc/net/tcp or /proc/net/tcp6.
std::optional<uid_t> FindSocketOwner(std::string_view table, const boost::asio::ip::tcp::endpoint& local,
                                     const boost::asio::ip::tcp::endpoint& remote, bool ipv6Table);

// The owner of the peer socket of `socket`, an accepted loopback connection.
std::optional<uid_t> PeerUser(const boost::asio::ip::tcp::socket& socket);

}  // namespace zov::host
