// The checks that keep other web sites out of the container: a local web
// server that any page could drive is a known class of hole (DNS rebinding,
// cross-site WebSocket connections).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zov::host {

// True only for exactly "127.0.0.1:PORT", "localhost:PORT" or "[::1]:PORT"
// with the port written as the server's own decimal number: no other names
// (a rebound DNS name reaches us with its own name), no look-up, no leading
// zeros, no case games beyond the host name's ASCII case.
bool HostAllowed(std::string_view host, std::uint16_t port);

class OriginPolicy {
public:
    // The container's own origins are always allowed.
    explicit OriginPolicy(std::uint16_t port);
    // Adds an origin given on the command line; false (and nothing added)
    // when it is no origin: scheme "http" or "https", a host, an optional
    // port, nothing else.
    bool Allow(std::string_view origin);
    // Exact comparison of scheme, host and port (the default port of the
    // scheme written or not).
    bool Allowed(std::string_view origin) const;
    const std::vector<std::string>& Origins() const { return origins_; }

private:
    std::vector<std::string> origins_;  // normalised "scheme://host:port"
};

// "scheme://host:port" with scheme and host in lower case and the port
// always written; empty when `origin` is not of that form.
std::string NormaliseOrigin(std::string_view origin);

}  // namespace zov::host
