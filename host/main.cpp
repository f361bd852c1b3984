// zov-host: the container that hosts viewer controls for web pages.
#include "host/Server.h"
#include "platform/net/HttpClient.h"

#include <boost/asio/signal_set.hpp>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: zov-host [--port N] [--allow-origin ORIGIN]... [--allow-server HOST[:PORT]]...\n"
                 "                [--data-dir DIR] [--web DIR] [--demo DIR] [--speed 2|5|10|20|50] [--open]\n"
                 "  --port N             port on 127.0.0.1 (default %u; 0 picks a free one)\n"
                 "  --allow-origin O     also let pages of origin O (scheme://host[:port]) connect\n"
                 "  --allow-server S     the viewers send requests only to servers S (HOST or\n"
                 "                       HOST:PORT, an IPv6 address in brackets); default: any\n"
                 "  --data-dir DIR       the per-user data folder (registry, cache, notes)\n"
                 "  --web DIR            the folder with zov.js and demo/ (default: this build's web/)\n"
                 "  --demo DIR           serve the demo documents of DIR (corpus/ and previews/)\n"
                 "  --speed N            flip speed of every new viewer\n"
                 "  --open               open the demo page in the desktop browser\n",
                 static_cast<unsigned>(zov::host::kDefaultPort));
}

bool ParseNumber(std::string_view text, int low, int high, int& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// HOST or HOST:PORT: a host name or IPv4 address, or an IPv6 address in
// brackets, and a port from 1 to 65535. Nothing else may come into the list
// the viewers read.
bool IsServerPattern(std::string_view text) {
    std::string_view host = text;
    std::string_view port;
    if (text.starts_with('[')) {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos || close == 1)
            return false;
        host = text.substr(1, close - 1);
        if (host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos)
            return false;
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (rest[0] != ':' || rest.size() == 1))
            return false;
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        std::size_t colon = text.find(':');
        host = text.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = text.substr(colon + 1);
            if (port.empty())
                return false;
        }
        if (host.empty() || host.size() > 253 ||
            host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") !=
                std::string_view::npos)
            return false;
    }
    int number = 0;
    return port.empty() || ParseNumber(port, 1, 65535, number);
}

// The desktop's browser, without waiting for it.
void OpenBrowser(const std::string& url) {
    if (fork() == 0) {
        execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
        execlp("sensible-browser", "sensible-browser", url.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

}  // namespace

int main(int argc, char** argv) {
    zov::host::HostConfig config;
    config.webRoot = ZOV_WEB_DIR;
    bool open = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        int number = 0;
        if (arg == "--port" && hasValue && ParseNumber(argv[i + 1], 0, 65535, number)) {
            config.port = static_cast<std::uint16_t>(number);
            ++i;
        } else if (arg == "--allow-origin" && hasValue) {
            config.allowOrigins.emplace_back(argv[++i]);
        } else if (arg == "--allow-server" && hasValue) {
            if (!IsServerPattern(argv[i + 1])) {
                std::fprintf(stderr, "zov-host: not a server: %s (write HOST or HOST:PORT)\n", argv[i + 1]);
                return 2;
            }
            config.allowServers.emplace_back(argv[++i]);
        } else if (arg == "--data-dir" && hasValue) {
            std::error_code error;
            std::filesystem::create_directories(argv[i + 1], error);
            setenv("ZOV_DATA_HOME", std::filesystem::absolute(argv[i + 1]).c_str(), 1);
            ++i;
        } else if (arg == "--web" && hasValue) {
            config.webRoot = argv[++i];
        } else if (arg == "--demo" && hasValue) {
            config.demoDir = std::filesystem::absolute(argv[++i]);
        } else if (arg == "--speed" && hasValue && ParseNumber(argv[i + 1], 2, 50, number)) {
            config.speed = number;
            ++i;
        } else if (arg == "--open") {
            open = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "zov-host: bad argument: %s\n", argv[i]);
            Usage();
            return 2;
        }
    }
    for (const std::string& origin : config.allowOrigins)
        if (zov::host::NormaliseOrigin(origin).empty()) {
            std::fprintf(stderr, "zov-host: not an origin: %s (write scheme://host[:port])\n", origin.c_str());
            return 2;
        }
    if (!std::filesystem::is_regular_file(config.webRoot / "zov.js")) {
        std::fprintf(stderr, "zov-host: no zov.js in %s (give --web)\n", config.webRoot.c_str());
        return 2;
    }

    // The controls' HTTP client reads the list from the environment at its
    // first request (the servers are loaded later, into this process).
    if (!config.allowServers.empty()) {
        std::string list;
        for (const std::string& server : config.allowServers)
            list += (list.empty() ? "" : ",") + server;
        setenv(zov::kAllowServersVariable, list.c_str(), 1);
    }

    boost::asio::io_context io;
    zov::host::Server server(io, config);
    std::string error;
    if (!server.Listen(error)) {
        std::fprintf(stderr, "zov-host: cannot listen on 127.0.0.1:%u: %s\n", static_cast<unsigned>(config.port),
                     error.c_str());
        return 1;
    }
    const std::string address = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    std::cout << "zov-host: listening on " << address << std::endl;
    if (config.demoDir)
        std::cout << "zov-host: demo " << address << "demo/" << std::endl;
    if (open)
        OpenBrowser(address + "demo/");

    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const boost::system::error_code&, int) { server.Stop(); });
    io.run();
    server.Wait();
    return 0;
}
