// The container in this process with the real control server, and a page
// client that drives it over loopback: shared by the container's tests.
#pragma once

#include "host/Server.h"
#include "platform/com/Registry.h"
#include "tests/support/TempDataHome.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace zov::host::pagetest {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Json = nlohmann::json;
using namespace std::chrono_literals;

inline constexpr const char* kControlClsid = "{D340FA1C-4A07-4590-BFFB-FA14857D23DF}";
inline constexpr const char* kControlProgId = "ZOVUVAZAR.ZOVuvazaRCtrl.1";
// Generous: sanitizer builds start controls slowly.
inline constexpr auto kWait = 8s;

// The server library, loaded once as the container loads it; the container's
// own dlopen of the same file gets this very copy.
inline void* ServerLibrary() {
    static void* library = dlopen(ZOV_SERVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return library;
}

template <typename Function>
Function Export(const char* name) {
    return reinterpret_cast<Function>(dlsym(ServerLibrary(), name));
}

// A page's WebSocket: messages are read on a thread of the client's own and
// collected; the test waits for the ones it expects.
class Page {
public:
    explicit Page(std::uint16_t port, std::string origin = {}) {
        if (origin.empty())
            origin = "http://127.0.0.1:" + std::to_string(port);
        ws_.set_option(websocket::stream_base::decorator(
            [origin](websocket::request_type& request) { request.set(http::field::origin, origin); }));
        beast::get_lowest_layer(ws_).expires_after(kWait);
        beast::get_lowest_layer(ws_).async_connect(
            tcp::endpoint(net::ip::make_address_v4("127.0.0.1"), port), [this, port](beast::error_code error) {
                if (error) {
                    handshake_ = error;
                    return;
                }
                ws_.async_handshake("127.0.0.1:" + std::to_string(port), "/ws",
                                    [this](beast::error_code error) { handshake_ = error; });
            });
        io_.run();
        io_.restart();
        if (handshake_)
            return;
        beast::get_lowest_layer(ws_).expires_never();
        ws_.read_message_max(64 << 20);
        Read();
        thread_ = std::thread([this] { io_.run(); });
    }

    ~Page() { Close(); }

    bool Connected() const { return !handshake_; }

    void Close() {
        if (!thread_.joinable())
            return;
        net::post(io_, [this] {
            beast::error_code ignored;
            beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
            beast::get_lowest_layer(ws_).close();
        });
        thread_.join();
    }

    bool SendText(std::string text) { return Write(std::move(text), false); }
    bool Send(const Json& message) { return Write(message.dump(), false); }
    bool SendBinary(std::string bytes) { return Write(std::move(bytes), true); }

    // The first text message not yet taken that `match` accepts; messages
    // passed over stay for later waits.
    std::optional<Json> WaitText(const std::function<bool(const Json&)>& match, std::chrono::milliseconds timeout = kWait) {
        std::unique_lock lock(mutex_);
        std::optional<Json> found;
        arrived_.wait_for(lock, timeout, [&] {
            for (auto it = texts_.begin(); it != texts_.end(); ++it)
                if (match(*it)) {
                    found = std::move(*it);
                    texts_.erase(it);
                    return true;
                }
            return closed_;
        });
        return found;
    }

    std::optional<Json> WaitType(const std::string& type, std::int64_t element,
                                 std::chrono::milliseconds timeout = kWait) {
        return WaitText(
            [&](const Json& m) { return m.value("t", "") == type && m.value("el", std::int64_t{0}) == element; },
            timeout);
    }

    std::optional<std::string> WaitBinary(std::chrono::milliseconds timeout = kWait) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, timeout, [&] { return !binaries_.empty() || closed_; }) || binaries_.empty())
            return std::nullopt;
        std::string bytes = std::move(binaries_.front());
        binaries_.pop_front();
        return bytes;
    }

    // The image lists received so far.
    std::vector<std::string> ImageLists() {
        std::lock_guard lock(mutex_);
        return {imageLists_.begin(), imageLists_.end()};
    }

    // Calls a method and waits for its answer.
    std::optional<Json> Call(std::int64_t element, const std::string& method, Json args) {
        const std::int64_t id = ++lastCall_;
        if (!Send({{"t", "call"}, {"el", element}, {"id", id}, {"m", method}, {"a", std::move(args)}}))
            return std::nullopt;
        return WaitReturn(element, id);
    }

    std::optional<Json> WaitReturn(std::int64_t element, std::int64_t id) {
        return WaitText([&](const Json& m) {
            return m.value("t", "") == "return" && m.value("el", std::int64_t{0}) == element &&
                   m.value("id", std::int64_t{-1}) == id;
        });
    }

    // Creates an element and waits for "created" or "error".
    // A create with the usual size, unless `fields` give one; not waited for.
    bool SendCreate(std::int64_t element, Json fields) {
        fields["t"] = "create";
        fields["el"] = element;
        if (!fields.contains("w"))
            fields["w"] = 320;
        if (!fields.contains("h"))
            fields["h"] = 200;
        return Send(fields);
    }

    std::optional<Json> Create(std::int64_t element, Json fields) {
        if (!SendCreate(element, std::move(fields)))
            return std::nullopt;
        return WaitText([&](const Json& m) {
            const std::string type = m.value("t", "");
            return (type == "created" || type == "error") && m.value("el", std::int64_t{0}) == element;
        });
    }

    bool Closed() {
        std::lock_guard lock(mutex_);
        return closed_;
    }

    // The code of the server's close frame, 0 without one.
    int CloseCode() {
        std::lock_guard lock(mutex_);
        return closeCode_;
    }

private:
    void Read() {
        ws_.async_read(buffer_, [this](beast::error_code error, std::size_t) {
            std::lock_guard lock(mutex_);
            if (error) {
                closeCode_ = ws_.reason().code;
                closed_ = true;
                arrived_.notify_all();
                return;
            }
            std::string data = beast::buffers_to_string(buffer_.data());
            buffer_.consume(buffer_.size());
            if (ws_.got_binary()) {
                // Frames are what most tests wait for; a toolbar's image
                // lists are kept apart.
                if (!data.empty() && data[0] == 2)
                    imageLists_.push_back(std::move(data));
                else
                    binaries_.push_back(std::move(data));
            } else {
                Json message = Json::parse(data, nullptr, false);
                EXPECT_FALSE(message.is_discarded()) << data;
                texts_.push_back(std::move(message));
            }
            arrived_.notify_all();
            Read();
        });
    }

    bool Write(std::string data, bool binary) {
        if (!thread_.joinable())
            return false;
        auto done = std::make_shared<std::promise<bool>>();
        std::future<bool> result = done->get_future();
        auto owned = std::make_shared<std::string>(std::move(data));
        net::post(io_, [this, done, owned, binary] {
            ws_.binary(binary);
            ws_.async_write(net::buffer(*owned), [done, owned](beast::error_code error, std::size_t) {
                done->set_value(!error);
            });
        });
        return result.wait_for(kWait) == std::future_status::ready && result.get();
    }

    net::io_context io_;
    websocket::stream<beast::tcp_stream> ws_{io_};
    beast::error_code handshake_;
    beast::flat_buffer buffer_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Json> texts_;
    std::deque<std::string> binaries_;
    std::deque<std::string> imageLists_;
    bool closed_ = false;
    int closeCode_ = 0;
    std::int64_t lastCall_ = 0;
};

struct HttpAnswer {
    unsigned status = 0;
    std::string body;
    http::fields headers;
};

// One request on a connection of its own, bounded in time.
inline HttpAnswer Fetch(std::uint16_t port, http::request<http::empty_body> request) {
    net::io_context io;
    beast::tcp_stream stream(io);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    beast::error_code failure;
    request.prepare_payload();
    stream.expires_after(kWait);
    stream.async_connect(tcp::endpoint(net::ip::make_address_v4("127.0.0.1"), port), [&](beast::error_code error) {
        if ((failure = error))
            return;
        http::async_write(stream, request, [&](beast::error_code error, std::size_t) {
            if ((failure = error))
                return;
            http::async_read(stream, buffer, response,
                             [&](beast::error_code error, std::size_t) { failure = error; });
        });
    });
    io.run();
    EXPECT_FALSE(failure) << failure.message() << " for " << request.target();
    return HttpAnswer{failure ? 0u : response.result_int(), response.body(), response.base()};
}

inline http::request<http::empty_body> Get(std::uint16_t port, const std::string& target) {
    http::request<http::empty_body> request{http::verb::get, target, 11};
    request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
    return request;
}

inline http::request<http::empty_body> Upgrade(std::uint16_t port, const std::string& host, const std::string& origin,
                                        const std::string& target = "/ws") {
    http::request<http::empty_body> request{http::verb::get, target, 11};
    request.set(http::field::host, host.empty() ? "127.0.0.1:" + std::to_string(port) : host);
    if (!origin.empty())
        request.set(http::field::origin, origin);
    request.set(http::field::connection, "Upgrade");
    request.set(http::field::upgrade, "websocket");
    request.set(http::field::sec_websocket_key, "dGhlIHNhbXBsZSBub25jZQ==");
    request.set(http::field::sec_websocket_version, "13");
    return request;
}

class HostServer : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        ASSERT_NE(ServerLibrary(), nullptr) << dlerror();
        auto registerServer = Export<DllRegisterServerFunction>("DllRegisterServer");
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), S_OK);

        const std::string web = Root() + "/web";
        WriteBytes("web/zov.js", "// the element script\n");
        WriteBytes("web/zov.js.map", "{\"version\":3}");
        WriteBytes("web/demo/index.html", "<!doctype html><title>demo</title>\n");
        WriteBytes("web/x", "outside the demo\n");
        WriteBytes("web/node_modules/x", "a package\n");

        HostConfig config;
        config.port = 0;
        config.webRoot = web;
        Configure(config);
        server_ = std::make_unique<Server>(io_, config);
        std::string error;
        ASSERT_TRUE(server_->Listen(error)) << error;
        port_ = server_->Port();
        ioThread_ = std::thread([this] { io_.run(); });
    }

    // A test's own limits or flags.
    virtual void Configure(HostConfig&) {}

    void TearDown() override {
        StopServer();
        TempDataHome::TearDown();
    }

    // Stops as the signal handler does, on the server's thread; returns once
    // every control is released and the server is gone.
    void StopServer() {
        if (server_ && ioThread_.joinable()) {
            net::post(io_, [this] { server_->Stop(); });
            ioThread_.join();
        }
        server_.reset();
    }

    std::optional<Json> SetUpViewer(Page& page, std::int64_t element) {
        return page.Call(element, "SetUp", {"en", "C0C0C0", true, "", "", "Folder", false});
    }

    // What a page does first: set the viewer up and give it its (here
    // empty) list. Loading the list repaints; SetUp itself does not, and
    // the window's first paint came before there was a viewer.
    bool ShowEmptyDesk(Page& page, std::int64_t element) {
        std::optional<Json> setUp = SetUpViewer(page, element);
        std::optional<Json> files = page.Call(element, "SetFiles", Json::array({""}));
        return setUp && setUp->contains("v") && files && files->contains("v");
    }

    net::io_context io_;
    std::unique_ptr<Server> server_;
    std::thread ioThread_;
    std::uint16_t port_ = 0;
};

}  // namespace zov::host::pagetest
