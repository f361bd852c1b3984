#include "tests/support/NginxServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace zov::test {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kDavModule[] = "/usr/lib/nginx/modules/ngx_http_dav_ext_module.so";

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

// A port nothing listens on right now. Another process may take it before
// nginx does; the caller retries then.
int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool Accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address = Loopback(port);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// "a/b" and "/a/b" alike name a file below the root.
fs::path Below(const std::string& root, const std::string& relative) {
    return fs::path(root) / fs::path(relative).relative_path();
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Config(const std::string& dir, const std::string& root, int port) {
    // One process, no privilege changes: works as root and as anyone else.
    return "daemon off;\n"
           "master_process off;\n"
           "worker_processes 1;\n"
           "pid " + dir + "/nginx.pid;\n"
           "error_log " + dir + "/logs/error.log notice;\n"
           "load_module " + kDavModule + ";\n"
           "events { worker_connections 128; }\n"
           "http {\n"
           "    access_log off;\n"
           "    default_type application/octet-stream;\n"
           "    client_body_temp_path " + dir + "/temp/client_body;\n"
           "    proxy_temp_path " + dir + "/temp/proxy;\n"
           "    fastcgi_temp_path " + dir + "/temp/fastcgi;\n"
           "    uwsgi_temp_path " + dir + "/temp/uwsgi;\n"
           "    scgi_temp_path " + dir + "/temp/scgi;\n"
           "    client_max_body_size 0;\n"
           "    server {\n"
           "        listen 127.0.0.1:" + std::to_string(port) + ";\n"
           "        server_name localhost;\n"
           "        location / {\n"
           "            root " + root + ";\n"
           "            dav_methods PUT DELETE MKCOL;\n"
           "            dav_ext_methods PROPFIND OPTIONS;\n"
           "            create_full_put_path on;\n"
           "            autoindex on;\n"
           "        }\n"
           "        location /plain/ {\n"
           "            alias " + root + "/;\n"
           "            autoindex on;\n"
           "        }\n"
           "    }\n"
           "}\n";
}

// Runs nginx in the foreground; -1 when it could not be started.
int Launch(const std::string& dir) {
    const char* binary = access("/usr/sbin/nginx", X_OK) == 0 ? "/usr/sbin/nginx" : "nginx";
    std::string prefix = dir + "/";
    std::string config = dir + "/nginx.conf";
    std::string errorLog = dir + "/logs/error.log";
    // Built before fork: the child may only make async-signal-safe calls.
    const char* argv[] = {binary, "-p", prefix.c_str(), "-c", config.c_str(), "-e", errorLog.c_str(), nullptr};
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    // Dies with the test process even when that crashes.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
    }
    // Sockets of the test (libcurl's among them) must not live on in nginx.
    if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0) {
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
    }
    execvp(binary, const_cast<char* const*>(argv));
    _exit(127);
}

}  // namespace

NginxServer::NginxServer() {
    std::string pattern = (fs::temp_directory_path() / "zov-nginx-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "cannot make a folder for nginx: " << std::strerror(errno);
        return;
    }
    dir_ = pattern;
    root_ = dir_ + "/root";
    std::error_code error;
    fs::create_directories(root_, error);
    fs::create_directories(dir_ + "/logs", error);
    fs::create_directories(dir_ + "/temp", error);

    std::string log;
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = FreePort();
        std::ofstream(dir_ + "/nginx.conf") << Config(dir_, root_, port_);
        pid_ = Launch(dir_);
        if (pid_ < 0) {
            ADD_FAILURE() << "cannot start nginx: " << std::strerror(errno);
            return;
        }
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (Accepts(port_))
                return;
            std::this_thread::sleep_for(10ms);
        }
        log = Slurp(dir_ + "/logs/error.log");
        if (pid_ > 0)
            break;  // running but deaf: no point in another port
        if (log.find("Address already in use") == std::string::npos)
            break;
    }
    ADD_FAILURE() << "nginx did not start on port " << port_ << "; its error log:\n" << log;
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

NginxServer::~NginxServer() {
    if (pid_ > 0) {
        kill(pid_, SIGQUIT);
        auto deadline = std::chrono::steady_clock::now() + 5s;
        bool ended = false;
        while (!ended && std::chrono::steady_clock::now() < deadline) {
            ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!ended)
                std::this_thread::sleep_for(10ms);
        }
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    if (!dir_.empty()) {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
}

bool NginxServer::Running() const {
    return pid_ > 0;
}

int NginxServer::Port() const {
    return port_;
}

std::string NginxServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

const std::string& NginxServer::Root() const {
    return root_;
}

std::string NginxServer::WriteFile(const std::string& relative, const std::string& bytes) const {
    fs::path path = Below(root_, relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

std::string NginxServer::ReadFile(const std::string& relative) const {
    return Slurp(Below(root_, relative));
}

bool NginxServer::Exists(const std::string& relative) const {
    std::error_code ignored;
    return fs::exists(Below(root_, relative), ignored);
}

}  // namespace zov::test
