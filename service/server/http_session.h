#pragma once
// One connection of the server (internal to server/): reads one request
// head at a time, answers it, and reads on, within the connection limits.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>

#include "http/connection_policy.h"
#include "feed/feed_service.h"

struct ServerContext;

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    // `socket`'s executor is the connection's strand. `peer`: its address as
    // written in the log; `trustedPeer`: a proxy the options trust.
    HttpSession(ServerContext& ctx, boost::asio::ip::tcp::socket socket, ConnectionTable::Id id, std::string peer,
                bool trustedPeer);
    ~HttpSession();

    void Start();
    // Ends the connection; from any thread.
    void Close();

private:
    using Clock = std::chrono::steady_clock;

    void ReadMore();
    void TakeRequest();
    void Answer();
    void Refuse(ServiceReply reply, bool close, const std::string& method, const std::string& target);
    void Send(ServiceReply reply, bool head, bool close, const std::string& method, const std::string& target,
              const std::string& client);
    void WaitForRequest();
    void Linger();
    void Drain();
    void Shut();

    ServerContext& ctx_;
    boost::asio::ip::tcp::socket socket_;
    const ConnectionTable::Id id_;
    const std::string peer_;
    const bool trustedPeer_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::empty_body>> parser_;
    std::size_t taken_ = 0;  // bytes of the current head the parser has taken
    std::string out_;
    std::string method_, target_;
    int served_ = 0;
    bool closed_ = false;
    bool headStarted_ = false;  // bytes of the next request have come
    Clock::time_point waitingSince_;
};
