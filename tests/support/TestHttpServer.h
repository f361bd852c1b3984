// A small HTTP/1.1 server on a free loopback port that answers with whatever
// a test tells it: fixed bodies, error pages, long bodies, a server that
// accepts and never answers, one that sends a byte at a time. It records
// every request it gets.
//
// A request with "Expect: 100-continue" goes to its handler first without its
// body; an answer of 400 or more is then sent at once and the connection
// closed, as servers refuse (say for credentials) before the body comes. Else
// the handler is asked again with the whole request.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zov::test {

struct TestRequest {
    std::string method;
    std::string target;  // as on the request line: path and query
    std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
    std::string body;    // read by Content-Length (or chunked encoding)

    // The value of the first header of that name (case-insensitive), or
    // nothing.
    std::optional<std::string> Header(const std::string& name) const;
};

struct TestResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added
    std::string body;
    // Accept the request, then send nothing until the server stops.
    bool stall = false;
    // Send the headers and this many body bytes, then stall.
    std::optional<std::size_t> stallAfterBytes;
    // Send the body one byte at a time with this pause after each byte, until
    // it ends or the server stops.
    std::optional<std::chrono::milliseconds> trickle;
    // When not 0: the body is `body` repeated up to this many bytes, sent
    // without ever being held whole (answers of hundreds of megabytes).
    std::uint64_t repeatedLength = 0;
    // No Content-Length: the body ends where the connection is closed.
    bool untilClose = false;
};

// An answer of `status` with `body` and `headers`, nothing else special.
TestResponse Reply(int status, std::string body = {}, std::vector<std::pair<std::string, std::string>> headers = {});

class TestHttpServer {
public:
    using Handler = std::function<TestResponse(const TestRequest&)>;

    TestHttpServer();
    ~TestHttpServer();  // closes connections, unblocks stalled answers, joins
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Requests whose path (target without the query) equals `path` are
    // answered by `handler`; a `path` ending in '*' matches every path with
    // that prefix. Later routes win over earlier ones. Unrouted: 404, empty.
    void Route(const std::string& path, Handler handler);
    // A fixed answer.
    void Answer(const std::string& path, int status, std::string body,
                std::vector<std::pair<std::string, std::string>> headers = {});

    int Port() const;
    std::string Url(const std::string& target) const;  // "http://127.0.0.1:PORT" + target
    std::vector<TestRequest> Requests() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zov::test
