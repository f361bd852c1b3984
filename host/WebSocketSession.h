// One page's WebSocket: the elements it created, their calls, input and
// frames. Everything runs on the connection's strand; the elements' window
// threads reach it only through posted work (SessionLink). One write is in
// flight at a time; the rest wait in a queue.
#pragma once

#include "host/SharedState.h"
#include "platform/com/Com.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <nlohmann/json_fwd.hpp>

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zov::host {

class ElementLink;
class WebWindow;

class WebSocketSession final : public Connection, public std::enable_shared_from_this<WebSocketSession> {
public:
    WebSocketSession(SharedState& state, boost::asio::ip::tcp::socket socket);
    ~WebSocketSession() override;

    // Over the connection limit: closed before the handshake.
    void Refuse();
    // Completes the upgrade `request` (already checked), greets the page
    // with the limits and starts reading.
    void Accept(boost::beast::http::request<boost::beast::http::string_body> request);
    // Queues a message; written when the ones before it are.
    void Send(std::string data, bool binary);
    // Sends the element's next frame when its window has one ready.
    void PumpFrame(std::uint32_t element);
    void Shutdown() override;

private:
    struct Outgoing {
        std::string data;
        bool binary;
    };
    struct Element {
        std::shared_ptr<WebWindow> window;
        std::span<const DispatchMember> members;
        bool created = false;
        // Calls posted to the window and not yet run; read on the strand,
        // counted down on the window thread.
        std::shared_ptr<std::atomic<int>> waiting = std::make_shared<std::atomic<int>>(0);
    };

    void Read();
    void WriteNext();
    void Error(std::uint32_t element, const std::string& message);
    void Handle(const std::string& text);
    void Create(std::uint32_t element, const nlohmann::json& message);
    void Created(std::uint32_t element, std::span<const DispatchMember> members, const std::string& error);
    void DestroyElement(std::uint32_t element, bool answer = true);
    void Call(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Size(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Mouse(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Wheel(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Scroll(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Answer(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Close();

    SharedState& state_;  // not owned; outlives every session
    boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
    boost::beast::flat_buffer buffer_;
    std::deque<Outgoing> queue_;
    bool writing_ = false;
    bool closed_ = false;
    bool admitted_ = false;
    // The page's elements by their number, and the order they were made in.
    std::map<std::uint32_t, std::shared_ptr<Element>> elements_;
    std::vector<std::uint32_t> order_;
    std::shared_ptr<ElementLink> link_;
};

}  // namespace zov::host
