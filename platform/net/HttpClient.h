// HTTP for the viewer's documents: downloads into the local cache, deletes,
// uploads, WebDAV folder listings and the preview log. One libcurl easy handle
// per thread, reused so that a thread's requests share connections.
//
// Redirects are never followed, only http and https are spoken, proxies come
// from the environment (http_proxy, https_proxy, no_proxy), and every transfer
// has a connect and a stall time-out, a minimum speed and an overall deadline,
// so that a server that accepts and never answers, or answers a byte at a
// time, cannot hold a caller (or the download lock) for ever. Answers are
// bounded in size. Certificates are verified; trusting more is an explicit
// setting. Whoever runs the process may name the only servers it talks to.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zov {

// The parts of a URL as the system's URL cracker gives them.
struct UrlParts {
    std::string scheme;  // lower case: "http", "https", "ftp", ...
    std::string host;
    int port = 0;        // the scheme's default when the URL names none
    std::string object;  // path and query; "/" when the URL has none
};

// scheme "://" [user [":" password] "@"] host [":" port] [object]. Nothing
// when there is no "://", no host, or the port is not a number from 1 to 65535.
std::optional<UrlParts> SplitUrl(std::string_view url);

// Every transfer ends this long after it started, however it goes.
inline constexpr std::chrono::milliseconds kTransferDeadline{10 * 60 * 1000};
// A transfer that moves fewer than kMinimumSpeed bytes a second over a whole
// kSpeedWindow, counted from the moment the request went out, is abandoned.
inline constexpr std::int64_t kMinimumSpeed = 1024;
inline constexpr std::chrono::milliseconds kSpeedWindow{30000};
// An answer's body beyond this many bytes ends the transfer as failed, unless
// the request allows more (HttpRequest::maxBodyBytes).
inline constexpr std::size_t kMaxAnswerBytes = std::size_t{8} << 20;
// So do response headers of more bytes than this in all.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{256} << 10;

// One entry of the allowed servers: a host name or address (an IPv6 address
// in brackets), with a port or for every port. Host names are compared as
// libcurl reads them from a URL: lower case, numeric IPv4 forms normalised.
struct ServerPattern {
    std::string host;
    std::optional<int> port;

    bool operator==(const ServerPattern&) const = default;
};

// "host" or "host:port"; nothing when the text is no such thing.
std::optional<ServerPattern> ParseServerPattern(std::string_view text);

struct HttpSettings {
    std::chrono::milliseconds connectTimeout{10000};
    // A transfer during which no byte moves for this long is abandoned.
    std::chrono::milliseconds stallTimeout{30000};
    std::chrono::milliseconds deadline = kTransferDeadline;
    std::int64_t minimumSpeed = kMinimumSpeed;  // bytes a second; 0 for none
    std::chrono::milliseconds speedWindow = kSpeedWindow;
    // When given, requests go only to these servers (none when empty); any
    // other address is refused before a connection is made. Checked on the
    // URL as libcurl parses it, which is the URL it then uses.
    std::optional<std::vector<ServerPattern>> allowedServers;
    // A PEM bundle of further certificate authorities to trust, besides the
    // system's.
    std::string caFile;
    // Accept certificates no trusted authority signed. Off unless asked for:
    // it lets anyone on the path read and change what is fetched.
    bool acceptUnknownAuthority = false;
};

// Process-wide. Initially the defaults above, overridden by the environment:
// ZOV_HTTP_CA_FILE, ZOV_HTTP_ACCEPT_UNKNOWN_CA=1, ZOV_HTTP_CONNECT_TIMEOUT_MS,
// ZOV_HTTP_STALL_TIMEOUT_MS, and ZOV_HTTP_ALLOW_SERVERS, server patterns
// separated by commas (the container sets it from --allow-server before it
// loads any control). A variable holding an entry that is no pattern allows
// no server at all rather than every one.
HttpSettings GetHttpSettings();
void SetHttpSettings(const HttpSettings& settings);
// The settings the environment gives, as the first request reads them.
HttpSettings HttpSettingsFromEnvironment();
inline constexpr const char* kAllowServersVariable = "ZOV_HTTP_ALLOW_SERVERS";

struct HttpRequest {
    std::string method = "GET";
    std::string url;  // sent as given: callers encode it
    // Header lines "Name: value", sent exactly as given. "Name:" with nothing
    // after the colon removes a header the client would add on its own.
    std::vector<std::string> headers;
    std::string userAgent;  // empty: no User-Agent header at all
    // User name and password for the server's authentication (basic or
    // digest, whichever it asks for); not sent when absent.
    std::optional<std::pair<std::string, std::string>> credentials;
    // The request body, sent as it is (PROPFIND, POST).
    std::string body;
    // Or the body streamed: asked for up to `bodyChunk` bytes at a time;
    // returns how many it put into `buffer`, 0 at the end, -1 when reading
    // failed (the transfer is then abandoned). `bodySize` is announced as the
    // Content-Length and must be what the source delivers in all.
    std::function<std::int64_t(char* buffer, std::size_t capacity)> bodySource;
    std::int64_t bodySize = 0;
    std::size_t bodyChunk = 1024;
    // Receives the response body as it arrives; returning false ends the
    // transfer there (not an error). Without it the body is collected into
    // HttpResponse::body.
    std::function<bool(const char* data, std::size_t size)> onBody;
    // A body longer than this fails the transfer, collected or received.
    std::size_t maxBodyBytes = kMaxAnswerBytes;
    // Asked now and then while the transfer runs; true abandons it.
    std::function<bool()> cancelled;
};

struct HttpResponse {
    // A response arrived (whatever its status) and was read to its end or
    // until onBody stopped it.
    bool completed = false;
    long status = 0;
    bool stoppedByReceiver = false;
    bool cancelled = false;
    std::string error;  // why the transfer failed; empty when completed
    std::string body;   // only when the request had no onBody
};

HttpResponse PerformHttp(const HttpRequest& request);

// The standard reason phrase of a status ("Method Not Allowed" for 405);
// empty for a status without one. Servers' own phrases are not kept: they are
// the server's text, and a status says the same.
std::string_view StatusPhrase(long status);
// A 2xx status: the server did what was asked.
constexpr bool IsSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}
// The status with its phrase when it has one: "404 Not Found", "599".
std::string StatusText(long status);

}  // namespace zov
