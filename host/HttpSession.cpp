#include "host/HttpSession.h"

#include "host/Security.h"
#include "host/SharedState.h"
#include "host/StaticFiles.h"
#include "host/WebSocketSession.h"

#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include <chrono>

namespace zov::host {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

namespace {

constexpr std::size_t kHeaderLimit = 8192;
constexpr std::size_t kRequestBodyLimit = 4096;
constexpr auto kHttpIdle = std::chrono::seconds(30);

}  // namespace

HttpSession::HttpSession(SharedState& state, tcp::socket socket) : state_(state), stream_(std::move(socket)) {}

HttpSession::~HttpSession() {
    state_.HttpClosed();
}

void HttpSession::Read() {
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

void HttpSession::Route(Request request) {
    // Before anything else: a name other than our own loopback address
    // is how a rebound DNS name reaches us.
    // Two Host headers leave the server and a proxy free to read different
    // ones; HTTP makes that a bad request.
    if (request.count(http::field::host) != 1)
        return Reply(request, http::status::bad_request, "text/plain", "A request names its host once.\n");
    const std::string host(request[http::field::host]);
    if (!HostAllowed(host, state_.Port()))
        return Reply(request, http::status::misdirected_request, "text/plain", "This server answers only for its loopback address.\n");
    if (websocket::is_upgrade(request)) {
        if (request.target() != "/ws")
            return Reply(request, http::status::not_found, "text/plain", "Not found.\n");
        const std::string origin(request[http::field::origin]);
        if (request.count(http::field::origin) != 1 || !state_.Origins().Allowed(origin))
            return Reply(request, http::status::forbidden, "text/plain", "This origin may not use the viewer.\n");
        stream_.expires_never();
        const std::string page = NormaliseOrigin(origin);
        auto session = std::make_shared<WebSocketSession>(state_, stream_.release_socket(), page);
        if (!state_.AdmitConnection(session, page)) {
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
        Response response{http::status::found, request.version()};
        response.set(http::field::location, "/demo/");
        return Send(request, std::move(response));
    }
    if (target == "/demo/corpus.json" && state_.Config().demoDir)
        return Reply(request, http::status::ok, "application/json", DemoCorpus(*state_.Config().demoDir));
    if (target.starts_with(kLaunchPrefix)) {
        std::optional<std::string> page = state_.LaunchPages().Page(std::string_view(target).substr(kLaunchPrefix.size()));
        if (!page)
            return Reply(request, http::status::not_found, "text/plain", "This window was opened too late.\n");
        return Reply(request, http::status::ok, "text/html; charset=UTF-8", std::move(*page));
    }
    std::optional<StaticFile> file = ReadStaticFile(state_.Config().webRoot, target);
    if (!file)
        return Reply(request, http::status::not_found, "text/plain", "Not found.\n");
    Reply(request, http::status::ok, file->type, std::move(file->body));
}

void HttpSession::Reply(const Request& request, http::status status, const std::string& type, std::string body) {
    Response response{status, request.version()};
    response.set(http::field::content_type, type);
    response.body() = request.method() == http::verb::head ? std::string() : std::move(body);
    Send(request, std::move(response));
}

void HttpSession::Send(const Request& request, Response response) {
    response.set(http::field::server, "zov-host");
    response.set("X-Content-Type-Options", "nosniff");
    response.set(http::field::cache_control, "no-store");
    // Pages of other sites embed the element script.
    response.set("Cross-Origin-Resource-Policy", "cross-origin");
    const bool ok = response.result() == http::status::ok || response.result() == http::status::found;
    response.keep_alive(ok && request.keep_alive());
    response.prepare_payload();
    auto shared = std::make_shared<Response>(std::move(response));
    http::async_write(stream_, *shared, [self = shared_from_this(), shared](beast::error_code error, std::size_t) {
        if (error || !shared->keep_alive())
            return self->Close();
        self->buffer_.consume(self->buffer_.size());
        self->Read();
    });
}

void HttpSession::Close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.close();
}

}  // namespace zov::host
