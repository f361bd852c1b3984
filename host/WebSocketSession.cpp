#include "host/Server.h"

#include "host/WebWindow.h"
#include "platform/Encoding.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>

namespace zov::host {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Json = nlohmann::json;

namespace {

constexpr std::size_t kHeaderLimit = 8192;
constexpr std::size_t kRequestBodyLimit = 4096;
constexpr std::int64_t kLargestWindow = 16384;
constexpr auto kHttpIdle = std::chrono::seconds(30);

std::string ContentType(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".html")
        return "text/html; charset=utf-8";
    if (extension == ".js" || extension == ".mjs")
        return "text/javascript; charset=utf-8";
    if (extension == ".css")
        return "text/css; charset=utf-8";
    if (extension == ".json")
        return "application/json";
    if (extension == ".png")
        return "image/png";
    if (extension == ".svg")
        return "image/svg+xml";
    return "application/octet-stream";
}

// The part of the web folder pages may fetch: the element script and the
// demo pages. Nothing with a way up, an escape or a hidden name.
std::optional<std::filesystem::path> StaticPath(const std::filesystem::path& root, std::string_view target) {
    if (target == "/zov.js")
        return root / "zov.js";
    if (target.substr(0, 6) != "/demo/")
        return std::nullopt;
    std::string_view rest = target.substr(6);
    if (rest.find("..") != std::string_view::npos || rest.find('\\') != std::string_view::npos ||
        rest.find('%') != std::string_view::npos || rest.find("//") != std::string_view::npos ||
        rest.find("/.") != std::string_view::npos || (!rest.empty() && rest.front() == '.') ||
        rest.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::filesystem::path path = root / "demo" / std::string(rest);
    if (rest.empty() || rest.back() == '/')
        path /= "index.html";
    return path;
}

std::string DemoCorpus(const std::filesystem::path& demo) {
    Json files = Json::array();
    Json captions = Json::array();
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(demo / "corpus", error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.empty() && name.front() != '.')
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    for (const std::filesystem::path& path : found) {
        files.push_back(path.string());
        captions.push_back(path.stem().string());
    }
    Json body = {{"previewRoot", (demo / "previews").string()}, {"files", files}, {"captions", captions}};
    return body.dump();
}

// UTF-16 code units of a UTF-8 text, for the string limit.
std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if ((c & 0xF8) == 0xF0)
            ++units;  // a character beyond the basic plane takes two
    }
    return units;
}

// Reads an integer field within [low, high].
std::optional<std::int64_t> IntField(const Json& message, const char* name, std::int64_t low, std::int64_t high) {
    auto it = message.find(name);
    if (it == message.end() || !it->is_number_integer())
        return std::nullopt;
    const std::int64_t value = it->is_number_unsigned()
                                   ? static_cast<std::int64_t>(std::min<std::uint64_t>(it->get<std::uint64_t>(),
                                                                                       std::uint64_t{1} << 62))
                                   : it->get<std::int64_t>();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

const std::string* StringField(const Json& message, const char* name) {
    auto it = message.find(name);
    if (it == message.end() || !it->is_string())
        return nullptr;
    return it->get_ptr<const std::string*>();
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

class WsSession;

// The windows' way back to their connection: everything is posted to the
// connection's thread, and dropped once the connection is gone.
class SessionLink final : public ElementLink {
public:
    SessionLink(std::weak_ptr<WsSession> session, net::any_io_executor executor)
        : session_(std::move(session)), executor_(std::move(executor)) {}
    void SendText(std::string message) override;
    void FrameReady(std::uint32_t element) override;

private:
    std::weak_ptr<WsSession> session_;
    net::any_io_executor executor_;
};

class WsSession final : public Connection, public std::enable_shared_from_this<WsSession> {
public:
    WsSession(Server& server, tcp::socket socket) : server_(server), ws_(std::move(socket)) {}
    ~WsSession() override {
        if (admitted_)
            server_.ConnectionClosed();
    }

    // Over the connection limit: closed before the handshake.
    void Refuse() {
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().close(ignored);
    }

    void Accept(http::request<http::string_body> request) {
        admitted_ = true;
        ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws_.set_option(websocket::stream_base::decorator(
            [](websocket::response_type& response) { response.set(http::field::server, "zov-host"); }));
        ws_.read_message_max(server_.Config().limits.message);
        // Frames are megabytes: one WebSocket frame each, written in one go,
        // and small answers leave at once rather than wait for more to send.
        ws_.auto_fragment(false);
        beast::get_lowest_layer(ws_).socket().set_option(tcp::no_delay(true));
        link_ = std::make_shared<SessionLink>(weak_from_this(), ws_.get_executor());
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            if (error)
                return self->Close();
            const Limits& limits = self->server_.Config().limits;
            Json hello = {{"t", "hello"},
                          {"v", 1},
                          {"limits",
                           {{"message", limits.message},
                            {"elements", limits.elements},
                            {"string", limits.string},
                            {"calls", limits.calls}}}};
            self->Send(hello.dump(), false);
            self->Read();
        });
    }

    void Send(std::string data, bool binary) {
        if (closed_)
            return;
        queue_.push_back(Outgoing{std::move(data), binary});
        if (!writing_)
            WriteNext();
    }

    void PumpFrame(std::uint32_t element) {
        auto found = elements_.find(element);
        if (closed_ || found == elements_.end() || !found->second->created)
            return;
        if (std::optional<EncodedFrame> frame = found->second->window->TakeFrame())
            Send(std::move(frame->bytes), true);
    }

    void Shutdown() override {
        net::post(ws_.get_executor(), [self = shared_from_this()] {
            beast::error_code ignored;
            beast::get_lowest_layer(self->ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
            beast::get_lowest_layer(self->ws_).socket().close(ignored);
        });
    }

private:
    struct Outgoing {
        std::string data;
        bool binary;
    };
    struct Element {
        std::shared_ptr<WebWindow> window;
        std::span<const DispatchMember> members;
        bool created = false;
        std::shared_ptr<std::atomic<int>> waiting = std::make_shared<std::atomic<int>>(0);
    };

    void Read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error)
                return self->Close();
            if (!self->ws_.got_text()) {
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

    void WriteNext() {
        if (queue_.empty() || closed_) {
            writing_ = false;
            return;
        }
        writing_ = true;
        ws_.binary(queue_.front().binary);
        ws_.async_write(net::buffer(queue_.front().data),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            if (!self->queue_.empty())
                                self->queue_.pop_front();
                            if (error)
                                return self->Close();
                            self->WriteNext();
                        });
    }

    void Error(std::uint32_t element, const std::string& message) {
        Json error = {{"t", "error"}, {"message", message}};
        if (element != 0)
            error["el"] = element;
        Send(error.dump(), false);
    }

    void Handle(const std::string& text) {
        Json message = Json::parse(text, nullptr, false);
        if (message.is_discarded() || !message.is_object())
            return Error(0, "a message must be a JSON object");
        const std::string* type = StringField(message, "t");
        if (!type)
            return Error(0, "a message needs its type, t");
        std::optional<std::int64_t> elementField = IntField(message, "el", 1, 0xFFFFFFFF);
        if (!elementField)
            return Error(0, "a message needs its element, el");
        const auto element = static_cast<std::uint32_t>(*elementField);
        if (*type == "create")
            return Create(element, message);
        auto found = elements_.find(element);
        if (found == elements_.end())
            return Error(element, "no such element");
        Element& target = *found->second;
        if (*type == "destroy")
            return DestroyElement(element);
        if (*type == "frameAck") {
            if (std::optional<std::int64_t> sequence = IntField(message, "seq", 0, 0xFFFFFFFF))
                target.window->FrameAcked(static_cast<std::uint32_t>(*sequence));
            return;
        }
        if (!target.created)
            return Error(element, "the element is not ready");
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
        if (*type == "key")
            return;  // reserved: the control has no keyboard handling
        Error(element, "unknown message type " + *type);
    }

    void Create(std::uint32_t element, const Json& message) {
        if (elements_.count(element))
            return Error(element, "the element exists already");
        if (elements_.size() >= server_.Config().limits.elements)
            return Error(element, "too many elements on this page");
        const std::string* name = StringField(message, "clsid");
        if (!name)
            name = StringField(message, "progid");
        if (!name || name->empty() || name->size() > 200)
            return Error(element, "create needs a clsid or progid");
        auto width = IntField(message, "w", 0, kLargestWindow);
        auto height = IntField(message, "h", 0, kLargestWindow);
        auto sx = IntField(message, "sx", -kLargestWindow * 8, kLargestWindow * 8);
        auto sy = IntField(message, "sy", -kLargestWindow * 8, kLargestWindow * 8);
        if (!width || !height)
            return Error(element, "create needs the size, w and h");
        std::string error;
        IClassFactory* factory = server_.Loader().Factory(*name, error);
        if (!factory)
            return Error(element, error);
        auto state = std::make_shared<Element>();
        state->window = std::make_shared<WebWindow>(
            element, link_, SIZE{static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)},
            POINT{static_cast<std::int32_t>(sx.value_or(0)), static_cast<std::int32_t>(sy.value_or(0))});
        elements_.emplace(element, state);
        order_.push_back(element);
        std::weak_ptr<WsSession> weak = weak_from_this();
        net::any_io_executor executor = ws_.get_executor();
        state->window->Start(factory, server_.SpeedCommand(),
                             [weak, executor, element](std::span<const DispatchMember> members, const std::string& error) {
                                 net::post(executor, [weak, element, members, error] {
                                     if (auto self = weak.lock())
                                         self->Created(element, members, error);
                                 });
                             });
    }

    void Created(std::uint32_t element, std::span<const DispatchMember> members, const std::string& error) {
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

    void DestroyElement(std::uint32_t element, bool answer = true) {
        auto found = elements_.find(element);
        if (found == elements_.end())
            return;
        std::shared_ptr<WebWindow> window = found->second->window;
        elements_.erase(found);
        order_.erase(std::remove(order_.begin(), order_.end(), element), order_.end());
        std::shared_ptr<ElementLink> link = link_;
        server_.Reap({window}, [link, element, answer] {
            if (answer)
                link->SendText(Json({{"t", "destroyed"}, {"el", element}}).dump());
        });
    }

    void Call(std::uint32_t element, Element& target, const Json& message) {
        std::optional<std::int64_t> id = IntField(message, "id", 0, std::int64_t{1} << 53);
        if (!id)
            return Error(element, "a call needs its id");
        auto fail = [&](const std::string& text) {
            Send(Json({{"t", "return"}, {"el", element}, {"id", *id}, {"error", text}}).dump(), false);
        };
        const DispatchMember* member = nullptr;
        if (const std::string* name = StringField(message, "m"))
            member = FindMember(target.members, *name);
        else if (std::optional<std::int64_t> dispid = IntField(message, "d", INT32_MIN, INT32_MAX))
            member = FindMember(target.members, static_cast<DISPID>(*dispid));
        if (!member)
            return fail("no such method");
        auto argsField = message.find("a");
        if (argsField == message.end() || !argsField->is_array())
            return fail(std::string(member->name) + ": the arguments, a, must be an array");
        if (argsField->size() != member->args.size())
            return fail(std::string(member->name) + ": " + std::to_string(member->args.size()) +
                        " arguments expected");
        std::vector<Variant> args;
        for (std::size_t i = 0; i < member->args.size(); ++i) {
            const Json& value = (*argsField)[i];
            const std::string where = std::string(member->name) + ": argument " + std::to_string(i + 1);
            switch (member->args[i]) {
            case VarType::String:
                if (!value.is_string())
                    return fail(where + " must be a string");
                if (Utf16Length(value.get_ref<const std::string&>()) > server_.Config().limits.string)
                    return fail(where + " is too long");
                args.emplace_back(FromUtf8(value.get_ref<const std::string&>()));
                break;
            case VarType::Long:
                if (!value.is_number_integer() ||
                    (value.is_number_unsigned() ? value.get<std::uint64_t>() > INT32_MAX
                                                : (value.get<std::int64_t>() < INT32_MIN ||
                                                   value.get<std::int64_t>() > INT32_MAX)))
                    return fail(where + " must be a 32-bit integer");
                args.emplace_back(static_cast<std::int32_t>(value.get<std::int64_t>()));
                break;
            case VarType::Bool:
                if (!value.is_boolean())
                    return fail(where + " must be true or false");
                args.emplace_back(value.get<bool>());
                break;
            default:
                return fail(where + " cannot be passed from a page");
            }
        }
        if (target.waiting->load() >= server_.Config().limits.calls)
            return fail("too many calls waiting");
        ++*target.waiting;
        std::shared_ptr<std::atomic<int>> waiting = target.waiting;
        std::weak_ptr<WebWindow> weakWindow = target.window;
        std::shared_ptr<ElementLink> link = link_;
        const DISPID dispid = member->id;
        const std::int64_t callId = *id;
        const bool posted = target.window->PostMessage([weakWindow, link, waiting, element, dispid, callId,
                                                        args = std::move(args)] {
            --*waiting;
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
            link->SendText(reply.dump());
        });
        if (!posted) {
            --*target.waiting;
            fail("the element is closing");
        }
    }

    void Size(std::uint32_t element, Element& target, const Json& message) {
        auto width = IntField(message, "w", 0, kLargestWindow);
        auto height = IntField(message, "h", 0, kLargestWindow);
        auto sx = IntField(message, "sx", -kLargestWindow * 8, kLargestWindow * 8);
        auto sy = IntField(message, "sy", -kLargestWindow * 8, kLargestWindow * 8);
        if (!width || !height)
            return Error(element, "size needs w and h");
        std::weak_ptr<WebWindow> weak = target.window;
        POINT origin{static_cast<std::int32_t>(sx.value_or(0)), static_cast<std::int32_t>(sy.value_or(0))};
        target.window->PostMessage([weak, w = static_cast<std::int32_t>(*width), h = static_cast<std::int32_t>(*height),
                                    origin] {
            if (auto window = weak.lock())
                window->DeliverSize(w, h, origin);
        });
    }

    void Mouse(std::uint32_t element, Element& target, const Json& message) {
        const std::string* event = StringField(message, "e");
        auto x = IntField(message, "x", -kLargestWindow, kLargestWindow);
        auto y = IntField(message, "y", -kLargestWindow, kLargestWindow);
        auto keys = IntField(message, "k", 0, 0xFF);
        if (!event || (*event != "down" && *event != "up" && *event != "move" && *event != "rdown" && *event != "rup") ||
            !x || !y)
            return Error(element, "mouse needs e, x and y");
        std::weak_ptr<WebWindow> weak = target.window;
        target.window->PostMessage([weak, event = *event, k = static_cast<std::uint32_t>(keys.value_or(0)),
                                    point = POINT{static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y)}] {
            if (auto window = weak.lock())
                window->DeliverMouse(event, k, point);
        });
    }

    void Wheel(std::uint32_t element, Element& target, const Json& message) {
        auto x = IntField(message, "x", -kLargestWindow * 8, kLargestWindow * 8);
        auto y = IntField(message, "y", -kLargestWindow * 8, kLargestWindow * 8);
        auto delta = IntField(message, "d", -32768, 32767);
        auto keys = IntField(message, "k", 0, 0xFF);
        if (!x || !y || !delta)
            return Error(element, "wheel needs x, y and d");
        std::weak_ptr<WebWindow> weak = target.window;
        target.window->PostMessage([weak, k = static_cast<std::uint32_t>(keys.value_or(0)),
                                    d = static_cast<std::int16_t>(*delta),
                                    point = POINT{static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y)}] {
            if (auto window = weak.lock())
                window->DeliverWheel(k, d, point);
        });
    }

    void Scroll(std::uint32_t element, Element& target, const Json& message) {
        const std::string* bar = StringField(message, "bar");
        auto code = IntField(message, "code", 0, 8);
        auto position = IntField(message, "pos", INT32_MIN, INT32_MAX);
        if (!bar || (*bar != "v" && *bar != "h") || !code)
            return Error(element, "scroll needs bar and code");
        std::weak_ptr<WebWindow> weak = target.window;
        target.window->PostMessage([weak, which = *bar == "h" ? SB_HORZ : SB_VERT, c = static_cast<int>(*code),
                                    p = static_cast<std::int32_t>(position.value_or(0))] {
            if (auto window = weak.lock())
                window->DeliverScroll(which, c, p);
        });
    }

    void Answer(std::uint32_t element, Element& target, const Json& message) {
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

    void Close() {
        if (closed_)
            return;
        closed_ = true;
        queue_.clear();
        // The page is gone: its controls go in the order they were made.
        std::vector<std::shared_ptr<WebWindow>> windows;
        for (std::uint32_t element : order_)
            if (auto found = elements_.find(element); found != elements_.end())
                windows.push_back(found->second->window);
        elements_.clear();
        order_.clear();
        if (!windows.empty())
            server_.Reap(std::move(windows), {});
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().close(ignored);
    }

    Server& server_;
    websocket::stream<beast::tcp_stream> ws_;
    beast::flat_buffer buffer_;
    std::deque<Outgoing> queue_;
    bool writing_ = false;
    bool closed_ = false;
    bool admitted_ = false;
    std::map<std::uint32_t, std::shared_ptr<Element>> elements_;
    std::vector<std::uint32_t> order_;
    std::shared_ptr<ElementLink> link_;
};

void SessionLink::SendText(std::string message) {
    net::post(executor_, [weak = session_, message = std::move(message)]() mutable {
        if (auto session = weak.lock())
            session->Send(std::move(message), false);
    });
}

void SessionLink::FrameReady(std::uint32_t element) {
    net::post(executor_, [weak = session_, element] {
        if (auto session = weak.lock())
            session->PumpFrame(element);
    });
}

class HttpSession final : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(Server& server, tcp::socket socket) : server_(server), stream_(std::move(socket)) {}

    void Read() {
        parser_.emplace();
        parser_->header_limit(kHeaderLimit);
        parser_->body_limit(kRequestBodyLimit);
        stream_.expires_after(kHttpIdle);
        http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error)
                return self->Close();
            self->Route(self->parser_->release());
        });
    }

private:
    void Route(http::request<http::string_body> request) {
        // Before anything else: a name other than our own loopback address
        // is how a rebound DNS name reaches us.
        const std::string host(request[http::field::host]);
        if (!HostAllowed(host, server_.Port()))
            return Reply(request, http::status::misdirected_request, "text/plain", "This server answers only for its loopback address.\n");
        if (websocket::is_upgrade(request)) {
            if (request.target() != "/ws")
                return Reply(request, http::status::not_found, "text/plain", "Not found.\n");
            const std::string origin(request[http::field::origin]);
            if (!server_.Origins().Allowed(origin))
                return Reply(request, http::status::forbidden, "text/plain", "This origin may not use the viewer.\n");
            stream_.expires_never();
            auto session = std::make_shared<WsSession>(server_, stream_.release_socket());
            if (!server_.AdmitConnection(session)) {
                session->Refuse();
                return;
            }
            session->Accept(std::move(request));
            return;
        }
        if (request.method() != http::verb::get && request.method() != http::verb::head)
            return Reply(request, http::status::method_not_allowed, "text/plain", "Only GET.\n");
        std::string target(request.target());
        if (std::size_t query = target.find('?'); query != std::string::npos)
            target.resize(query);
        if (target == "/" || target == "/demo") {
            http::response<http::string_body> response{http::status::found, request.version()};
            response.set(http::field::location, "/demo/");
            return Send(request, std::move(response));
        }
        if (target == "/demo/corpus.json" && server_.Config().demoDir)
            return Reply(request, http::status::ok, "application/json", DemoCorpus(*server_.Config().demoDir));
        std::optional<std::filesystem::path> path = StaticPath(server_.Config().webRoot, target);
        std::error_code error;
        if (!path || !std::filesystem::is_regular_file(*path, error))
            return Reply(request, http::status::not_found, "text/plain", "Not found.\n");
        std::ifstream in(*path, std::ios::binary);
        std::ostringstream body;
        body << in.rdbuf();
        Reply(request, http::status::ok, ContentType(*path), body.str());
    }

    void Reply(const http::request<http::string_body>& request, http::status status, const std::string& type,
               std::string body) {
        http::response<http::string_body> response{status, request.version()};
        response.set(http::field::content_type, type);
        response.body() = request.method() == http::verb::head ? std::string() : std::move(body);
        Send(request, std::move(response));
    }

    void Send(const http::request<http::string_body>& request, http::response<http::string_body> response) {
        response.set(http::field::server, "zov-host");
        response.set("X-Content-Type-Options", "nosniff");
        response.set(http::field::cache_control, "no-store");
        // Pages of other sites embed the element script.
        response.set("Cross-Origin-Resource-Policy", "cross-origin");
        const bool ok = response.result() == http::status::ok || response.result() == http::status::found;
        response.keep_alive(ok && request.keep_alive());
        response.prepare_payload();
        auto shared = std::make_shared<http::response<http::string_body>>(std::move(response));
        http::async_write(stream_, *shared, [self = shared_from_this(), shared](beast::error_code error, std::size_t) {
            if (error || !shared->keep_alive())
                return self->Close();
            self->buffer_.consume(self->buffer_.size());
            self->Read();
        });
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.close();
    }

    Server& server_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
};

}  // namespace

class Listener final : public std::enable_shared_from_this<Listener> {
public:
    Listener(net::io_context& io, Server& server) : io_(io), server_(server), acceptor_(io) {}

    bool Open(std::uint16_t port, std::string& error) {
        beast::error_code code;
        const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), port);
        acceptor_.open(endpoint.protocol(), code);
        if (!code)
            acceptor_.set_option(net::socket_base::reuse_address(true), code);
        if (!code)
            acceptor_.bind(endpoint, code);
        if (!code)
            acceptor_.listen(net::socket_base::max_listen_connections, code);
        if (code) {
            error = code.message();
            return false;
        }
        return true;
    }
    std::uint16_t Port() const { return acceptor_.local_endpoint().port(); }

    void Accept() {
        acceptor_.async_accept(net::make_strand(io_), [self = shared_from_this()](beast::error_code error, tcp::socket socket) {
            if (error == net::error::operation_aborted || !self->acceptor_.is_open())
                return;
            if (!error)
                std::make_shared<HttpSession>(self->server_, std::move(socket))->Read();
            self->Accept();
        });
    }

    void Close() {
        beast::error_code ignored;
        acceptor_.close(ignored);
    }

private:
    net::io_context& io_;
    Server& server_;
    tcp::acceptor acceptor_;
};

Server::Server(net::io_context& io, HostConfig config)
    : io_(io), config_(std::move(config)), origins_(config_.port) {}

Server::~Server() {
    Wait();
}

bool Server::Listen(std::string& error) {
    listener_ = std::make_shared<Listener>(io_, *this);
    if (!listener_->Open(config_.port, error))
        return false;
    port_ = listener_->Port();
    origins_ = OriginPolicy(port_);
    for (const std::string& origin : config_.allowOrigins)
        if (!origins_.Allow(origin)) {
            error = "not an origin: " + origin;
            return false;
        }
    listener_->Accept();
    return true;
}

void Server::Stop() {
    if (listener_)
        listener_->Close();
    std::vector<std::shared_ptr<Connection>> open;
    {
        std::lock_guard lock(reapersMutex_);
        for (const std::weak_ptr<Connection>& weak : connections_)
            if (auto connection = weak.lock())
                open.push_back(std::move(connection));
    }
    for (const std::shared_ptr<Connection>& connection : open)
        connection->Shutdown();
}

void Server::Wait() {
    std::vector<Reaper> reapers;
    {
        std::lock_guard lock(reapersMutex_);
        reapers.swap(reapers_);
    }
    for (Reaper& reaper : reapers)
        if (reaper.thread.joinable())
            reaper.thread.join();
}

std::uint32_t Server::SpeedCommand() const {
    // The speed menu's items, fastest first.
    constexpr int kSpeeds[] = {50, 20, 10, 5, 2};
    for (std::uint32_t i = 0; i < std::size(kSpeeds); ++i)
        if (kSpeeds[i] == config_.speed)
            return 32787 + i;
    return 0;
}

void Server::Reap(std::vector<std::shared_ptr<WebWindow>> windows, std::function<void()> done) {
    std::lock_guard lock(reapersMutex_);
    // Reapers that have finished are joined as new ones come.
    for (auto it = reapers_.begin(); it != reapers_.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = reapers_.erase(it);
        } else {
            ++it;
        }
    }
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([windows = std::move(windows), done = std::move(done), finished]() mutable {
        for (std::shared_ptr<WebWindow>& window : windows) {
            window->Destroy();
            window->Join();
            window.reset();
        }
        if (done)
            done();
        *finished = true;
    });
    reapers_.push_back(Reaper{std::move(thread), std::move(finished)});
}

bool Server::AdmitConnection(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(reapersMutex_);
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                      [](const std::weak_ptr<Connection>& weak) { return weak.expired(); }),
                       connections_.end());
    if (connectionCount_ >= config_.limits.connections)
        return false;
    ++connectionCount_;
    connections_.push_back(connection);
    return true;
}

void Server::ConnectionClosed() {
    std::lock_guard lock(reapersMutex_);
    if (connectionCount_ > 0)
        --connectionCount_;
}

}  // namespace zov::host
