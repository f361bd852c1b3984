#include "tests/fuzz/FuzzSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace zov::fuzz {

namespace {

// Our own client's requests are small; anything longer is not one of them.
constexpr std::size_t kMaxRequestHead = 64 * 1024;
constexpr std::size_t kMaxRequestBody = 1 << 20;

struct TempFolder {
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zov-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        path = pattern;
        setenv("ZOV_DATA_HOME", path.c_str(), 1);
        // The servers are on loopback; a proxy of the machine must not stand
        // in between.
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The value of header `name` (lower case) in a request head, or empty.
std::string HeaderValue(std::string_view head, std::string_view name) {
    std::string lower = Lower(head);
    std::string wanted = "\r\n" + std::string(name) + ":";
    std::size_t at = lower.find(wanted);
    if (at == std::string::npos)
        return {};
    std::size_t start = at + wanted.size();
    std::size_t end = lower.find("\r\n", start);
    std::string value = lower.substr(start, end - start);
    value.erase(0, value.find_first_not_of(" \t"));
    return value;
}

}  // namespace

void CheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz: check failed: %s at %s:%d\n", condition, file, line);
    std::abort();
}

const std::string& DataHome() {
    static TempFolder folder;
    return folder.path;
}

void ReplaceFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::remove(path.c_str());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush())
        CheckFailed(("cannot write " + path).c_str(), __FILE__, __LINE__);
}

struct LoopbackServer::State {
    Answer answer;
    int listenFd = -1;
    int wake[2] = {-1, -1};
    int port = 0;
    std::thread thread;

    void Run();
    // The requests complete in `buffer`, answered; false when the connection
    // is to be closed. `continued`: the interim answer to the request being
    // read has gone out.
    bool ServeRequests(int fd, std::string& buffer, bool& continued);
};

bool LoopbackServer::State::ServeRequests(int fd, std::string& buffer, bool& continued) {
    for (;;) {
        std::size_t headEnd = buffer.find("\r\n\r\n");
        if (headEnd == std::string::npos)
            return buffer.size() <= kMaxRequestHead;
        std::string head = buffer.substr(0, headEnd + 2);
        std::size_t length = std::strtoull(HeaderValue(head, "content-length").c_str(), nullptr, 10);
        if (length > kMaxRequestBody)
            return false;
        if (buffer.size() < headEnd + 4 + length) {
            if (!continued && HeaderValue(head, "expect") == "100-continue") {
                continued = true;
                return SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
            }
            return true;
        }
        std::size_t space = head.find(' ');
        std::size_t secondSpace = head.find(' ', space + 1);
        if (space == std::string::npos || secondSpace == std::string::npos)
            return false;
        std::string_view method(head.data(), space);
        std::string_view target(head.data() + space + 1, secondSpace - space - 1);
        LoopbackAnswer reply = answer(method, target);
        std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " Answer\r\n";
        if (!reply.contentType.empty())
            out += "Content-Type: " + reply.contentType + "\r\n";
        out += "Content-Length: " + std::to_string(method == "HEAD" ? 0 : reply.body.size()) + "\r\n\r\n";
        if (method != "HEAD")
            out += reply.body;
        bool close = HeaderValue(head, "connection") == "close";
        buffer.erase(0, headEnd + 4 + length);
        continued = false;
        if (!SendAll(fd, out) || close)
            return false;
    }
}

void LoopbackServer::State::Run() {
    int connection = -1;
    std::string buffer;
    bool continued = false;
    for (;;) {
        pollfd fds[3] = {{wake[0], POLLIN, 0}, {listenFd, POLLIN, 0}, {connection, POLLIN, 0}};
        if (poll(fds, connection >= 0 ? 3 : 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            int accepted = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0) {
                // A client opens a new connection when it has given up the
                // old one.
                if (connection >= 0)
                    close(connection);
                connection = accepted;
                buffer.clear();
                continued = false;
            }
            continue;
        }
        if (connection >= 0 && fds[2].revents) {
            char chunk[16384];
            ssize_t got = recv(connection, chunk, sizeof chunk, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got > 0)
                buffer.append(chunk, static_cast<std::size_t>(got));
            if (got <= 0 || !ServeRequests(connection, buffer, continued)) {
                close(connection);
                connection = -1;
                buffer.clear();
            }
        }
    }
    if (connection >= 0)
        close(connection);
}

LoopbackServer::LoopbackServer(Answer answer) : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.answer = std::move(answer);
    state.listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (state.listenFd < 0 || bind(state.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(state.listenFd, 16) != 0 ||
        getsockname(state.listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe(state.wake) != 0) {
        std::fprintf(stderr, "fuzz: cannot listen on loopback: %s\n", std::strerror(errno));
        std::abort();
    }
    state.port = ntohs(address.sin_port);
    state.thread = std::thread([&state] { state.Run(); });
}

LoopbackServer::~LoopbackServer() {
    State& state = *state_;
    ssize_t ignored = write(state.wake[1], "x", 1);
    (void)ignored;
    state.thread.join();
    close(state.listenFd);
    close(state.wake[0]);
    close(state.wake[1]);
}

std::string LoopbackServer::Url(std::string_view target) const {
    return "http://127.0.0.1:" + std::to_string(state_->port) + std::string(target);
}

}  // namespace zov::fuzz
