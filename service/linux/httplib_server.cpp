#include "linux/httplib_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "core/http_reply.h"
#include "core/http_request.h"
#include "core/request_log.h"

namespace {

void Send(httplib::Response& res, const ServiceReply& r) {
    res.status = r.status;
    if (!r.cache.empty()) res.set_header("X-Cache", r.cache);
    res.set_content(r.body, r.contentType.c_str());
}

}  // namespace

FeedHttpServer::FeedHttpServer(FeedRouter& router, std::function<void(const std::string&)> log, int threads)
    : router_(router), log_(std::move(log)), server_(std::make_unique<httplib::Server>()) {
    httplib::Server& s = *server_;
    const ConnectionRules rules;
    const std::size_t workers = threads > 0 ? static_cast<std::size_t>(threads) : 32;
    s.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    // Headers and body go out back to back; no Nagle pause between them.
    s.set_tcp_nodelay(true);
    // The library's default adds SO_REUSEPORT, which lets a second copy of
    // the service share the port silently; a port in use must be an error.
    s.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    s.set_keep_alive_max_count(static_cast<std::size_t>(rules.maxRequests));
    // The card opens a new connection for every request and may leave the
    // old one open: free its worker soon.
    s.set_keep_alive_timeout(rules.keepAliveSeconds);
    s.set_read_timeout(rules.requestSeconds);
    s.set_write_timeout(rules.writeSeconds);
    s.set_payload_max_length(RequestLimits{}.maxBodyBytes);

    // Every request that cpp-httplib can read goes to the core's router,
    // whatever its method and path.
    const auto route = [this](const httplib::Request& req, httplib::Response& res) {
        Send(res, router_.Answer(req.method, req.target));
        return httplib::Server::HandlerResponse::Handled;
    };
    s.set_pre_routing_handler(route);
    // cpp-httplib's own refusals: 414 for a request line over its limit, 400 for the rest.
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;
        Send(res, UnreadableRequestReply(res.status == 414 ? 414 : 400));
    });
    s.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        ServiceReply shown;
        shown.status = res.status;
        shown.body = res.body;
        shown.cache = res.get_header_value("X-Cache");
        log_(RequestLogLine(static_cast<int64_t>(std::time(nullptr)), req.remote_addr, req.method, req.target, shown));
    });
}

FeedHttpServer::~FeedHttpServer() = default;

int FeedHttpServer::Bind(const std::string& host, int port) {
    if (port == 0) return server_->bind_to_any_port(host);
    return server_->bind_to_port(host, port) ? port : -1;
}

bool FeedHttpServer::Run() { return server_->listen_after_bind(); }

void FeedHttpServer::WaitUntilRunning() const {
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void FeedHttpServer::Stop() { server_->stop(); }
