#include "server/feed_server.h"

#include <algorithm>
#include <thread>

#include <boost/asio/bind_executor.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include "http/client_address.h"
#include "server/http_session.h"
#include "server/server_context.h"

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {
// How often deadlines are checked while connections are open.
constexpr auto kReapEvery = std::chrono::milliseconds(250);

int NetworkThreads(const FeedServerOptions& o) {
    if (o.networkThreads > 0) return o.networkThreads;
    return static_cast<int>(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));
}
}  // namespace

void ServerContext::Close(ConnectionTable::Id id) {
    std::shared_ptr<HttpSession> s;
    {
        std::lock_guard<std::mutex> lock(sessionsMutex);
        const auto it = sessions.find(id);
        if (it != sessions.end()) s = it->second.lock();
    }
    if (s) s->Close();
}

void ServerContext::Forget(ConnectionTable::Id id) {
    table.Closed(id);
    std::lock_guard<std::mutex> lock(sessionsMutex);
    sessions.erase(id);
}

struct FeedServer::Impl {
    Impl(FeedRouter& router, LogQueue& log, FeedServerOptions options)
        : ctx(router, log, options, NetworkThreads(options)), strand(asio::make_strand(*ctx.ios[0])), acceptor(strand),
          reaper(strand) {}

    void Accept() {
        acceptor.async_accept(asio::make_strand(ctx.NextIo()), [this](boost::system::error_code ec, tcp::socket socket) {
            if (!acceptor.is_open()) return;
            if (ec) {
                // Out of file handles or memory: try again shortly, not in a loop.
                if (ec != asio::error::operation_aborted) {
                    retry.emplace(strand);
                    retry->expires_after(std::chrono::milliseconds(50));
                    retry->async_wait([this](boost::system::error_code) { Accept(); });
                }
                return;
            }
            Admit(std::move(socket));
            // Take every connection already waiting before waiting again:
            // one wake-up for a burst (under Wine each wait costs milliseconds).
            for (int i = 0; i < 256; ++i) {
                tcp::socket next(asio::make_strand(ctx.NextIo()));
                boost::system::error_code more;
                acceptor.accept(next, more);
                if (more) break;
                Admit(std::move(next));
            }
            Accept();
        });
    }

    void Admit(tcp::socket socket) {
        boost::system::error_code ec;
        const tcp::endpoint remote = socket.remote_endpoint(ec);
        if (ec) return;
        const asio::ip::address a = remote.address();
        const asio::ip::address_v6 v6 =
            a.is_v4() ? asio::ip::make_address_v6(asio::ip::v4_mapped, a.to_v4()) : a.to_v6();
        const std::string peer = PlainAddress(a.to_string());
        const auto& trusted = ctx.options.trustedProxies;
        const bool trustedPeer = std::find(trusted.begin(), trusted.end(), peer) != trusted.end();
        const ConnectionTable::Id id = nextId++;
        const auto admission = ctx.table.Open(id, ConnectionKey(v6.to_bytes()), trustedPeer, std::chrono::steady_clock::now());
        for (ConnectionTable::Id out : admission.pushedOut) ctx.Close(out);
        if (!admission.accepted) {
            ServiceReply none;
            none.status = 503;
            none.reason = "no room for the connection: every connection is being answered";
            ctx.log.Request(peer, "-", "", none);
            socket.close(ec);
            return;
        }
        socket.set_option(tcp::no_delay(true), ec);
        auto session = std::make_shared<HttpSession>(ctx, std::move(socket), id, peer, trustedPeer);
        {
            std::lock_guard<std::mutex> lock(ctx.sessionsMutex);
            ctx.sessions[id] = session;
        }
        session->Start();
        ArmReaper();
    }

    // Closes connections past their deadlines; runs only while any are open.
    void ArmReaper() {
        if (reaping) return;
        reaping = true;
        reaper.expires_after(kReapEvery);
        reaper.async_wait([this](boost::system::error_code ec) {
            reaping = false;
            if (ec) return;
            for (ConnectionTable::Id id : ctx.table.Expired(std::chrono::steady_clock::now())) ctx.Close(id);
            if (ctx.table.size() > 0) ArmReaper();
        });
    }

    ServerContext ctx;
    asio::strand<asio::io_context::executor_type> strand;  // acceptor and reaper
    tcp::acceptor acceptor;
    asio::steady_timer reaper;
    std::optional<asio::steady_timer> retry;
    bool reaping = false;
    ConnectionTable::Id nextId = 1;
};

FeedServer::FeedServer(FeedRouter& router, LogQueue& log, FeedServerOptions options)
    : impl_(std::make_unique<Impl>(router, log, std::move(options))) {}

FeedServer::~FeedServer() {
    Stop();
    impl_->ctx.workers.Stop();
}

int FeedServer::Listen(const std::string& host, int port, std::string& why) {
    boost::system::error_code ec;
    asio::ip::address address = asio::ip::make_address(host, ec);
    if (ec) {
        tcp::resolver resolver(*impl_->ctx.ios[0]);
        const auto found = resolver.resolve(host, std::to_string(port), tcp::resolver::passive, ec);
        if (ec || found.empty()) {
            why = "cannot find the address " + host;
            return -1;
        }
        address = found.begin()->endpoint().address();
    }
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    tcp::acceptor& a = impl_->acceptor;
    a.open(endpoint.protocol(), ec);
    if (!ec) {
#ifdef _WIN32
        // Windows' SO_REUSEADDR would let another program take the port too.
        a.set_option(asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>(true), ec);
#else
        a.set_option(tcp::acceptor::reuse_address(true), ec);
#endif
        if (address.is_v6()) a.set_option(asio::ip::v6_only(!address.is_unspecified()), ec);
        ec.clear();
        a.bind(endpoint, ec);
    }
    if (!ec) a.listen(asio::socket_base::max_listen_connections, ec);
    if (!ec) a.non_blocking(true, ec);
    if (ec) {
        why = ec == asio::error::address_in_use       ? "the port is in use by another program"
              : ec == asio::error::access_denied      ? "a port below 1024 needs root or the capability CAP_NET_BIND_SERVICE"
              : ec == boost::system::errc::address_not_available ? "this machine has no such address"
                                                      : ec.message();
        a.close(ec);
        return -1;
    }
    const int bound = a.local_endpoint(ec).port();
    asio::post(impl_->strand, [this] { impl_->Accept(); });
    return bound;
}

void FeedServer::Run() {
    Impl& s = *impl_;
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> guards;
    for (auto& io : s.ctx.ios) guards.push_back(asio::make_work_guard(*io));
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < s.ctx.ios.size(); ++i) others.emplace_back([&s, i] { s.ctx.ios[i]->run(); });
    s.ctx.ios[0]->run();
    for (std::thread& t : others) t.join();
}

void FeedServer::Stop() {
    Impl& s = *impl_;
    asio::post(s.strand, [&s] {
        boost::system::error_code ignored;
        s.acceptor.close(ignored);
        s.reaper.cancel();
    });
    for (auto& io : s.ctx.ios) io->stop();
}

std::size_t FeedServer::Connections() const { return impl_->ctx.table.size(); }
