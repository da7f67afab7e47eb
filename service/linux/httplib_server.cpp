#include "linux/httplib_server.h"

#include <httplib.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "core/client_address.h"
#include "core/http_reply.h"
#include "core/http_request.h"
#include "core/request_log.h"
#include "linux/head_gate.h"

namespace {

// What the router said about a request, for the log line of the same
// worker thread (cpp-httplib's logger sees only the HTTP reply).
thread_local std::string tReason, tClient;
// Set when cpp-httplib could not read a request: the connection ends after
// the refusal, as on Windows (what follows cannot be trusted to be a request).
thread_local bool tUnreadable = false;

void Send(httplib::Response& res, ServiceReply r) {
    if (r.date == 0) r.date = static_cast<int64_t>(std::time(nullptr));
    res.status = r.status;
    for (const auto& [name, value] : CachingHeaders(r)) res.set_header(name.c_str(), value);
    res.set_content(r.body, r.contentType.c_str());
    tReason = r.reason;
}

}  // namespace

// cpp-httplib hands every accepted connection to its task queue. Ours
// passes it to the head gate at once, on the accepting thread. The gate
// hands a connection whose request head has arrived to a worker, which
// answers that request with cpp-httplib's own request handling; a
// connection kept open goes back to the gate to wait for its next request,
// so idle and unfinished connections never hold a worker.
class FeedHttpServer::Server : public httplib::Server {
public:
    explicit Server(int workers) : workers_(workers) {
        new_task_queue = [this] { return new GateQueue(*this); };
    }

private:
    // A connection as cpp-httplib's request handling reads and writes it,
    // with the time limits of each read and write.
    class Connection : public httplib::Stream {
    public:
        Connection(int fd, int readMs, int writeMs) : fd_(fd), readMs_(readMs), writeMs_(writeMs) {}
        bool is_readable() const override { return have_ > used_ || Wait(POLLIN, readMs_); }
        bool is_writable() const override { return Wait(POLLOUT, writeMs_); }
        ssize_t read(char* ptr, size_t size) override {
            if (used_ == have_) {
                if (!Wait(POLLIN, readMs_)) return -1;
                const ssize_t n = recv(fd_, buf_, sizeof buf_, 0);
                if (n <= 0) return n;
                have_ = static_cast<size_t>(n);
                used_ = 0;
            }
            const size_t n = std::min(size, have_ - used_);
            std::memcpy(ptr, buf_ + used_, n);
            used_ += n;
            return static_cast<ssize_t>(n);
        }
        ssize_t write(const char* ptr, size_t size) override {
            if (!Wait(POLLOUT, writeMs_)) return -1;
            return send(fd_, ptr, size, MSG_NOSIGNAL);
        }
        void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(getpeername, ip, port); }
        void get_local_ip_and_port(std::string& ip, int& port) const override { Address(getsockname, ip, port); }
        socket_t socket() const override { return fd_; }
        // Bytes of a next request already read from the socket.
        bool HoldsMore() const { return have_ > used_; }

    private:
        bool Wait(short what, int ms) const {
            pollfd p{fd_, what, 0};
            return poll(&p, 1, ms) > 0 && (p.revents & what);
        }
        void Address(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
            sockaddr_storage a{};
            socklen_t len = sizeof a;
            ip.clear();
            port = 0;
            if (get(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) return;
            char host[NI_MAXHOST], serv[NI_MAXSERV];
            if (getnameinfo(reinterpret_cast<sockaddr*>(&a), len, host, sizeof host, serv, sizeof serv,
                            NI_NUMERICHOST | NI_NUMERICSERV) != 0)
                return;
            ip = host;
            port = std::atoi(serv);
        }
        const int fd_, readMs_, writeMs_;
        char buf_[4096];
        size_t have_ = 0, used_ = 0;
    };

    class GateQueue : public httplib::TaskQueue {
    public:
        explicit GateQueue(Server& s)
            : server_(s), pool_(static_cast<std::size_t>(s.workers_)),
              gate_(HeadRules{}, [this](int fd, int served) {
                  pool_.enqueue([this, fd, served] { server_.Serve(fd, served); });
              }) {
            server_.gate_ = &gate_;
        }
        void enqueue(std::function<void()> fn) override { fn(); }  // our process_and_close_socket
        void shutdown() override {
            server_.gate_ = nullptr;
            pool_.shutdown();
        }

    private:
        Server& server_;
        httplib::ThreadPool pool_;
        HeadGate gate_;
    };

    bool process_and_close_socket(socket_t sock) override {
        HeadGate* gate = gate_;
        if (gate) gate->Add(sock);
        else close(sock);
        return true;
    }

    // Answers the requests that have arrived on `fd`, then gives it back to
    // the gate (or closes it).
    void Serve(int fd, int served) {
        Connection c(fd, static_cast<int>(read_timeout_sec_ * 1000), static_cast<int>(write_timeout_sec_ * 1000));
        for (;;) {
            ++served;
            const bool last = served >= static_cast<int>(keep_alive_max_count_);
            bool closed = false;
            tUnreadable = false;
            const bool ok = process_request(c, last, closed, [](httplib::Request&) {});
            if (!ok || closed || last || tUnreadable || svr_sock_ == INVALID_SOCKET) break;
            if (c.HoldsMore()) continue;  // a next request came with this one
            HeadGate* gate = gate_;
            if (!gate) break;
            gate->Add(fd, served);
            return;
        }
        shutdown(fd, SHUT_RDWR);
        close(fd);
    }

    const int workers_;
    std::atomic<HeadGate*> gate_{nullptr};
};


FeedHttpServer::FeedHttpServer(FeedRouter& router, std::function<void(const std::string&)> log,
                               HttpServerOptions options)
    : router_(router), log_(std::move(log)), options_(options),
      server_(std::make_unique<Server>(options.threads > 0 ? options.threads : 32)) {
    httplib::Server& s = *server_;
    const ConnectionRules rules;
    // Headers and body go out back to back; no Nagle pause between them.
    s.set_tcp_nodelay(true);
    // The library's default adds SO_REUSEPORT, which lets a second copy of
    // the service share the port silently; a port in use must be an error.
    s.set_socket_options([this](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listener_ = sock;
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
    const bool trust = options_.trustProxy;
    const auto route = [this, trust](const httplib::Request& req, httplib::Response& res) {
        // Never compressed: this build of cpp-httplib would gzip text for a
        // client that asks, and a shared cache could then hand that body to
        // the card. The request is the server's own object, not a constant.
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        tClient = ClientAddress(req.remote_addr, req.get_header_value("X-Forwarded-For"), trust);
        Send(res, router_.Answer(req.method, req.target, tClient));
        return httplib::Server::HandlerResponse::Handled;
    };
    s.set_pre_routing_handler(route);
    // cpp-httplib's own refusals: 414 for a request line over its limit, 400 for the rest.
    s.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        tClient.clear();
        tUnreadable = res.status == 400 || res.status == 414;
        Send(res, UnreadableRequestReply(res.status == 414 ? 414 : 400));
    });
    s.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        ServiceReply shown;
        shown.status = res.status;
        shown.body = res.body;
        shown.cache = res.get_header_value("X-Cache");
        shown.reason = tReason;
        const std::string client = tClient.empty() ? ClientAddress(req.remote_addr, "", false) : tClient;
        log_(RequestLogLine(static_cast<int64_t>(std::time(nullptr)), client, req.method, req.target, shown));
        tReason.clear();
        tClient.clear();
    });
}

FeedHttpServer::~FeedHttpServer() = default;

int FeedHttpServer::Bind(const std::string& host, int port, std::string* why) {
    errno = 0;
    const int bound = port == 0 ? server_->bind_to_any_port(host) : (server_->bind_to_port(host, port) ? port : -1);
    // cpp-httplib listens with a backlog of 5: a burst of new connections
    // would wait a second for the client's SYN to be sent again. Listening
    // again sets the system's usual backlog.
    if (bound >= 0 && listener_ >= 0) listen(listener_, SOMAXCONN);
    if (bound < 0 && why) {
        // Name the usual causes in plain words.
        addrinfo hints{}, *found = nullptr;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
            *why = "cannot find the address " + host;
        } else {
            freeaddrinfo(found);
            *why = errno == EADDRINUSE      ? "the port is in use by another program"
                   : errno == EACCES        ? "a port below 1024 needs root or the capability CAP_NET_BIND_SERVICE"
                   : errno == EADDRNOTAVAIL ? "this machine has no such address"
                   : errno != 0             ? std::string(std::strerror(errno))
                                            : "cannot bind";
        }
    }
    return bound;
}

bool FeedHttpServer::Run() { return server_->listen_after_bind(); }

void FeedHttpServer::WaitUntilRunning() const {
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void FeedHttpServer::Stop() { server_->stop(); }
