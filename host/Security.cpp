#include "host/Security.h"

#include <algorithm>
#include <charconv>

namespace zov::host {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c); });
    return out;
}

// A port in canonical decimal: 1 to 65535, no sign, no leading zero.
bool ParsePort(std::string_view text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5 || text[0] == '0')
        return false;
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool ValidHostName(std::string_view host) {
    if (host.empty() || host.size() > 253)
        return false;
    if (host.front() == '[')
        return host.size() > 2 && host.back() == ']' &&
               std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
                   return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.';
               });
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-' || c == '.';
    });
}

}  // namespace

bool HostAllowed(std::string_view host, std::uint16_t port) {
    const std::size_t colon = host.rfind(':');
    if (colon == std::string_view::npos)
        return false;
    std::uint16_t given = 0;
    if (!ParsePort(host.substr(colon + 1), given) || given != port)
        return false;
    const std::string name = Lower(host.substr(0, colon));
    return name == "127.0.0.1" || name == "localhost" || name == "[::1]";
}

std::string NormaliseOrigin(std::string_view origin) {
    const std::size_t schemeEnd = origin.find("://");
    if (schemeEnd == std::string_view::npos)
        return {};
    const std::string scheme = Lower(origin.substr(0, schemeEnd));
    if (scheme != "http" && scheme != "https")
        return {};
    std::string_view rest = origin.substr(schemeEnd + 3);
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);  // a trailing slash given on the command line
    std::string_view hostPart = rest;
    std::uint16_t port = scheme == "http" ? 80 : 443;
    const std::size_t colon = rest.rfind(':');
    const std::size_t bracket = rest.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        if (!ParsePort(rest.substr(colon + 1), port))
            return {};
        hostPart = rest.substr(0, colon);
    }
    const std::string host = Lower(hostPart);
    if (!ValidHostName(host))
        return {};
    return scheme + "://" + host + ":" + std::to_string(port);
}

OriginPolicy::OriginPolicy(std::uint16_t port) {
    origins_.push_back("http://127.0.0.1:" + std::to_string(port));
    origins_.push_back("http://localhost:" + std::to_string(port));
}

bool OriginPolicy::Allow(std::string_view origin) {
    std::string normal = NormaliseOrigin(origin);
    if (normal.empty())
        return false;
    if (std::find(origins_.begin(), origins_.end(), normal) == origins_.end())
        origins_.push_back(std::move(normal));
    return true;
}

bool OriginPolicy::Allowed(std::string_view origin) const {
    // Browsers send the origin exactly; "null" and anything malformed fail.
    const std::string normal = NormaliseOrigin(origin);
    return !normal.empty() && std::find(origins_.begin(), origins_.end(), normal) != origins_.end();
}

}  // namespace zov::host
