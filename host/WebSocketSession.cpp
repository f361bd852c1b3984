#include "host/WebSocketSession.h"

#include "host/DropStaging.h"
#include "host/Protocol.h"
#include "host/WebWindow.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"

#include <boost/asio/post.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <climits>
#include <limits>
#include <optional>
#include <string_view>

namespace zov::host {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Json = nlohmann::json;

namespace {

// Screen positions beyond any real screen are refused.
constexpr std::int64_t kLargestScreen = 16384;
// Bookkeeping of each queued message, counted against the send-queue limit
// so that many small ones cannot pass it.
constexpr std::size_t kQueuedMessageOverhead = 64;
// Edit texts one dialog event may carry.
constexpr std::size_t kDialogValuesLimit = 16;
// Refusals that may wait behind earlier answers, per call the element may
// have waiting; a page past it only floods.
constexpr std::size_t kHeldAnswersPerCall = 16;
// The binary messages a page sends: drop chunks, after a header of kind,
// three zero bytes, element, file number and offset.
constexpr char kDropChunkKind = 3;
constexpr std::size_t kDropChunkHeader = 16;

// "#rrggbb" exactly, as <input type="color"> gives it, as 0x00BBGGRR.
std::optional<COLORREF> ParseColour(std::string_view text) {
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    std::uint32_t rgb = 0;
    for (const char c : text.substr(1)) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
    }
    return RGB(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb));
}

std::uint32_t LittleEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    return value;
}

Json MemberList(std::span<const DispatchMember> members) {
    Json list = Json::array();
    for (const DispatchMember& member : members) {
        Json args = Json::array();
        for (VarType type : member.args)
            args.push_back(std::string(TypeName(type)));
        list.push_back({{"id", member.id},
                        {"name", std::string(member.name)},
                        {"args", args},
                        {"result", std::string(TypeName(member.result))}});
        if (member.kind != MemberKind::Method)
            list.back()["kind"] = member.kind == MemberKind::PropertyGet ? "get" : "put";
    }
    return list;
}

Json ResultValue(const Variant& value) {
    switch (value.Type()) {
    case VarType::String: return ToUtf8(value.String());
    case VarType::Long: return value.Long();
    case VarType::Bool: return value.Bool();
    default: return nullptr;
    }
}

std::string ErrorText(HRESULT result) {
    switch (result) {
    case DISP_E_BADPARAMCOUNT: return "wrong number of arguments";
    case DISP_E_TYPEMISMATCH: return "an argument has the wrong type";
    case DISP_E_MEMBERNOTFOUND: return "no such method";
    case DISP_E_EXCEPTION: return "the method failed";
    default: return "the call failed";
    }
}

// The windows' way back to their connection: everything is posted to the
// connection's thread, and dropped once the connection is gone.
class SessionLink final : public ElementLink {
public:
    SessionLink(std::weak_ptr<WebSocketSession> session, net::any_io_executor executor, Launches& launches)
        : session_(std::move(session)), executor_(std::move(executor)), launches_(launches) {}
    void SendText(std::string message) override;
    void SendBinary(std::string message) override;
    void FrameReady(std::uint32_t element) override;
    bool OpenWindow(std::uint32_t element, LaunchPage page) override;

private:
    std::weak_ptr<WebSocketSession> session_;
    net::any_io_executor executor_;
    Launches& launches_;  // the container's; outlives every session
};

bool SessionLink::OpenWindow(std::uint32_t element, LaunchPage page) {
    std::optional<std::string> token = launches_.Add(std::move(page));
    if (!token)
        return false;
    // A window of its own, without the browser's bars, as the design's
    // launch shows the document.
    SendText(Json({{"t", "open"},
                   {"el", element},
                   {"url", std::string(kLaunchPrefix) + *token},
                   {"features", "popup,menubar=no,toolbar=no,location=no,status=no"}})
                 .dump());
    return true;
}

void SessionLink::SendText(std::string message) {
    net::post(executor_, [weak = session_, message = std::move(message)]() mutable {
        if (auto session = weak.lock())
            session->Send(std::move(message), false);
    });
}

void SessionLink::SendBinary(std::string message) {
    net::post(executor_, [weak = session_, message = std::move(message)]() mutable {
        if (auto session = weak.lock())
            session->SendCounted(std::move(message));
    });
}

void SessionLink::FrameReady(std::uint32_t element) {
    net::post(executor_, [weak = session_, element] {
        if (auto session = weak.lock())
            session->PumpFrame(element);
    });
}

}  // namespace

WebSocketSession::WebSocketSession(SharedState& state, tcp::socket socket, std::string origin)
    : state_(state),
      ws_(std::move(socket)),
      origin_(std::move(origin)),
      dropTimer_(ws_.get_executor()),
      encodeStrand_(net::make_strand(state.Encoders().get_executor())) {}

WebSocketSession::~WebSocketSession() {
    if (admitted_)
        state_.ConnectionClosed(origin_);
}

void WebSocketSession::Refuse() {
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
}

void WebSocketSession::Accept(http::request<http::string_body> request) {
    admitted_ = true;
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& response) { response.set(http::field::server, "zov-host"); }));
    ws_.read_message_max(state_.Config().limits.message);
    // Frames are megabytes: one WebSocket frame each, written in one go,
    // and small answers leave at once rather than wait for more to send.
    ws_.auto_fragment(false);
    beast::get_lowest_layer(ws_).socket().set_option(tcp::no_delay(true));
    link_ = std::make_shared<SessionLink>(weak_from_this(), ws_.get_executor(), state_.LaunchPages());
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
        if (error)
            return self->Close();
        const Limits& limits = self->state_.Config().limits;
        Json hello = {{"t", "hello"},
                      {"v", 1},
                      {"limits",
                       {{"message", limits.message},
                        {"elements", limits.elements},
                        {"string", limits.string},
                        {"calls", limits.calls},
                        {"side", limits.side},
                        {"area", limits.area},
                        {"dropFiles", limits.drop.files},
                        {"dropFileBytes", limits.drop.fileBytes},
                        {"dropBytes", limits.drop.bytes},
                        {"dropIdleMs", limits.drop.idle.count()}}}};
        self->Send(hello.dump(), false);
        self->Read();
    });
}

void WebSocketSession::Send(std::string data, bool binary) {
    if (closed_)
        return;
    Enqueue(Outgoing{std::move(data), binary, !binary});
}

void WebSocketSession::SendCounted(std::string data) {
    if (closed_)
        return;
    Enqueue(Outgoing{std::move(data), true, true});
}

void WebSocketSession::Enqueue(Outgoing message) {
    // Frames need no bound here: one at a time per element, until acked.
    if (message.counted) {
        queuedText_ += message.data.size() + kQueuedMessageOverhead;
        if (queuedText_ > state_.Config().limits.sendQueue) {
            // Reset, not closed: a page that reads nothing would never see
            // the end, and the kernel would keep what is unsent for it.
            beast::error_code ignored;
            beast::get_lowest_layer(ws_).socket().set_option(net::socket_base::linger(true, 0), ignored);
            return Close();
        }
    }
    queue_.push_back(std::move(message));
    if (!writing_)
        WriteNext();
}

void WebSocketSession::PumpFrame(std::uint32_t element) {
    auto found = elements_.find(element);
    if (closed_ || found == elements_.end() || !found->second->created)
        return;
    // Comparing and encoding a large picture takes long; on the io thread it
    // would hold up every other page.
    std::weak_ptr<WebWindow> weakWindow = found->second->window;
    // One strand for the page's encodings: frames reach the socket in the
    // order they were encoded, however many are in flight.
    net::post(encodeStrand_, [weak = weak_from_this(), weakWindow, element, executor = ws_.get_executor()] {
        auto window = weakWindow.lock();
        if (!window)
            return;
        std::optional<EncodedFrame> frame = window->TakeFrame();
        if (!frame)
            return;
        net::post(executor, [weak, weakWindow, element, bytes = std::move(frame->bytes)]() mutable {
            auto self = weak.lock();
            if (!self)
                return;
            auto found = self->elements_.find(element);
            if (found != self->elements_.end() && found->second->window == weakWindow.lock())
                self->Send(std::move(bytes), true);
        });
    });
}

void WebSocketSession::Shutdown() {
    net::post(ws_.get_executor(), [self = shared_from_this()] {
        beast::error_code ignored;
        beast::get_lowest_layer(self->ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(self->ws_).socket().close(ignored);
    });
}

void WebSocketSession::Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error)
            return self->Close();
        if (!self->ws_.got_text()) {
            const std::string_view bytes(static_cast<const char*>(self->buffer_.data().data()), self->buffer_.size());
            if (!bytes.empty() && bytes.front() == kDropChunkKind)
                self->DropChunk(bytes);
            else
                self->Error(0, "binary messages are not accepted");
        } else {
            std::string text = beast::buffers_to_string(self->buffer_.data());
            self->Handle(text);
        }
        self->buffer_.consume(self->buffer_.size());
        if (!self->closed_)
            self->Read();
    });
}

void WebSocketSession::WriteNext() {
    if (queue_.empty() || closed_) {
        writing_ = false;
        return;
    }
    writing_ = true;
    ws_.binary(queue_.front().binary);
    ws_.async_write(net::buffer(queue_.front().data),
                    [self = shared_from_this()](beast::error_code error, std::size_t) {
                        if (!self->queue_.empty()) {
                            if (self->queue_.front().counted)
                                self->queuedText_ -= self->queue_.front().data.size() + kQueuedMessageOverhead;
                            self->queue_.pop_front();
                        }
                        if (error)
                            return self->Close();
                        self->WriteNext();
                    });
}

void WebSocketSession::Error(std::uint32_t element, const std::string& message) {
    Json error = {{"t", "error"}, {"message", message}};
    if (element != 0)
        error["el"] = element;
    Send(error.dump(), false);
}

void WebSocketSession::Handle(const std::string& text) {
    Json message = Json::parse(text, nullptr, false);
    std::string problem;
    std::optional<MessageHead> head = message.is_discarded() ? std::nullopt : ReadHead(message, problem);
    if (!head)
        return Error(0, problem.empty() ? "a message must be a JSON object" : problem);
    const std::string* type = &head->type;
    const std::uint32_t element = head->element;
    if (*type == "create")
        return Create(element, message);
    auto found = elements_.find(element);
    if (found == elements_.end())
        return Error(element, "no such element");
    Element& target = *found->second;
    ExpireDrop(element, target, std::chrono::steady_clock::now());
    if (closed_)
        return;
    if (*type == "destroy")
        return DestroyElement(element);
    if (*type == "frameAck") {
        if (std::optional<std::int64_t> sequence = IntField(message, "seq", 0, 0xFFFFFFFF))
            target.window->FrameAcked(static_cast<std::uint32_t>(*sequence));
        return;
    }
    if (!target.created)
        return Error(element, "the element is not ready");
    if (*type == "drop")
        return Drop(element, target, message);
    if (*type == "call")
        return Call(element, target, message);
    if (*type == "size")
        return Size(element, target, message);
    if (*type == "mouse")
        return Mouse(element, target, message);
    if (*type == "wheel")
        return Wheel(element, target, message);
    if (*type == "scroll")
        return Scroll(element, target, message);
    if (*type == "answer")
        return Answer(element, target, message);
    if (*type == "childEvent")
        return ChildEvent(element, target, message);
    if (*type == "verb")
        return Verb(element, target, message);
    if (*type == "visible") {
        auto found = message.find("v");
        if (found == message.end() || !found->is_boolean())
            return Error(element, "visible needs v, true or false");
        target.window->DeliverVisible(found->get<bool>());
        return;
    }
    if (*type == "key")
        return Key(element, target, message);
    if (*type == "motion") {
        auto found = message.find("reduced");
        if (found == message.end() || !found->is_boolean())
            return Error(element, "motion needs reduced, true or false");
        // A setting, not input: never dropped, and however often it changes
        // one delivery waits at most, which takes the newest value.
        std::shared_ptr<Element::PendingMotion> motion = target.motion;
        motion->reduced = found->get<bool>();
        if (!motion->posted.exchange(true))
            target.window->PostMessage(
                [weak = std::weak_ptr<WebWindow>(target.window), motion] {
                    motion->posted = false;
                    if (auto window = weak.lock())
                        window->DeliverMotionSetting(motion->reduced);
                },
                MessageKind::Other);
        return;
    }
    Error(element, "unknown message type " + Echo(*type));
}

void WebSocketSession::Create(std::uint32_t element, const Json& message) {
    if (elements_.count(element))
        return Error(element, "the element exists already");
    if (destroying_.count(element))
        return Error(element, "the element is still being destroyed");
    if (elements_.size() >= state_.Config().limits.elements)
        return Error(element, "too many elements on this page");
    const std::string* name = StringField(message, "clsid");
    if (!name)
        name = StringField(message, "progid");
    if (!name || name->empty() || name->size() > 200)
        return Error(element, "create needs a clsid or progid");
    const Limits& limits = state_.Config().limits;
    auto width = IntField(message, "w", 0, limits.side);
    auto height = IntField(message, "h", 0, limits.side);
    auto sx = IntField(message, "sx", -kLargestScreen * 8, kLargestScreen * 8);
    auto sy = IntField(message, "sy", -kLargestScreen * 8, kLargestScreen * 8);
    if (!width || !height || *width * *height > limits.area)
        return Error(element, "create needs the size, w and h, within the limits side and area");
    const std::optional<unsigned> dpi = DpiField(message);
    if (!dpi)
        return Error(element, "scale must be a number above 0 and at most 16");
    std::string error;
    IClassFactory* factory = state_.Loader().Factory(*name, error);
    if (!factory)
        return Error(element, error);
    auto state = std::make_shared<Element>();
    state->window = std::make_shared<WebWindow>(
        element, link_, SIZE{static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)},
        POINT{static_cast<std::int32_t>(sx.value_or(0)), static_cast<std::int32_t>(sy.value_or(0))}, *dpi);
    elements_.emplace(element, state);
    order_.push_back(element);
    std::weak_ptr<WebSocketSession> weak = weak_from_this();
    net::any_io_executor executor = ws_.get_executor();
    state->window->Start(factory, state_.SpeedCommand(),
                         [weak, executor, element](std::span<const DispatchMember> members, const std::string& error) {
                             net::post(executor, [weak, element, members, error] {
                                 if (auto self = weak.lock())
                                     self->Created(element, members, error);
                             });
                         });
    // The element of a launch page: what the launching control left for its
    // new control runs once that control exists, before its first tick.
    if (const std::string* launch = StringField(message, "launch")) {
        if (std::function<void()> ready = state_.LaunchPages().Take(*launch))
            state->window->PostMessage(std::move(ready));
    }
}

void WebSocketSession::Created(std::uint32_t element, std::span<const DispatchMember> members, const std::string& error) {
    auto found = elements_.find(element);
    if (found == elements_.end())
        return;
    if (!error.empty()) {
        Error(element, error);
        DestroyElement(element, false);
        return;
    }
    found->second->members = members;
    found->second->created = true;
    Json created = {{"t", "created"}, {"el", element}, {"members", MemberList(members)}};
    Send(created.dump(), false);
    PumpFrame(element);
}

void WebSocketSession::DestroyElement(std::uint32_t element, bool answer) {
    auto found = elements_.find(element);
    if (found == elements_.end())
        return;
    std::shared_ptr<WebWindow> window = found->second->window;
    elements_.erase(found);
    order_.erase(std::remove(order_.begin(), order_.end(), element), order_.end());
    destroying_.insert(element);
    state_.Reap({window}, [weak = weak_from_this(), executor = ws_.get_executor(), element, answer] {
        net::post(executor, [weak, element, answer] {
            auto self = weak.lock();
            if (!self)
                return;
            self->destroying_.erase(element);
            if (answer)
                self->Send(Json({{"t", "destroyed"}, {"el", element}}).dump(), false);
        });
    });
}

void WebSocketSession::Call(std::uint32_t element, Element& target, const Json& message) {
    std::optional<std::int64_t> id = IntField(message, "id", 0, std::int64_t{1} << 53);
    if (!id)
        return Error(element, "a call needs its id");
    auto fail = [&](const std::string& text) {
        AnswerInOrder(target, Json({{"t", "return"}, {"el", element}, {"id", *id}, {"error", text}}).dump());
    };
    const DispatchMember* member = CalledMember(target.members, message);
    if (!member)
        return fail("no such method");
    std::string problem;
    std::optional<std::vector<Variant>> read = ReadArguments(*member, message, state_.Config().limits.string, problem);
    if (!read)
        return fail(problem);
    std::vector<Variant> args = std::move(*read);
    if (target.posted - target.answered >= static_cast<std::uint64_t>(state_.Config().limits.calls))
        return fail("too many calls waiting");
    std::weak_ptr<WebWindow> weakWindow = target.window;
    const DISPID dispid = member->id;
    const std::int64_t callId = *id;
    const bool posted = target.window->PostMessage(
        [weakWindow, weak = weak_from_this(), executor = ws_.get_executor(), element, dispid, callId,
         args = std::move(args)] {
            auto window = weakWindow.lock();
            if (!window)
                return;
            Variant result;
            const HRESULT hr = window->Invoke(dispid, args, result);
            Json reply = {{"t", "return"}, {"el", element}, {"id", callId}};
            if (FAILED(hr))
                reply["error"] = ErrorText(hr);
            else
                reply["v"] = ResultValue(result);
            net::post(executor, [weak, raw = window.get(), element, text = reply.dump()]() mutable {
                if (auto self = weak.lock())
                    self->CallAnswered(element, raw, std::move(text));
            });
        },
        MessageKind::Call);
    if (!posted)
        return fail("the element is closing");
    ++target.posted;
}

void WebSocketSession::AnswerInOrder(Element& target, std::string text) {
    if (target.answered == target.posted) {
        Send(std::move(text), false);
        return;
    }
    // Bounded: a page that goes on calling past the limit gets only
    // refusals, and their bytes count against the send queue.
    target.heldAnswers.emplace_back(target.posted, std::move(text));
    if (target.heldAnswers.size() > static_cast<std::size_t>(state_.Config().limits.calls) * kHeldAnswersPerCall)
        Close();
}

void WebSocketSession::CallAnswered(std::uint32_t element, const WebWindow* window, std::string text) {
    auto found = elements_.find(element);
    if (found == elements_.end() || found->second->window.get() != window)
        return;
    Element& target = *found->second;
    ++target.answered;
    Send(std::move(text), false);
    while (!target.heldAnswers.empty() && target.heldAnswers.front().first <= target.answered) {
        std::string held = std::move(target.heldAnswers.front().second);
        target.heldAnswers.pop_front();
        Send(std::move(held), false);
    }
}

void WebSocketSession::PostInput(Element& target, std::function<void(WebWindow&)> deliver) {
    const Limits& limits = state_.Config().limits;
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - target.inputRefilled).count();
    target.inputTokens = std::min<double>(limits.inputBurst, target.inputTokens + seconds * limits.inputPerSecond);
    target.inputRefilled = now;
    if (target.inputTokens < 1)
        return;
    target.inputTokens -= 1;
    target.window->PostMessage(
        [weak = std::weak_ptr<WebWindow>(target.window), deliver = std::move(deliver)] {
            if (auto window = weak.lock())
                deliver(*window);
        },
        MessageKind::Input);
}

void WebSocketSession::Size(std::uint32_t element, Element& target, const Json& message) {
    const Limits& limits = state_.Config().limits;
    auto width = IntField(message, "w", 0, limits.side);
    auto height = IntField(message, "h", 0, limits.side);
    auto sx = IntField(message, "sx", -kLargestScreen * 8, kLargestScreen * 8);
    auto sy = IntField(message, "sy", -kLargestScreen * 8, kLargestScreen * 8);
    if (!width || !height || *width * *height > limits.area)
        return Error(element, "size needs w and h within the limits side and area");
    const std::optional<unsigned> dpi = DpiField(message);
    if (!dpi)
        return Error(element, "scale must be a number above 0 and at most 16");
    const std::pair<SIZE, POINT> size{
        SIZE{static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)},
        POINT{static_cast<std::int32_t>(sx.value_or(0)), static_cast<std::int32_t>(sy.value_or(0))}};
    std::shared_ptr<PendingSize> pending = target.pendingSize;
    {
        std::lock_guard lock(pending->mutex);
        const bool posted = pending->size.has_value();
        pending->size = size;
        pending->dpi = *dpi;
        if (posted)
            return;  // the window has not taken the last one yet: it takes this one
    }
    std::weak_ptr<WebWindow> weak = target.window;
    target.window->PostMessage([weak, pending] {
        std::optional<std::pair<SIZE, POINT>> size;
        unsigned dpi;
        {
            std::lock_guard lock(pending->mutex);
            size.swap(pending->size);
            dpi = pending->dpi;
        }
        if (auto window = weak.lock(); window && size)
            window->DeliverSize(size->first.cx, size->first.cy, size->second, dpi);
    });
}

void WebSocketSession::Mouse(std::uint32_t element, Element& target, const Json& message) {
    const std::string* event = StringField(message, "e");
    auto x = IntField(message, "x", -kLargestScreen, kLargestScreen);
    auto y = IntField(message, "y", -kLargestScreen, kLargestScreen);
    auto keys = IntField(message, "k", 0, 0xFF);
    if (!event || (*event != "down" && *event != "up" && *event != "move" && *event != "rdown" && *event != "rup") ||
        !x || !y)
        return Error(element, "mouse needs e, x and y");
    PostInput(target, [event = *event, k = static_cast<std::uint32_t>(keys.value_or(0)),
                       point = POINT{static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y)}](WebWindow& window) {
        window.DeliverMouse(event, k, point);
    });
}

void WebSocketSession::Wheel(std::uint32_t element, Element& target, const Json& message) {
    auto x = IntField(message, "x", -kLargestScreen * 8, kLargestScreen * 8);
    auto y = IntField(message, "y", -kLargestScreen * 8, kLargestScreen * 8);
    auto delta = IntField(message, "d", -32768, 32767);
    auto keys = IntField(message, "k", 0, 0xFF);
    if (!x || !y || !delta)
        return Error(element, "wheel needs x, y and d");
    PostInput(target, [k = static_cast<std::uint32_t>(keys.value_or(0)), d = static_cast<std::int16_t>(*delta),
                       point = POINT{static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y)}](WebWindow& window) {
        window.DeliverWheel(k, d, point);
    });
}

void WebSocketSession::Key(std::uint32_t element, Element& target, const Json& message) {
    const std::string* event = StringField(message, "e");
    auto code = IntField(message, "code", 1, 254);
    auto keys = IntField(message, "k", 0, 0xFF);
    if (!event || (*event != "down" && *event != "up") || !code)
        return Error(element, "key needs e, down or up, and code, a virtual-key code");
    // A key's release does nothing in the control; it is taken and dropped.
    if (*event == "up")
        return;
    PostInput(target, [c = static_cast<std::uint32_t>(*code), k = static_cast<std::uint32_t>(keys.value_or(0))](
                          WebWindow& window) { window.DeliverKey(c, k); });
}

void WebSocketSession::Scroll(std::uint32_t element, Element& target, const Json& message) {
    const std::string* bar = StringField(message, "bar");
    auto code = IntField(message, "code", 0, 8);
    auto position = IntField(message, "pos", INT32_MIN, INT32_MAX);
    if (!bar || (*bar != "v" && *bar != "h") || !code)
        return Error(element, "scroll needs bar and code");
    PostInput(target, [which = *bar == "h" ? SB_HORZ : SB_VERT, c = static_cast<int>(*code),
                       p = static_cast<std::int32_t>(position.value_or(0))](WebWindow& window) {
        window.DeliverScroll(which, c, p);
    });
}

void WebSocketSession::Answer(std::uint32_t element, Element& target, const Json& message) {
    auto question = IntField(message, "id", 1, 0xFFFFFFFF);
    auto value = IntField(message, "v", INT32_MIN, INT32_MAX);
    if (!question || !value)
        return Error(element, "answer needs id and v");
    std::weak_ptr<WebWindow> weak = target.window;
    target.window->PostMessage([weak, q = static_cast<std::uint32_t>(*question), v = static_cast<int>(*value)] {
        if (auto window = weak.lock())
            window->DeliverAnswer(q, v);
    });
}

void WebSocketSession::ChildEvent(std::uint32_t element, Element& target, const Json& message) {
    auto child = IntField(message, "h", 1, 0xFFFFFFFF);
    if (child && *child == kTreeViewHandle)
        return TreeEvent(element, target, message);
    auto control = IntField(message, "ctl", INT32_MIN, INT32_MAX);
    const std::string* event = StringField(message, "e");
    // Activation is the dialog's as a whole: it names no control.
    if (event && *event == "activate" && !control && !message.contains("ctl"))
        control = 0;
    if (!child || !control || !event ||
        (*event != "click" && *event != "dropdown" && *event != "colour" && *event != "activate"))
        return Error(element, "childEvent needs h, ctl and e");
    COLORREF colour = 0;
    if (*event == "colour") {
        std::optional<COLORREF> chosen;
        if (const std::string* text = StringField(message, "colour"))
            chosen = ParseColour(*text);
        if (!chosen)
            return Error(element, "childEvent colour must be #rrggbb");
        colour = *chosen;
    }
    DialogValues values;
    if (auto found = message.find("values"); found != message.end()) {
        const std::size_t limit = state_.Config().limits.string;
        if (!found->is_object() || found->size() > kDialogValuesLimit)
            return Error(element, "childEvent values must be an object of edit texts");
        for (const auto& [key, value] : found->items()) {
            std::int32_t id = 0;
            const auto parsed = std::from_chars(key.data(), key.data() + key.size(), id);
            if (parsed.ec != std::errc() || parsed.ptr != key.data() + key.size() || !value.is_string())
                return Error(element, "childEvent values must be an object of edit texts");
            std::wstring text = FromUtf8(value.get<std::string>());
            if (text.size() > limit)
                return Error(element, "childEvent: a text is longer than the limit string");
            values.emplace(id, std::move(text));
        }
    }
    auto deliver = [h = static_cast<WindowHandle>(*child), c = static_cast<std::int32_t>(*control), e = *event,
                    values = std::move(values),
                    colour](WebWindow& window) { window.DeliverChildEvent(h, c, e, values, colour); };
    // The toolbar is the window's input, dropped behind a modal box; a
    // dialog's buttons are what the box waits for.
    if (*child == kToolbarHandle)
        return PostInput(target, std::move(deliver));
    target.window->PostMessage([weak = std::weak_ptr<WebWindow>(target.window), deliver = std::move(deliver)] {
        if (auto window = weak.lock())
            deliver(*window);
    });
}

void WebSocketSession::TreeEvent(std::uint32_t element, Element& target, const Json& message) {
    const std::string* event = StringField(message, "e");
    TreeNotification notification;
    if (event && (*event == "expand" || *event == "select")) {
        auto item = IntField(message, "item", 1, kTreeRoot - 1);
        auto expanded = message.find("v");
        const bool expand = *event == "expand";
        if (!item || (expand && (expanded == message.end() || !expanded->is_boolean())))
            return Error(element, "a tree's expand needs item and v, select needs item");
        notification.kind = expand ? TreeNotification::Kind::Expanded : TreeNotification::Kind::Selected;
        notification.item = static_cast<TreeItem>(*item);
        notification.expanded = expand && expanded->get<bool>();
    } else if (event && *event == "mousemove") {
        auto x = IntField(message, "x", -kLargestScreen, kLargestScreen);
        auto y = IntField(message, "y", -kLargestScreen, kLargestScreen);
        if (!x || !y)
            return Error(element, "a tree's mousemove needs x and y");
        notification.kind = TreeNotification::Kind::MouseMove;
        notification.point = POINT{static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y)};
    } else {
        return Error(element, "a tree's childEvent is expand, select or mousemove");
    }
    // The reader's doing with the tree is input, like the toolbar's.
    PostInput(target, [notification](WebWindow& window) { window.DeliverTreeEvent(notification); });
}

void WebSocketSession::Verb(std::uint32_t element, Element& target, const Json& message) {
    const std::string* verb = StringField(message, "verb");
    if (!verb || *verb != "properties")
        return Error(element, "verb must be properties");
    PostInput(target, [](WebWindow& window) { window.DeliverVerb("properties"); });
}

void WebSocketSession::Close() {
    if (closed_)
        return;
    closed_ = true;
    // The message being written stays until its write completes.
    if (writing_ && !queue_.empty()) {
        queue_.erase(queue_.begin() + 1, queue_.end());
        queuedText_ = queue_.front().counted ? queue_.front().data.size() + kQueuedMessageOverhead : 0;
    } else {
        queue_.clear();
        queuedText_ = 0;
    }
    // The page is gone: its controls go in the order they were made.
    std::vector<std::shared_ptr<WebWindow>> windows;
    for (std::uint32_t element : order_)
        if (auto found = elements_.find(element); found != elements_.end())
            windows.push_back(found->second->window);
    elements_.clear();
    order_.clear();
    if (!windows.empty())
        state_.Reap(std::move(windows), {});
    dropTimer_.cancel();
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
}

void WebSocketSession::Drop(std::uint32_t element, Element& target, const Json& message) {
    const DropLimits& limits = state_.Config().limits.drop;
    // The page sends one drop's chunks before the next drop: chunks after a
    // second one could belong to either, so neither is taken.
    if (target.drop)
        return RefuseDrop(element, target, "a second drop came while one was arriving");
    auto list = message.find("files");
    if (list == message.end() || !list->is_array())
        return RefuseDrop(element, target, "a drop needs its files");
    if (list->size() > limits.files)
        return RefuseDrop(element, target, "a drop may have at most " + std::to_string(limits.files) + " files");
    std::vector<DroppedFile> files;
    for (const Json& file : *list) {
        std::optional<std::int64_t> number = file.is_object() ? IntField(file, "n", 0, 0xFFFFFFFF) : std::nullopt;
        std::optional<std::int64_t> size =
            file.is_object() ? IntField(file, "size", 0, std::numeric_limits<std::int64_t>::max()) : std::nullopt;
        const std::string* name = file.is_object() ? StringField(file, "name") : nullptr;
        if (!number || !size || !name)
            return RefuseDrop(element, target, "each dropped file needs n, name and size");
        files.push_back(DroppedFile{static_cast<std::uint32_t>(*number), *name, static_cast<std::uint64_t>(*size)});
    }
    std::string refusal;
    target.drop = DropStaging::Begin(UserDataFolder(), std::move(files), limits, refusal);
    if (!target.drop)
        return RefuseDrop(element, target, refusal);
    if (target.drop->Complete())
        return HandOverDrop(element, target);
    WatchDrops();
}

void WebSocketSession::DropChunk(std::string_view bytes) {
    if (bytes.size() < kDropChunkHeader || bytes[1] != 0 || bytes[2] != 0 || bytes[3] != 0)
        return Error(0, "a drop chunk needs its header of 16 bytes");
    const std::uint32_t element = LittleEndian32(bytes, 4);
    auto found = elements_.find(element);
    if (found == elements_.end())
        return Error(element, "no such element");
    Element& target = *found->second;
    const auto now = std::chrono::steady_clock::now();
    ExpireDrop(element, target, now);
    // No drop: the rest of one refused already, whose refusal the page has.
    if (closed_ || !target.drop)
        return;
    const std::string refusal =
        target.drop->Accept(LittleEndian32(bytes, 8), LittleEndian32(bytes, 12), bytes.substr(kDropChunkHeader), now);
    if (!refusal.empty())
        return RefuseDrop(element, target, refusal);
    if (target.drop->Complete())
        HandOverDrop(element, target);
}

void WebSocketSession::HandOverDrop(std::uint32_t element, Element& target) {
    // Tells the page how the drop ended once the window lets it go: done
    // when the control has handled it, refused when the window dropped it
    // unrun (behind a modal box, over the input allowance, or closing). The
    // files are gone by then either way.
    struct HandOver {
        std::shared_ptr<DropStaging> staging;
        std::weak_ptr<WebSocketSession> session;
        net::any_io_executor executor;
        std::uint32_t element = 0;
        const WebWindow* window = nullptr;  // identifies the element's window only
        bool handled = false;               // written on the window thread
        ~HandOver() {
            staging.reset();
            net::post(executor, [weak = session, element = element, window = window, handled = handled] {
                auto self = weak.lock();
                if (!self)
                    return;
                auto found = self->elements_.find(element);
                if (found == self->elements_.end() || found->second->window.get() != window)
                    return;
                Json ended = {{"t", handled ? "dropDone" : "dropRefused"}, {"el", element}};
                if (!handled)
                    ended["message"] = "the control could not take the drop now";
                self->Send(ended.dump(), false);
            });
        }
    };
    auto handOver = std::make_shared<HandOver>();
    handOver->staging = std::move(target.drop);
    handOver->session = weak_from_this();
    handOver->executor = ws_.get_executor();
    handOver->element = element;
    handOver->window = target.window.get();
    PostInput(target, [handOver](WebWindow& window) {
        window.DeliverDrop(std::move(handOver->staging));
        handOver->handled = true;
    });
}

void WebSocketSession::RefuseDrop(std::uint32_t element, Element& target, const std::string& message) {
    target.drop.reset();
    Send(Json({{"t", "dropRefused"}, {"el", element}, {"message", message}}).dump(), false);
}

void WebSocketSession::ExpireDrop(std::uint32_t element, Element& target, std::chrono::steady_clock::time_point now) {
    if (target.drop && target.drop->Expired(now))
        RefuseDrop(element, target,
                   "the drop's next chunk did not come within " +
                       std::to_string(state_.Config().limits.drop.idle.count()) + " ms");
}

void WebSocketSession::WatchDrops() {
    std::optional<std::chrono::steady_clock::time_point> earliest;
    for (const auto& [element, state] : elements_)
        if (state->drop && (!earliest || state->drop->Deadline() < *earliest))
            earliest = state->drop->Deadline();
    if (closed_ || !earliest || (dropTimerDue_ && *dropTimerDue_ <= *earliest))
        return;
    dropTimerDue_ = *earliest;
    dropTimer_.expires_at(*earliest);
    dropTimer_.async_wait([weak = weak_from_this()](beast::error_code error) {
        auto self = weak.lock();
        if (error || !self)
            return;
        self->dropTimerDue_.reset();
        const auto now = std::chrono::steady_clock::now();
        for (auto it = self->elements_.begin(); it != self->elements_.end(); ++it) {
            self->ExpireDrop(it->first, *it->second, now);
            if (self->closed_)
                return;  // a refusal past the send-queue limit closed the page
        }
        self->WatchDrops();
    });
}

}  // namespace zov::host
