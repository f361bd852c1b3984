#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace zov::test {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

const char* Reason(int status) {
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 207: return "Multi-Status";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// Buffered reading of one connection; every call fails once the peer or the
// server's shutdown closes it.
class Reader {
public:
    explicit Reader(int fd) : fd_(fd) {}

    bool Line(std::string& line) {
        for (;;) {
            size_t end = buffer_.find("\r\n", pos_);
            if (end != std::string::npos) {
                line = buffer_.substr(pos_, end - pos_);
                pos_ = end + 2;
                return true;
            }
            if (!Fill())
                return false;
        }
    }

    bool Bytes(size_t count, std::string& out) {
        while (buffer_.size() - pos_ < count) {
            if (!Fill())
                return false;
        }
        out.append(buffer_, pos_, count);
        pos_ += count;
        return true;
    }

private:
    bool Fill() {
        buffer_.erase(0, pos_);
        pos_ = 0;
        char chunk[16384];
        ssize_t got;
        do {
            got = recv(fd_, chunk, sizeof chunk, 0);
        } while (got < 0 && errno == EINTR);
        if (got <= 0)
            return false;
        buffer_.append(chunk, static_cast<size_t>(got));
        return true;
    }

    int fd_;
    std::string buffer_;
    size_t pos_ = 0;
};

bool ReadChunkedBody(Reader& reader, std::string& body) {
    for (;;) {
        std::string sizeLine;
        if (!reader.Line(sizeLine))
            return false;
        size_t size = std::strtoul(sizeLine.c_str(), nullptr, 16);  // stops at ';' extensions
        if (size == 0)
            break;
        std::string crlf;
        if (!reader.Bytes(size, body) || !reader.Bytes(2, crlf))
            return false;
    }
    std::string trailer;
    do {
        if (!reader.Line(trailer))
            return false;
    } while (!trailer.empty());
    return true;
}

}  // namespace

TestResponse Reply(int status, std::string body, std::vector<std::pair<std::string, std::string>> headers) {
    TestResponse response;
    response.status = status;
    response.body = std::move(body);
    response.headers = std::move(headers);
    return response;
}

std::optional<std::string> TestRequest::Header(const std::string& name) const {
    std::string wanted = Lower(name);
    for (const auto& [key, value] : headers) {
        if (Lower(key) == wanted)
            return value;
    }
    return std::nullopt;
}

struct TestHttpServer::State {
    int listenFd = -1;
    int port = 0;
    std::thread acceptThread;

    mutable std::mutex mutex;
    std::condition_variable stopping;  // wakes stalled answers
    bool stop = false;
    std::vector<std::pair<std::string, Handler>> routes;
    std::vector<TestRequest> requests;
    std::vector<int> openConnections;
    std::vector<std::thread> connectionThreads;

    void AcceptLoop();
    void Serve(int fd);
    bool ReadHead(Reader& reader, TestRequest& request, bool& keepAlive);
    bool ReadBody(Reader& reader, TestRequest& request);
    TestResponse Answer(const TestRequest& request);
    void Record(const TestRequest& request);
    // False when the connection is to end.
    bool Respond(int fd, const TestRequest& request, TestResponse response, bool keepAlive);
    void StallUntilStopped();
    // False when the server stopped during the pause.
    bool PauseUnlessStopped(std::chrono::milliseconds pause);
};

void TestHttpServer::State::AcceptLoop() {
    for (;;) {
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        std::lock_guard<std::mutex> guard(mutex);
        if (stop) {
            if (fd >= 0)
                close(fd);
            return;
        }
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE)
                continue;
            return;
        }
        openConnections.push_back(fd);
        connectionThreads.emplace_back([this, fd] { Serve(fd); });
    }
}

bool TestHttpServer::State::ReadHead(Reader& reader, TestRequest& request, bool& keepAlive) {
    std::string line;
    do {  // tolerate stray empty lines between requests
        if (!reader.Line(line))
            return false;
    } while (line.empty());
    size_t firstSpace = line.find(' ');
    size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string::npos || lastSpace == firstSpace)
        return false;
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    std::string version = line.substr(lastSpace + 1);

    for (;;) {
        if (!reader.Line(line))
            return false;
        if (line.empty())
            break;
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            return false;
        request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    }
    std::string connection = Lower(request.Header("Connection").value_or(""));
    keepAlive = version == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
    return true;
}

bool TestHttpServer::State::ReadBody(Reader& reader, TestRequest& request) {
    if (Lower(request.Header("Transfer-Encoding").value_or("")) == "chunked")
        return ReadChunkedBody(reader, request.body);
    if (auto length = request.Header("Content-Length"))
        return reader.Bytes(std::strtoull(length->c_str(), nullptr, 10), request.body);
    return true;
}

TestResponse TestHttpServer::State::Answer(const TestRequest& request) {
    std::string path = request.target.substr(0, request.target.find('?'));
    Handler handler;
    {
        std::lock_guard<std::mutex> guard(mutex);
        for (auto route = routes.rbegin(); route != routes.rend(); ++route) {
            const std::string& pattern = route->first;
            bool matches = !pattern.empty() && pattern.back() == '*'
                               ? path.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0
                               : path == pattern;
            if (matches) {
                handler = route->second;
                break;
            }
        }
    }
    if (!handler)
        return Reply(404);
    return handler(request);
}

void TestHttpServer::State::StallUntilStopped() {
    std::unique_lock<std::mutex> lock(mutex);
    stopping.wait(lock, [this] { return stop; });
}

bool TestHttpServer::State::PauseUnlessStopped(std::chrono::milliseconds pause) {
    std::unique_lock<std::mutex> lock(mutex);
    return !stopping.wait_for(lock, pause, [this] { return stop; });
}

void TestHttpServer::State::Record(const TestRequest& request) {
    std::lock_guard<std::mutex> guard(mutex);
    requests.push_back(request);
}

bool TestHttpServer::State::Respond(int fd, const TestRequest& request, TestResponse response, bool keepAlive) {
    if (response.stall) {
        StallUntilStopped();
        return false;
    }
    bool noBody = response.status < 200 || response.status == 204 || response.status == 304;
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    const std::uint64_t length = response.repeatedLength > 0 ? response.repeatedLength : response.body.size();
    if (response.untilClose)
        keepAlive = false;
    else if (!noBody)
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    if (!keepAlive)
        head += "Connection: close\r\n";
    head += "\r\n";
    if (!SendAll(fd, head.data(), head.size()))
        return false;
    if (noBody || request.method == "HEAD") {
        response.body.clear();
        response.repeatedLength = 0;
        response.trickle.reset();
    }
    if (response.repeatedLength > 0 && !response.body.empty()) {
        // Whole repetitions per block, so that every block starts where the
        // pattern starts.
        std::string block;
        while (block.size() < 65536)
            block += response.body;
        for (std::uint64_t left = length; left > 0;) {
            size_t part = static_cast<size_t>(std::min<std::uint64_t>(block.size(), left));
            if (!SendAll(fd, block.data(), part))
                return false;
            left -= part;
        }
        return keepAlive;
    }
    if (response.trickle) {
        for (char byte : response.body) {
            if (!SendAll(fd, &byte, 1) || !PauseUnlessStopped(*response.trickle))
                return false;
        }
        return keepAlive;
    }
    size_t bodyBytes = std::min(response.body.size(), response.stallAfterBytes.value_or(response.body.size()));
    if (!SendAll(fd, response.body.data(), bodyBytes))
        return false;
    if (response.stallAfterBytes) {
        StallUntilStopped();
        return false;
    }
    return keepAlive;
}

void TestHttpServer::State::Serve(int fd) {
    Reader reader(fd);
    for (;;) {
        TestRequest request;
        bool keepAlive = false;
        if (!ReadHead(reader, request, keepAlive))
            break;
        if (Lower(request.Header("Expect").value_or("")) == "100-continue") {
            // Like a real server, refuse from the headers alone (wrong or
            // missing credentials, say) before the client sends the body.
            TestResponse early = Answer(request);
            if (early.status >= 400 && !early.stall && !early.stallAfterBytes) {
                Record(request);
                Respond(fd, request, std::move(early), false);
                break;
            }
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            if (!SendAll(fd, kContinue, sizeof kContinue - 1))
                break;
        }
        if (!ReadBody(reader, request))
            break;
        Record(request);
        if (!Respond(fd, request, Answer(request), keepAlive))
            break;
    }
    std::lock_guard<std::mutex> guard(mutex);
    close(fd);
    std::erase(openConnections, fd);
}

TestHttpServer::TestHttpServer() : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (state.listenFd < 0 || bind(state.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(state.listenFd, 64) != 0 ||
        getsockname(state.listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "TestHttpServer cannot listen on loopback: " << std::strerror(errno);
        return;
    }
    state.port = ntohs(address.sin_port);
    state.acceptThread = std::thread([&state] { state.AcceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    State& state = *state_;
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        state.stop = true;
        // Wakes the blocked accept, reads and writes; the threads close their
        // own sockets, so none of these numbers can have been reused yet.
        if (state.listenFd >= 0)
            shutdown(state.listenFd, SHUT_RDWR);
        for (int fd : state.openConnections)
            shutdown(fd, SHUT_RDWR);
    }
    state.stopping.notify_all();
    if (state.acceptThread.joinable())
        state.acceptThread.join();
    // No new connection threads after the accept thread has ended.
    for (std::thread& thread : state.connectionThreads)
        thread.join();
    if (state.listenFd >= 0)
        close(state.listenFd);
}

void TestHttpServer::Route(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->routes.emplace_back(path, std::move(handler));
}

void TestHttpServer::Answer(const std::string& path, int status, std::string body,
                            std::vector<std::pair<std::string, std::string>> headers) {
    TestResponse response = Reply(status, std::move(body), std::move(headers));
    Route(path, [response](const TestRequest&) { return response; });
}

int TestHttpServer::Port() const {
    return state_->port;
}

std::string TestHttpServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(state_->port) + target;
}

std::vector<TestRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return state_->requests;
}

}  // namespace zov::test
