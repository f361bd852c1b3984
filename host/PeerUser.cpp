#include "host/PeerUser.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace zov::host {

namespace {

// The kernel prints each 32-bit word of an address as the number its bytes
// make in this machine's order, then the port as a number.
std::string AddressKey(const boost::asio::ip::tcp::endpoint& endpoint, bool ipv6) {
    std::array<unsigned char, 16> bytes{};
    std::size_t size = 4;
    const boost::asio::ip::address address = endpoint.address();
    if (ipv6) {
        const boost::asio::ip::address_v6 v6 =
            address.is_v4() ? boost::asio::ip::make_address_v6(boost::asio::ip::v4_mapped, address.to_v4())
                            : address.to_v6();
        const auto raw = v6.to_bytes();
        std::memcpy(bytes.data(), raw.data(), 16);
        size = 16;
    } else {
        if (!address.is_v4())
            return {};
        const auto raw = address.to_v4().to_bytes();
        std::memcpy(bytes.data(), raw.data(), 4);
    }
    std::string key;
    char word[16];
    for (std::size_t at = 0; at < size; at += 4) {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data() + at, 4);
        std::snprintf(word, sizeof word, "%08X", static_cast<unsigned>(value));
        key += word;
    }
    std::snprintf(word, sizeof word, ":%04X", static_cast<unsigned>(endpoint.port()));
    return key + word;
}

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'f' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        if (x != b[i])
            return false;
    }
    return true;
}

std::string ReadTable(const char* path) {
    std::string text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0 || text.size() + static_cast<std::size_t>(n) > kConnectionTableLimit)
            break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

}  // namespace

std::optional<uid_t> FindSocketOwner(std::string_view table, const boost::asio::ip::tcp::endpoint& local,
                                     const boost::asio::ip::tcp::endpoint& remote, bool ipv6Table) {
    const std::string localKey = AddressKey(local, ipv6Table);
    const std::string remoteKey = AddressKey(remote, ipv6Table);
    if (localKey.empty() || remoteKey.empty())
        return std::nullopt;
    // Rows: "sl local_address rem_address st tx:rx tr:when retrnsmt uid ..."
    std::size_t start = table.find('\n');  // past the heading
    while (start != std::string_view::npos && start < table.size()) {
        const std::size_t end = std::min(table.find('\n', start + 1), table.size());
        const std::string_view line = table.substr(start + 1, end - start - 1);
        start = end;
        std::array<std::string_view, 8> fields{};
        std::size_t count = 0;
        for (std::size_t at = 0; at < line.size() && count < fields.size();) {
            while (at < line.size() && line[at] == ' ')
                ++at;
            std::size_t stop = line.find(' ', at);
            if (stop == std::string_view::npos)
                stop = line.size();
            if (stop > at)
                fields[count++] = line.substr(at, stop - at);
            at = stop;
        }
        if (count < fields.size() || !SameKey(fields[1], localKey) || !SameKey(fields[2], remoteKey))
            continue;
        uid_t uid = 0;
        const std::string_view text = fields[7];
        auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), uid);
        if (error != std::errc() || stop != text.data() + text.size())
            return std::nullopt;
        return uid;
    }
    return std::nullopt;
}

std::optional<uid_t> PeerUser(const boost::asio::ip::tcp::socket& socket) {
    boost::system::error_code error;
    const auto ours = socket.local_endpoint(error);
    if (error)
        return std::nullopt;
    const auto theirs = socket.remote_endpoint(error);
    if (error)
        return std::nullopt;
    // The peer's socket is the row whose own address is our remote one.
    if (auto owner = FindSocketOwner(ReadTable("/proc/net/tcp"), theirs, ours, false))
        return owner;
    return FindSocketOwner(ReadTable("/proc/net/tcp6"), theirs, ours, true);
}

}  // namespace zov::host
