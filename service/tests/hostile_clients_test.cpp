// Clients that do not play by the rules, against the real program and the
// server in-process: floods of connections with endless or huge heads
// beside a card, requests that try to smuggle a second request in a first
// one's body, and web pages or other host names that must not reach the
// source. The figures are printed.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "feed/feed_service.h"
#include "upstream/open_meteo_provider.h"
#include "upstream/sample_provider.h"
#include "harness.h"
#include "linux/curl_client.h"
#include "stub_upstream.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// The real program on sample data, its log dropped; killed at the end.
class SampleProgram {
public:
    explicit SampleProgram(int port) {
        std::vector<std::string> args = {CLOUDWICK_FEED_BINARY, "--provider", "sample", "--listen",
                                         "127.0.0.1:" + std::to_string(port)};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, CLOUDWICK_FEED_BINARY, &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        for (int i = 0; i < 300 && CardGet(port, "/health").status != 200; ++i) std::this_thread::sleep_for(10ms);
    }
    ~SampleProgram() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // The largest resident memory the process has had, in KB (VmHWM).
    long PeakKb() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        return -1;
    }
    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

int Connect(int port, const std::string& from, bool nonBlocking) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    if (nonBlocking) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

// Connections from `addresses` (round robin) that send a head without end:
// half as fast as they can (each up to 32 MB, then again on a new
// connection), half a few bytes at a time; closed ones are opened again.
class Flood {
public:
    Flood(int port, std::vector<std::string> addresses, int connections)
        : port_(port), addresses_(std::move(addresses)), thread_([this, connections] { Run(connections); }) {}
    ~Flood() {
        stop_ = true;
        thread_.join();
    }
    long long bytes() const { return bytes_; }
    long long reconnects() const { return reconnects_; }

private:
    struct Conn {
        int fd = -1;
        bool fast = false;
        long long sent = 0;
        std::string from;
    };
    void Open(Conn& c) {
        if (c.fd >= 0) close(c.fd);
        c.fd = Connect(port_, c.from, true);
        c.sent = 0;
        ++reconnects_;
        static const std::string start = "GET /forecastrss?w=4250542 HTTP/1.1\r\nHost: localhost\r\nX-Pad: ";
        if (c.fd >= 0) send(c.fd, start.data(), start.size(), MSG_NOSIGNAL);
    }
    void Run(int connections) {
        std::vector<Conn> conns(static_cast<std::size_t>(connections));
        for (std::size_t i = 0; i < conns.size(); ++i) {
            conns[i].from = addresses_[i % addresses_.size()];
            conns[i].fast = i % 2 == 0;
            Open(conns[i]);
        }
        const std::string chunk(16384, 'a');
        while (!stop_) {
            for (Conn& c : conns) {
                if (c.fd < 0 || c.sent >= (32LL << 20)) {
                    Open(c);
                    continue;
                }
                const std::size_t n = c.fast ? chunk.size() : 3;
                const ssize_t sent = send(c.fd, chunk.data(), n, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (sent > 0) {
                    c.sent += sent;
                    bytes_ += sent;
                } else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                    Open(c);
                }
            }
            std::this_thread::sleep_for(2ms);
        }
        for (Conn& c : conns)
            if (c.fd >= 0) close(c.fd);
    }
    const int port_;
    const std::vector<std::string> addresses_;
    std::atomic<bool> stop_{false};
    std::atomic<long long> bytes_{0}, reconnects_{0};
    std::thread thread_;
};

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// While the flood runs: the card's request from 127.0.0.250, 40 times.
void CardIsAnsweredBeside(const char* what, std::vector<std::string> addresses) {
    const int port = FreePort();
    SampleProgram program(port);
    ASSERT_EQ(CardGet(port, "/forecastrss?w=4250542").status, 200);  // cached from here on
    double worst = 0;
    int answered = 0;
    long long flooded = 0;
    {
        Flood flood(port, std::move(addresses), 200);
        std::this_thread::sleep_for(300ms);
        for (int i = 0; i < 40; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            const RawReply r = SendRaw(port, CardRequest("/forecastrss?w=4250542"), "127.0.0.250");
            const double took = Ms(std::chrono::steady_clock::now() - t0);
            worst = std::max(worst, took);
            answered += r.status == 200;
            EXPECT_LT(took, 100) << "request " << i;
            std::this_thread::sleep_for(25ms);
        }
        flooded = flood.bytes();
    }
    const long peak = program.PeakKb();
    std::printf("%s: 200 connections sent %.0f MB of endless heads; the card was answered %d of 40 times, "
                "in %.1f ms at worst; peak memory %ld KB\n",
                what, static_cast<double>(flooded) / (1 << 20), answered, worst, peak);
    EXPECT_EQ(answered, 40);
    EXPECT_TRUE(program.Running());
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 64 * 1024);
}

TEST(HostileClients, EndlessHeadsFromOneAddressDoNotDelayTheCard) {
    CardIsAnsweredBeside("one address", {"127.0.0.1"});
}

TEST(HostileClients, EndlessHeadsFromFortyAddressesDoNotDelayTheCard) {
    std::vector<std::string> forty;
    for (int i = 1; i <= 40; ++i) forty.push_back("127.0.0." + std::to_string(i));
    CardIsAnsweredBeside("40 addresses", forty);
}

// Sends `bytes` on a new connection and reads until the server closes it
// (or 1.5 s pass): every byte that came back, and whether it was closed.
std::pair<std::string, bool> Exchange(int port, const std::string& bytes) {
    const int fd = Connect(port, "127.0.0.1", false);
    if (fd < 0) return {"", false};
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string got;
    bool closed = false;
    const auto end = std::chrono::steady_clock::now() + 1500ms;  // within the idle limit (2 s)
    char buf[4096];
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            closed = true;
            break;
        }
        got.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return {got, closed};
}

int Replies(const std::string& got) {
    int n = 0;
    for (std::size_t at = got.find("HTTP/1.1 "); at != std::string::npos; at = got.find("HTTP/1.1 ", at + 1)) ++n;
    return n;
}

TEST(HostileClients, ASecondRequestCannotRideInTheFirstOnesBody) {
    SampleProvider provider([] { return int64_t{1796723400}; });
    FeedService service(provider, ServiceRules{}, [] { return std::chrono::steady_clock::now(); },
                        [] { return int64_t{1796723400}; });
    RunningServer server(service);
    const std::string inner = "GET /health HTTP/1.1\r\nHost: localhost\r\nX: 123456789012\r\n\r\n";
    ASSERT_EQ(inner.size(), 58u);
    const std::string get = "GET /forecastrss?w=4250542 HTTP/1.1\r\nHost: localhost\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        int replies;
        bool closed;
        const char* firstStatus;
    };
    for (const Case& c : std::vector<Case>{
             {"a body on GET", get + "Content-Length: 58\r\n\r\n" + inner, 1, true, "400"},
             {"two lengths", get + "Content-Length: 0\r\nContent-Length: 58\r\n\r\n" + inner, 1, true, "400"},
             {"two equal lengths", get + "Content-Length: 58\r\nContent-Length: 58\r\n\r\n" + inner, 1, true, "400"},
             {"length and chunked", get + "Content-Length: 58\r\nTransfer-Encoding: chunked\r\n\r\n" + inner, 1, true,
              "400"},
             {"chunked and length", get + "Transfer-Encoding: chunked\r\nContent-Length: 58\r\n\r\n" + inner, 1, true,
              "400"},
             {"chunked", get + "Transfer-Encoding: chunked\r\n\r\n3a\r\n" + inner + "\r\n0\r\n\r\n", 1, true, "400"},
             // Two honest requests back to back are both answered, and the connection stays.
             {"pipelined", get + "\r\n" + inner, 2, false, "200"},
         }) {
        const auto [got, closed] = Exchange(server.port(), c.bytes);
        EXPECT_EQ(Replies(got), c.replies) << c.what << ":\n" << got.substr(0, 300);
        EXPECT_EQ(closed, c.closed) << c.what;
        EXPECT_EQ(got.substr(9, 3), c.firstStatus) << c.what;
        if (c.closed) {
            EXPECT_NE(got.find("Connection: close\r\n"), std::string::npos) << c.what;
        }
    }
}

TEST(HostileClients, WebPagesAndOtherHostNamesNeverReachTheSource) {
    StubUpstream stub;
    CurlClient client;
    OpenMeteoConfig config;
    config.forecastUrl = stub.ForecastUrl();
    config.geocodingUrl = stub.GeocodingUrl();
    config.timeout = 400ms;
    OpenMeteoProvider provider(config, client);
    FeedService service(provider, ServiceRules{}, [] { return std::chrono::steady_clock::now(); },
                        [] { return int64_t{1796723400}; });
    RunningServer server(service);
    const std::string search = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20'Paris'";
    const auto with = [](std::string request, const std::string& header) {
        return request.insert(request.size() - 2, header + "\r\n");
    };
    struct Case {
        const char* what;
        std::string request;
        const char* firstLine;
    };
    for (const std::string& target : {std::string("/forecastrss?w=4250542"), search}) {
        for (const Case& c : std::vector<Case>{
                 {"Host: evil.example", CardRequest(target, "evil.example"), "Not for this host name"},
                 {"Host: evil.example:80", CardRequest(target, "evil.example:80"), "Not for this host name"},
                 {"Origin", with(CardRequest(target), "Origin: http://evil.example"), "Not for web pages"},
                 {"Origin: null", with(CardRequest(target), "Origin: null"), "Not for web pages"},
                 {"Referer", with(CardRequest(target), "Referer: http://evil.example/"), "Not for web pages"},
                 {"cross-site", with(CardRequest(target), "Sec-Fetch-Site: cross-site"), "Not for web pages"},
             }) {
            const RawReply r = SendRaw(server.port(), c.request);
            EXPECT_EQ(r.status, 403) << c.what << " " << target;
            EXPECT_EQ(r.header("content-type"), "text/plain; charset=us-ascii");
            EXPECT_EQ(r.body.substr(0, r.body.find('\n')), c.firstLine) << c.what;
        }
    }
    EXPECT_EQ(stub.lookupCalls(), 0);
    EXPECT_EQ(stub.forecastCalls(), 0);
    EXPECT_EQ(stub.searchCalls(), 0);
    // The card's own request, and one typed in a browser's address bar, go through.
    EXPECT_EQ(SendRaw(server.port(), CardRequest("/forecastrss?w=4250542")).status, 200);
    EXPECT_EQ(SendRaw(server.port(), CardRequest("/forecastrss?w=4250542", "127.0.0.1:80")).status, 200);
    EXPECT_EQ(SendRaw(server.port(), with(CardRequest(search), "Sec-Fetch-Site: none")).status, 200);
    EXPECT_GE(stub.lookupCalls(), 1);
    const std::string wanted = "127.0.0.1 \"GET /forecastrss?w=4250542\" 403 23 reason=\"Not for this host name\"";
    std::string log = server.Log();
    for (int i = 0; i < 200 && log.find(wanted) == std::string::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        log = server.Log();
    }
    EXPECT_NE(log.find("127.0.0.1 \"GET /forecastrss?w=4250542\" 403 23 reason=\"Not for this host name\""),
              std::string::npos)
        << log;
}

}  // namespace
