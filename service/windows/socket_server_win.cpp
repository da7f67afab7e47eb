// Winsock's fd_set holds this many sockets (the default is 64).
#define FD_SETSIZE 1024
#include "windows/socket_server_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/client_address.h"
#include "core/http_request.h"
#include "core/request_log.h"

namespace {

constexpr ULONGLONG kNever = ~0ULL;

struct Connection {
    SOCKET socket = INVALID_SOCKET;
    std::string remote;
    HttpRequestReader reader;
    enum class State { Reading, Handling, Writing } state = State::Reading;
    std::string out;
    std::size_t sent = 0;
    bool closeAfter = false;
    int served = 0;
    ULONGLONG deadline = kNever;
    ULONGLONG progress = 0;  // when it last moved on; the longest-waiting one is dropped first
};

struct Job {
    uint64_t id;
    std::string client, method, target;
    bool head, close;
};

struct Done {
    uint64_t id;
    std::string bytes;
    bool close;
};

std::string RemoteAddress(const sockaddr_storage& a, int len) {
    char host[NI_MAXHOST] = "";
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&a), len, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return "?";
    return host;
}

std::string SocketError(int code) {
    switch (code) {
        case WSAEADDRINUSE: return "the port is in use by another program";
        case WSAEACCES: return "access denied (another program holds the port exclusively, or the system reserves it)";
        case WSAEADDRNOTAVAIL: return "this machine has no such address";
        default: return "Winsock error " + std::to_string(code);
    }
}

}  // namespace

struct SocketServer::Impl {
    FeedRouter& router;
    std::function<void(const std::string&)> log;
    SocketServerOptions options;

    SOCKET listener = INVALID_SOCKET;
    SOCKET waker = INVALID_SOCKET;  // a loopback datagram socket the workers knock on
    sockaddr_in wakerAddress{};

    std::map<uint64_t, Connection> connections;
    std::unordered_map<SOCKET, uint64_t> bySocket;
    uint64_t nextId = 1;

    std::mutex mutex;
    std::condition_variable jobsReady;
    std::deque<Job> jobs;
    std::deque<Done> done;
    std::size_t idleWorkers = 0;
    std::vector<std::thread> workers;  // started as the load needs them, up to options.workers

    Impl(FeedRouter& r, std::function<void(const std::string&)> l, SocketServerOptions o)
        : router(r), log(std::move(l)), options(o) {}

    // -- workers --
    void Work() {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex);
                ++idleWorkers;
                jobsReady.wait(lock, [this] { return !jobs.empty(); });
                --idleWorkers;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            const ServiceReply reply = router.Answer(job.method, job.target, job.client);
            log(RequestLogLine(static_cast<int64_t>(std::time(nullptr)), job.client, job.method, job.target, reply));
            Done d{job.id, ReplyBytes(reply, job.head, job.close, options.rules), job.close};
            {
                std::lock_guard<std::mutex> lock(mutex);
                done.push_back(std::move(d));
            }
            const char knock = 1;
            sendto(waker, &knock, 1, 0, reinterpret_cast<const sockaddr*>(&wakerAddress), sizeof wakerAddress);
        }
    }

    // -- the connection thread --
    void Close(uint64_t id) {
        auto it = connections.find(id);
        if (it == connections.end()) return;
        closesocket(it->second.socket);
        bySocket.erase(it->second.socket);
        connections.erase(it);
    }

    void Dispatch(uint64_t id, Connection& c, ULONGLONG now) {
        const HttpRequest& r = c.reader.request();
        ++c.served;
        const bool close = r.close || c.served >= options.rules.maxRequests;
        c.state = Connection::State::Handling;
        c.deadline = kNever;
        c.progress = now;
        bool another = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            jobs.push_back(Job{id, ClientAddress(c.remote, r.Header("X-Forwarded-For"), options.trustProxy), r.method,
                               r.target, r.method == "HEAD", close});
            another = jobs.size() > idleWorkers && workers.size() < static_cast<std::size_t>(options.workers);
        }
        // A card asking in turn needs one worker; more start only when
        // requests wait (each costs a thread's memory for good).
        if (another) workers.emplace_back([this] { Work(); });
        jobsReady.notify_one();
    }

    void Refuse(Connection& c, ULONGLONG now) {
        ServiceReply reply = UnreadableRequestReply(c.reader.badStatus());
        reply.date = static_cast<int64_t>(std::time(nullptr));
        log(RequestLogLine(static_cast<int64_t>(std::time(nullptr)), c.remote, "", "", reply));
        StartWriting(c, ReplyBytes(reply, false, true, options.rules), true, now);
    }

    void StartWriting(Connection& c, std::string bytes, bool close, ULONGLONG now) {
        c.state = Connection::State::Writing;
        c.out = std::move(bytes);
        c.sent = 0;
        c.closeAfter = close;
        c.deadline = now + options.rules.writeSeconds * 1000ULL;
        c.progress = now;
    }

    // After a reply has gone out: the next request, already here or to come.
    void ReadOn(uint64_t id, Connection& c, ULONGLONG now) {
        if (c.closeAfter) {
            shutdown(c.socket, SD_SEND);
            Close(id);
            return;
        }
        c.out.clear();
        c.out.shrink_to_fit();
        c.state = Connection::State::Reading;
        c.progress = now;
        switch (c.reader.Next()) {
            case HttpRequestReader::Status::Ready: Dispatch(id, c, now); break;
            case HttpRequestReader::Status::Bad: Refuse(c, now); break;
            case HttpRequestReader::Status::NeedMore:
                c.deadline = now + 1000ULL * (c.reader.buffered() > 0 ? options.rules.requestSeconds
                                                                       : options.rules.keepAliveSeconds);
                break;
        }
    }

    // Sends what the socket takes now; true while the connection lives.
    void Send(uint64_t id, Connection& c, ULONGLONG now) {
        while (c.sent < c.out.size()) {
            const int n = send(c.socket, c.out.data() + c.sent, static_cast<int>(c.out.size() - c.sent), 0);
            if (n == SOCKET_ERROR) {
                if (WSAGetLastError() != WSAEWOULDBLOCK) Close(id);
                return;
            }
            c.sent += static_cast<std::size_t>(n);
            c.progress = now;
        }
        ReadOn(id, c, now);
    }

    void Receive(uint64_t id, Connection& c, ULONGLONG now) {
        char buf[4096];
        const int n = recv(c.socket, buf, sizeof buf, 0);
        if (n == 0 || (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)) {
            Close(id);
            return;
        }
        if (n < 0) return;
        const bool wasIdle = c.reader.buffered() == 0;
        c.progress = now;
        switch (c.reader.Add(buf, static_cast<std::size_t>(n))) {
            case HttpRequestReader::Status::Ready: Dispatch(id, c, now); break;
            case HttpRequestReader::Status::Bad: Refuse(c, now); Send(id, c, now); break;
            case HttpRequestReader::Status::NeedMore:
                // The whole request must come within its time from its first byte.
                if (wasIdle) c.deadline = now + options.rules.requestSeconds * 1000ULL;
                break;
        }
    }

    // At the limit, the connection that has waited longest for its client
    // goes; connections whose request is being answered stay.
    void MakeRoom() {
        auto victim = connections.end();
        for (auto it = connections.begin(); it != connections.end(); ++it) {
            if (it->second.state == Connection::State::Handling) continue;
            if (victim == connections.end() || it->second.progress < victim->second.progress) victim = it;
        }
        if (victim != connections.end()) Close(victim->first);
    }

    // One address may have only so many connections waiting for a request
    // (a half-open flood from one place cannot crowd out the others): the
    // one of them that has waited longest without progress goes.
    void LimitPerAddress(const std::string& remote) {
        std::size_t waiting = 0;
        auto victim = connections.end();
        for (auto it = connections.begin(); it != connections.end(); ++it) {
            if (it->second.remote != remote || it->second.state != Connection::State::Reading) continue;
            ++waiting;
            if (victim == connections.end() || it->second.progress < victim->second.progress) victim = it;
        }
        if (waiting >= options.perAddress && victim != connections.end()) Close(victim->first);
    }

    void Accept(ULONGLONG now) {
        for (int i = 0; i < 64; ++i) {
            sockaddr_storage a{};
            int len = sizeof a;
            const SOCKET s = accept(listener, reinterpret_cast<sockaddr*>(&a), &len);
            if (s == INVALID_SOCKET) return;
            if (connections.size() >= options.maxConnections) MakeRoom();
            u_long nonBlocking = 1;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            BOOL yes = TRUE;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
            const std::string remote = ClientAddress(RemoteAddress(a, len), "", false);
            LimitPerAddress(remote);
            const uint64_t id = nextId++;
            Connection& c = connections[id];
            c.socket = s;
            c.remote = remote;
            c.deadline = now + options.rules.keepAliveSeconds * 1000ULL;
            c.progress = now;
            bySocket[s] = id;
        }
    }

    void TakeReplies(ULONGLONG now) {
        char drain[64];
        while (recv(waker, drain, sizeof drain, 0) > 0) {
        }
        std::deque<Done> ready;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ready.swap(done);
        }
        for (Done& d : ready) {
            auto it = connections.find(d.id);
            if (it == connections.end()) continue;
            StartWriting(it->second, std::move(d.bytes), d.close, now);
            Send(d.id, it->second, now);
        }
    }

    void Expire(ULONGLONG now) {
        std::vector<uint64_t> late;
        for (const auto& [id, c] : connections) {
            if (c.deadline <= now) late.push_back(id);
        }
        for (uint64_t id : late) Close(id);
    }

    void Loop() {
        fd_set readable, writable;
        for (;;) {
            FD_ZERO(&readable);
            FD_ZERO(&writable);
            FD_SET(listener, &readable);
            FD_SET(waker, &readable);
            ULONGLONG next = kNever;
            for (const auto& [id, c] : connections) {
                if (c.state == Connection::State::Reading) FD_SET(c.socket, &readable);
                if (c.state == Connection::State::Writing) FD_SET(c.socket, &writable);
                if (c.deadline < next) next = c.deadline;
            }
            ULONGLONG now = GetTickCount64();
            timeval wait{};
            timeval* waitFor = nullptr;  // no deadline: sleep until a socket stirs
            if (next != kNever) {
                const ULONGLONG ms = next > now ? next - now : 0;
                wait.tv_sec = static_cast<long>(ms / 1000);
                wait.tv_usec = static_cast<long>(ms % 1000 * 1000);
                waitFor = &wait;
            }
            if (select(0, &readable, &writable, nullptr, waitFor) == SOCKET_ERROR) {
                log("cloudwick-feed: select failed: " + SocketError(WSAGetLastError()) + "\n");
                Sleep(100);
                continue;
            }
            now = GetTickCount64();
            for (u_int i = 0; i < writable.fd_count; ++i) {
                const auto s = bySocket.find(writable.fd_array[i]);
                if (s != bySocket.end()) Send(s->second, connections[s->second], now);
            }
            for (u_int i = 0; i < readable.fd_count; ++i) {
                const SOCKET sock = readable.fd_array[i];
                if (sock == listener || sock == waker) continue;
                const auto s = bySocket.find(sock);
                if (s != bySocket.end() && connections[s->second].state == Connection::State::Reading)
                    Receive(s->second, connections[s->second], now);
            }
            if (FD_ISSET(waker, &readable)) TakeReplies(now);
            if (FD_ISSET(listener, &readable)) Accept(now);
            Expire(now);
        }
    }
};

SocketServer::SocketServer(FeedRouter& router, std::function<void(const std::string&)> log,
                           SocketServerOptions options)
    : impl_(std::make_unique<Impl>(router, std::move(log), options)) {}

SocketServer::~SocketServer() = default;

int SocketServer::Listen(const std::string& host, int port, std::string& why) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        why = "cannot read the address " + host;
        return -1;
    }
    const SOCKET s = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    // Without this, Windows lets another program bind the same port with
    // SO_REUSEADDR and take some of the connections.
    BOOL yes = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
    // [::] takes IPv4 clients too, as on Linux.
    DWORD v6only = 0;
    if (found->ai_family == AF_INET6)
        setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6only), sizeof v6only);
    const bool bound = s != INVALID_SOCKET && bind(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0 &&
                       listen(s, SOMAXCONN) == 0;
    freeaddrinfo(found);
    if (!bound) {
        why = SocketError(WSAGetLastError());
        if (s != INVALID_SOCKET) closesocket(s);
        return -1;
    }
    sockaddr_storage a{};
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    const int bound_port = ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                                          : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    impl_->listener = s;

    Impl& m = *impl_;
    m.waker = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    m.wakerAddress.sin_family = AF_INET;
    m.wakerAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int wlen = sizeof m.wakerAddress;
    if (m.waker == INVALID_SOCKET ||
        bind(m.waker, reinterpret_cast<sockaddr*>(&m.wakerAddress), sizeof m.wakerAddress) != 0 ||
        getsockname(m.waker, reinterpret_cast<sockaddr*>(&m.wakerAddress), &wlen) != 0) {
        why = "cannot make the loopback wake-up socket: " + SocketError(WSAGetLastError());
        return -1;
    }
    ioctlsocket(m.waker, FIONBIO, &nonBlocking);
    return bound_port;
}

void SocketServer::Run() {
    if (impl_->options.workers < 1) impl_->options.workers = 1;
    impl_->Loop();
}
