// HTTP for the viewer's documents: downloads into the local cache, deletes,
// uploads, WebDAV folder listings and the preview log. One libcurl easy handle
// per thread, reused so that a thread's requests share connections.
//
// Redirects are never followed, only http and https are spoken, proxies come
// from the environment (http_proxy, https_proxy, no_proxy), and every transfer
// has a connect and a stall time-out, so that a server that accepts and never
// answers cannot hold a caller (or the download lock) for ever. Certificates
// are verified; trusting more is an explicit setting.
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

struct HttpSettings {
    std::chrono::milliseconds connectTimeout{10000};
    // A transfer during which no byte moves for this long is abandoned.
    std::chrono::milliseconds stallTimeout{30000};
    // A PEM bundle of further certificate authorities to trust, besides the
    // system's.
    std::string caFile;
    // Accept certificates no trusted authority signed. Off unless asked for:
    // it lets anyone on the path read and change what is fetched.
    bool acceptUnknownAuthority = false;
};

// Process-wide. Initially the defaults above, overridden by the environment:
// ZOV_HTTP_CA_FILE, ZOV_HTTP_ACCEPT_UNKNOWN_CA=1, ZOV_HTTP_CONNECT_TIMEOUT_MS,
// ZOV_HTTP_STALL_TIMEOUT_MS.
HttpSettings GetHttpSettings();
void SetHttpSettings(const HttpSettings& settings);

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

}  // namespace zov
