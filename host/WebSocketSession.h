// One page's WebSocket: the elements it created, their calls, input and
// frames. Everything runs on the connection's strand; the elements' window
// threads reach it only through posted work (SessionLink). One write is in
// flight at a time; the rest wait in a queue.
#pragma once

#include "host/SharedState.h"
#include "platform/com/Com.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <nlohmann/json_fwd.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zov::host {

class DropStaging;
class ElementLink;
class WebWindow;

class WebSocketSession final : public Connection, public std::enable_shared_from_this<WebSocketSession> {
public:
    // `origin` is the page's, normalised; the connection counts against it.
    WebSocketSession(SharedState& state, boost::asio::ip::tcp::socket socket, std::string origin);
    ~WebSocketSession() override;

    // Over the connection limit: closed before the handshake.
    void Refuse();
    // Completes the upgrade `request` (already checked), greets the page
    // with the limits and starts reading.
    void Accept(boost::beast::http::request<boost::beast::http::string_body> request);
    // Queues a message; written when the ones before it are. Text past the
    // send-queue limit closes the connection: the page no longer reads.
    void Send(std::string data, bool binary);
    // A binary message that is not a frame: counted like text.
    void SendCounted(std::string data);
    // Sends the element's next frame when its window has one ready.
    void PumpFrame(std::uint32_t element);
    void Shutdown() override;

private:
    struct Outgoing {
        std::string data;
        bool binary;
        bool counted;  // against the send-queue limit: all but frames
    };
    // The newest size the page sent that the window has not taken yet:
    // sizes are merged, since each one reallocates the window's pictures.
    struct PendingSize {
        std::mutex mutex;
        std::optional<std::pair<SIZE, POINT>> size;
        unsigned dpi = kBaseDpi;
    };
    struct Element {
        std::shared_ptr<WebWindow> window;
        std::span<const DispatchMember> members;
        bool created = false;
        // Calls handed to the window and answered; answers leave in the
        // order of the calls, so refusals wait behind the calls before them.
        std::uint64_t posted = 0;
        std::uint64_t answered = 0;
        std::deque<std::pair<std::uint64_t, std::string>> heldAnswers;
        std::shared_ptr<PendingSize> pendingSize = std::make_shared<PendingSize>();
        // Input allowance: a bucket of inputBurst, refilled inputPerSecond.
        double inputTokens = 0;
        std::chrono::steady_clock::time_point inputRefilled{};
        // The reader's motion setting, newest first; one delivery waits at most.
        struct PendingMotion {
            std::atomic<bool> reduced{false};
            std::atomic<bool> posted{false};
        };
        std::shared_ptr<PendingMotion> motion = std::make_shared<PendingMotion>();
        // The drop whose files are arriving, at most one; null when none.
        std::shared_ptr<DropStaging> drop;
    };

    void Read();
    void Enqueue(Outgoing message);
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
    void Key(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Answer(std::uint32_t element, Element& target, const nlohmann::json& message);
    void ChildEvent(std::uint32_t element, Element& target, const nlohmann::json& message);
    void TreeEvent(std::uint32_t element, Element& target, const nlohmann::json& message);
    void Verb(std::uint32_t element, Element& target, const nlohmann::json& message);
    // Sends the answer of a call now, or after the calls made before it.
    void AnswerInOrder(Element& target, std::string text);
    // `window` only identifies the element's window of the call.
    void CallAnswered(std::uint32_t element, const WebWindow* window, std::string text);
    // Hands input to the window thread, or drops it when the element's
    // allowance is spent.
    void PostInput(Element& target, std::function<void(WebWindow&)> deliver);
    void Close();
    // Dropped files: the announcement, its chunks (binary messages of kind
    // 3), the hand-over to the window once every byte is there, and the
    // refusals, after which the staging is gone at once.
    void Drop(std::uint32_t element, Element& target, const nlohmann::json& message);
    void DropChunk(std::string_view bytes);
    void HandOverDrop(std::uint32_t element, Element& target);
    void RefuseDrop(std::uint32_t element, Element& target, const std::string& message);
    // Refuses the element's drop when its next chunk is overdue.
    void ExpireDrop(std::uint32_t element, Element& target, std::chrono::steady_clock::time_point now);
    // Sets the drop timer for the earliest drop to become overdue.
    void WatchDrops();

    SharedState& state_;  // not owned; outlives every session
    boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
    boost::beast::flat_buffer buffer_;
    const std::string origin_;
    std::deque<Outgoing> queue_;
    std::size_t queuedText_ = 0;  // bytes of text in queue_, with their overhead
    bool writing_ = false;
    bool closed_ = false;
    bool admitted_ = false;
    // The page's elements by their number, and the order they were made in.
    std::map<std::uint32_t, std::shared_ptr<Element>> elements_;
    std::vector<std::uint32_t> order_;
    // Elements whose destroy has not been answered yet; their numbers are
    // not taken again until it is.
    std::set<std::uint32_t> destroying_;
    std::shared_ptr<ElementLink> link_;
    // Wakes when a drop's next chunk is overdue, so that a drop the page
    // stopped sending goes even when the page sends nothing more. Armed
    // only while a drop arrives; dropTimerDue_ is when it wakes.
    boost::asio::steady_timer dropTimer_;
    boost::asio::strand<boost::asio::thread_pool::executor_type> encodeStrand_;
    std::optional<std::chrono::steady_clock::time_point> dropTimerDue_;
};

}  // namespace zov::host
