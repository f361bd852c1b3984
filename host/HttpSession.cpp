#include "host/HttpSession.h"

#include "host/Security.h"
#include "host/SharedState.h"
#include "host/WebSocketSession.h"

#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/rfc6455.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace zov::host {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;
using Json = nlohmann::json;

namespace {

constexpr std::size_t kHeaderLimit = 8192;
constexpr std::size_t kRequestBodyLimit = 4096;
constexpr auto kHttpIdle = std::chrono::seconds(30);

std::string ContentType(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".html")
        return "text/html; charset=utf-8";
    if (extension == ".js" || extension == ".mjs")
        return "text/javascript; charset=utf-8";
    if (extension == ".css")
        return "text/css; charset=utf-8";
    if (extension == ".json" || extension == ".map")
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
    if (target == "/zov.js" || target == "/zov.js.map")
        return root / std::string(target.substr(1));
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

}  // namespace

HttpSession::HttpSession(SharedState& state, tcp::socket socket) : state_(state), stream_(std::move(socket)) {}

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
    const std::string host(request[http::field::host]);
    if (!HostAllowed(host, state_.Port()))
        return Reply(request, http::status::misdirected_request, "text/plain", "This server answers only for its loopback address.\n");
    if (websocket::is_upgrade(request)) {
        if (request.target() != "/ws")
            return Reply(request, http::status::not_found, "text/plain", "Not found.\n");
        const std::string origin(request[http::field::origin]);
        if (!state_.Origins().Allowed(origin))
            return Reply(request, http::status::forbidden, "text/plain", "This origin may not use the viewer.\n");
        stream_.expires_never();
        auto session = std::make_shared<WebSocketSession>(state_, stream_.release_socket());
        if (!state_.AdmitConnection(session)) {
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
    std::optional<std::filesystem::path> path = StaticPath(state_.Config().webRoot, target);
    std::error_code error;
    if (!path || !std::filesystem::is_regular_file(*path, error))
        return Reply(request, http::status::not_found, "text/plain", "Not found.\n");
    std::ifstream in(*path, std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    Reply(request, http::status::ok, ContentType(*path), body.str());
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
