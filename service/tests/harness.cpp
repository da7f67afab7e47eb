#include "harness.h"
#include "card_request_golden.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <random>
#include <stdexcept>


std::string CardRequest(const std::string& target, const std::string& host) {
    return GoldenCardRequest(target, host);
}

RawReply SendRaw(int port, const std::string& request, const std::string& from) {
    RawReply r;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return r;
    if (!from.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from.c_str(), &local.sin_addr);
        bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return r;
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buf[4096];
    std::size_t want = std::string::npos;  // total bytes, once the headers are in
    while (want == std::string::npos || r.raw.size() < want) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        r.raw.append(buf, static_cast<std::size_t>(n));
        const std::size_t end = r.raw.find("\r\n\r\n");
        if (want == std::string::npos && end != std::string::npos) {
            const std::string head = r.raw.substr(0, end);
            std::size_t line = head.find("\r\n");
            while (line != std::string::npos) {
                const std::size_t next = head.find("\r\n", line + 2);
                const std::string h = head.substr(line + 2, next == std::string::npos ? std::string::npos : next - line - 2);
                const std::size_t colon = h.find(':');
                if (colon != std::string::npos) {
                    std::string name = h.substr(0, colon);
                    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
                    std::string value = h.substr(colon + 1);
                    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
                    r.headers[name] = value;
                }
                line = next;
            }
            const auto cl = r.headers.find("content-length");
            if (cl != r.headers.end()) want = end + 4 + std::stoul(cl->second);
        }
    }
    close(fd);
    if (r.raw.rfind("HTTP/1.1 ", 0) == 0 && r.raw.size() >= 12) r.status = std::stoi(r.raw.substr(9, 3));
    const std::size_t end = r.raw.find("\r\n\r\n");
    if (end != std::string::npos) r.body = r.raw.substr(end + 4);
    return r;
}

RunningServer::RunningServer(FeedService& service, int threads, std::vector<std::string> trustedProxies,
                             ConnectionLimits limits)
    : router_(service),
      logQueue_(
          [this](const std::string& lines) {
              std::lock_guard<std::mutex> lock(logMutex_);
              log_ += lines;
          },
          [] { return static_cast<int64_t>(std::time(nullptr)); }) {
    FeedServerOptions options;
    options.workers = threads;
    options.trustedProxies = std::move(trustedProxies);
    options.limits = limits;
    server_ = std::make_unique<FeedServer>(router_, logQueue_, options);
    std::string why;
    port_ = server_->Listen("127.0.0.1", 0, why);
    if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port: " + why);
    thread_ = std::thread([this] { server_->Run(); });
}

RunningServer::~RunningServer() {
    server_->Stop();
    thread_.join();
    server_.reset();
    logQueue_.Stop();
}

namespace {

// `port` can be bound on every address just now: IPv6's any-address with
// IPv4 too where the machine has IPv6, else IPv4's.
bool Bindable(int port) {
    int fd = socket(AF_INET6, SOCK_STREAM, 0);
    bool ok = false;
    if (fd >= 0) {
        int no = 0;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_any;
        a.sin6_port = htons(static_cast<uint16_t>(port));
        ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    } else {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        ok = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    if (fd >= 0) close(fd);
    return ok;
}

}  // namespace

int FreePort() {
    // Below Linux's ephemeral range (32768 and up), where the outgoing
    // connections of the tests running beside this one take their ports.
    static std::mt19937 pick(std::random_device{}());
    for (int i = 0; i < 1000; ++i) {
        const int port = 20000 + static_cast<int>(pick() % 12000);
        if (Bindable(port)) return port;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}
