// One HTTP connection of a page: the Host check first, then the upgrade to a
// WebSocket session (with the Origin check), the element script and the demo
// pages. Lives on its connection's strand and keeps itself alive through its
// pending operations.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <memory>
#include <optional>
#include <string>

namespace zov::host {

class SharedState;

class HttpSession final : public std::enable_shared_from_this<HttpSession> {
public:
    using Request = boost::beast::http::request<boost::beast::http::string_body>;
    using Response = boost::beast::http::response<boost::beast::http::string_body>;

    // The listener has counted the connection in (SharedState::AdmitHttp).
    HttpSession(SharedState& state, boost::asio::ip::tcp::socket socket);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Reads the next request; the session ends when the page closes or idles.
    void Read();

private:
    void Route(Request request);
    void Reply(const Request& request, boost::beast::http::status status, const std::string& type, std::string body);
    void Send(const Request& request, Response response);
    void Close();

    SharedState& state_;  // not owned; outlives every session
    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
};

}  // namespace zov::host
