#include "http_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "feed_service.h"
#include "query.h"

namespace {

std::string RawQuery(const httplib::Request& req) {
    const std::size_t q = req.target.find('?');
    return q == std::string::npos ? "" : req.target.substr(q + 1);
}

void Send(httplib::Response& res, const ServiceReply& r) {
    res.status = r.status;
    if (!r.cache.empty()) res.set_header("X-Cache", r.cache);
    res.set_content(r.body, r.contentType.c_str());
}

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace

std::string LoggableTarget(const std::string& target, std::size_t max) {
    std::string out;
    for (unsigned char c : target) {
        if (out.size() >= max) {
            out += "...";
            break;
        }
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

FeedHttpServer::FeedHttpServer(FeedService& service, std::ostream& log, int threads)
    : service_(service), log_(log), server_(std::make_unique<httplib::Server>()) {
    httplib::Server& s = *server_;
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
    s.set_keep_alive_max_count(100);
    // The card opens a new connection for every request and may leave the
    // old one open: free its worker soon.
    s.set_keep_alive_timeout(2);
    s.set_read_timeout(5);
    s.set_write_timeout(5);
    s.set_payload_max_length(8192);

    s.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (RawQuery(req).size() > kMaxQueryLength) {
            res.status = 414;
            res.set_content("Query string too long.\n", "text/plain; charset=us-ascii");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.Get("/forecastrss", [this](const httplib::Request& req, httplib::Response& res) {
        Send(res, service_.Weather(RawQuery(req)));
    });
    s.Get("/v1/public/yql", [this](const httplib::Request& req, httplib::Response& res) {
        Send(res, service_.Places(RawQuery(req)));
    });
    s.Get("/health", [this](const httplib::Request&, httplib::Response& res) { Send(res, service_.Health()); });
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;  // our own refusals already say why
        const char* text = res.status == 404 ? "Not found.\n" : "Bad request.\n";
        res.set_content(text, "text/plain; charset=us-ascii");
    });
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("Internal error.\n", "text/plain; charset=us-ascii");
    });
    s.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        const std::string cache = res.get_header_value("X-Cache");
        const std::string line = UtcNow() + " " + req.remote_addr + " \"" + req.method + " " +
                                 LoggableTarget(req.target, 300) + "\" " + std::to_string(res.status) + " " +
                                 std::to_string(res.body.size()) + (cache.empty() ? "" : " cache=" + cache) + "\n";
        std::lock_guard<std::mutex> lock(logMutex_);
        log_ << line << std::flush;
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
