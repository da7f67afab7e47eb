// Fair to every card: the Linux service in front of a stub Open-Meteo on
// loopback, asked by several clients (loopback addresses 127.0.0.x stand
// for different machines). The figures the service promises are printed.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>
#include <vector>

#include "feed/feed_service.h"
#include "upstream/open_meteo_provider.h"
#include "harness.h"
#include "linux/curl_client.h"
#include "stub_upstream.h"

namespace {

using namespace std::chrono_literals;
using Mode = StubUpstream::Mode;

const std::string kSearch = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20";

struct Rig {
    explicit Rig(std::chrono::milliseconds timeout = 400ms, std::vector<std::string> trustedProxies = {},
                 std::string key = "")
        : provider_(Config(timeout, key), client_),
          service_(provider_, ServiceRules{},
                   [this] { return std::chrono::steady_clock::time_point(std::chrono::seconds(seconds_.load())); },
                   [] { return int64_t{1796723400}; }),
          server_(service_, 16, std::move(trustedProxies)) {}

    OpenMeteoConfig Config(std::chrono::milliseconds timeout, const std::string& key) {
        OpenMeteoConfig c;
        c.forecastUrl = stub_.ForecastUrl() + key;
        c.geocodingUrl = stub_.GeocodingUrl() + key;
        c.timeout = timeout;
        c.clock = [this] { return seconds_.load(); };
        return c;
    }
    RawReply Get(const std::string& target, const std::string& from = "") {
        return SendRaw(server_.port(), CardRequest(target), from);
    }
    std::string LogWhenItHas(const std::string& text) {
        std::string log;
        for (int i = 0; i < 300 && log.find(text) == std::string::npos; ++i) {
            std::this_thread::sleep_for(10ms);
            log = server_.Log();
        }
        return log;
    }

    std::atomic<int64_t> seconds_{1000000};
    StubUpstream stub_;
    CurlClient client_;
    OpenMeteoProvider provider_;
    FeedService service_;
    RunningServer server_;
};

// A socket that connects and sends `bytes`, then nothing more.
int HalfOpen(int port, const std::string& bytes) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    return fd;
}

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

TEST(Fairness, AFloodFromOneAddressDoesNotStarveAnotherAddressesNewPlace) {
    Rig s;
    ASSERT_EQ(s.Get("/forecastrss?w=4250542", "127.0.0.1").status, 200);  // a place in use
    int ok = 0, limited = 0;
    for (int i = 0; i < 60; ++i) {
        const RawReply r = s.Get(kSearch + "'Flood" + std::to_string(i) + "'", "127.0.0.1");
        ok += r.status == 200;
        if (r.status == 429) {
            ++limited;
            EXPECT_FALSE(r.header("retry-after").empty());
            EXPECT_EQ(r.header("cache-control"), "no-store");
        }
    }
    // The flooder's cached place is still served to it.
    EXPECT_EQ(s.Get("/forecastrss?w=4250542", "127.0.0.1").status, 200);
    // Another address: its search and its new place go through.
    const RawReply search = s.Get(kSearch + "'Springfield'", "127.0.0.2");
    const RawReply weather = s.Get("/forecastrss?w=4409896", "127.0.0.2");
    std::printf("flood of 60 new searches from one address: %d answered, %d refused (429); "
                "second address: search %d, new place %d\n",
                ok, limited, search.status, weather.status);
    EXPECT_EQ(ok, 18);  // 20 in the allowance; the first place took two calls (lookup, forecast)
    EXPECT_EQ(limited, 42);
    EXPECT_EQ(search.status, 200);
    EXPECT_NE(search.body.find("<woeid>4250542</woeid>"), std::string::npos);
    EXPECT_EQ(weather.status, 200);
    EXPECT_EQ(s.stub_.searchCalls(), 19);  // 18 floods and the second address's search
    const std::string log = s.LogWhenItHas("429");
    EXPECT_NE(log.find("429 "), std::string::npos);
    EXPECT_NE(log.find("reason=\"this client's allowance of requests that need the source is used up\""),
              std::string::npos)
        << log;
}

// One address keeps the queue to the source full of new searches (eight
// at a time) while each source call takes 300 ms. Another address's new
// search waits for the call in flight and no more: it goes before the
// busy address's waiters.
TEST(Fairness, ABusyAddressDelaysAnotherAddressesSearchByOneCallAtMost) {
    Rig s(5000ms);
    s.stub_.SetGeocodingMode(Mode::Normal, 300ms);
    std::atomic<bool> stop{false};
    std::atomic<int> n{0};
    std::vector<std::thread> flood;
    for (int a = 0; a < 8; ++a) {
        flood.emplace_back([&] {
            while (!stop) {
                const RawReply r = s.Get(kSearch + "'Busy" + std::to_string(n++) + "'", "127.0.5.1");
                if (r.status != 200) std::this_thread::sleep_for(20ms);  // turned away: again soon
            }
        });
    }
    while (s.stub_.searchCalls() < 3) std::this_thread::sleep_for(1ms);
    const auto t0 = std::chrono::steady_clock::now();
    const RawReply r = s.Get(kSearch + "'Springfield'", "127.0.6.1");
    const double took = Ms(std::chrono::steady_clock::now() - t0);
    stop = true;
    for (auto& t : flood) t.join();
    std::printf("one address flooding new searches, 300 ms a source call: another address's search took %.0f ms\n",
                took);
    EXPECT_EQ(r.status, 200) << r.body;
    EXPECT_NE(r.body.find("<woeid>4250542</woeid>"), std::string::npos);
    EXPECT_LT(took, 2 * 300 + 150);  // the call in flight, then its own
}

TEST(Fairness, HalfOpenConnectionsDoNotDelayTheCard) {
    Rig s;
    ASSERT_EQ(s.Get("/forecastrss?w=4250542").status, 200);
    const std::string partial = CardRequest("/forecastrss?w=4250542").substr(0, 60);
    std::vector<int> held;
    for (int i = 0; i < 40; ++i) held.push_back(HalfOpen(s.server_.port(), i % 2 ? partial : ""));
    std::this_thread::sleep_for(100ms);  // let them all be accepted first
    double worst = 0;
    for (const char* from : {"127.0.0.1", "127.0.0.2"}) {
        const auto t0 = std::chrono::steady_clock::now();
        const RawReply r = s.Get("/forecastrss?w=4250542", from);
        const double took = Ms(std::chrono::steady_clock::now() - t0);
        worst = std::max(worst, took);
        EXPECT_EQ(r.status, 200) << from;
        EXPECT_LT(took, 1000) << from;
    }
    std::printf("card request beside 40 half-open connections from one address: answered in %.1f ms at worst\n",
                worst);
    for (int fd : held) close(fd);
}

TEST(Fairness, ACachedPlaceIsAnsweredAtOnceWhileTheUpstreamHangs) {
    Rig s(5000ms);
    ASSERT_EQ(s.Get("/forecastrss?w=4250542").status, 200);
    s.stub_.SetGeocodingMode(Mode::Normal, 4000ms);
    s.stub_.SetForecastMode(Mode::Normal, 4000ms);
    // 64 new ids from 64 machines, all at once: one goes upstream and hangs.
    std::vector<std::future<std::pair<RawReply, double>>> news;
    for (int i = 0; i < 64; ++i) {
        news.push_back(std::async(std::launch::async, [&s, i] {
            const auto t0 = std::chrono::steady_clock::now();
            RawReply r = s.Get("/forecastrss?w=" + std::to_string(5000 + i), "127.0.1." + std::to_string(i + 1));
            return std::make_pair(r, Ms(std::chrono::steady_clock::now() - t0));
        }));
    }
    while (s.stub_.lookupCalls() < 1) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);
    const auto t0 = std::chrono::steady_clock::now();
    const RawReply cached = s.Get("/forecastrss?w=4250542", "127.0.0.9");
    const double took = Ms(std::chrono::steady_clock::now() - t0);
    EXPECT_EQ(cached.status, 200);
    EXPECT_EQ(cached.header("x-cache"), "hit");
    EXPECT_LT(took, 50);
    int quick503 = 0;
    for (auto& f : news) {
        const auto [r, ms] = f.get();
        if (r.status == 503 && ms < 1000 && !r.header("retry-after").empty()) ++quick503;
    }
    std::printf("upstream hanging, 64 new ids at once: cached place answered in %.1f ms; %d quick 503s "
                "with Retry-After; upstream asked %d time(s)\n",
                took, quick503, s.stub_.lookupCalls() - 1);
    EXPECT_GE(quick503, 59);  // all but the one in flight and the few let wait for a turn
    EXPECT_EQ(s.stub_.lookupCalls(), 2);  // the first place's, then one at a time
}

TEST(Fairness, BehindAProxyEachForwardedClientHasItsOwnAllowance) {
    Rig s(400ms, {"127.0.0.1"});
    const auto from = [&](const std::string& client, const std::string& target) {
        std::string req = CardRequest(target);
        req.insert(req.size() - 2, "X-Forwarded-For: 10.9.9.9, " + client + "\r\n");
        return SendRaw(s.server_.port(), req);
    };
    int refused = 0;
    for (int i = 0; i < 25; ++i) refused += from("198.51.100.1", kSearch + "'Many" + std::to_string(i) + "'").status == 429;
    EXPECT_EQ(refused, 5);
    EXPECT_EQ(from("198.51.100.2", kSearch + "'Springfield'").status, 200);
    const std::string log = s.LogWhenItHas("198.51.100.2");
    EXPECT_NE(log.find(" 198.51.100.1 \"GET "), std::string::npos) << log;
    EXPECT_EQ(log.find("10.9.9.9"), std::string::npos);
}

TEST(Fairness, AForecastUrlWithAKeyKeepsItsKey) {
    Rig s(400ms, {}, "?apikey=KEY");
    EXPECT_EQ(s.Get(kSearch + "'Springfield'").status, 200);
    const RawReply r = s.Get("/forecastrss?w=4250542");
    EXPECT_EQ(r.status, 200);
    ASSERT_EQ(s.stub_.ForecastQueries().size(), 1u);
    const std::string q = s.stub_.ForecastQueries()[0];
    EXPECT_EQ(q.rfind("latitude=", 0), 0u) << q;
    EXPECT_NE(q.find("&forecast_days=5&apikey=KEY"), std::string::npos) << q;
    EXPECT_NE(s.stub_.SearchTargets()[0].find("/v1/search?name=Springfield&"), std::string::npos);
    EXPECT_NE(s.stub_.SearchTargets()[0].find("&apikey=KEY"), std::string::npos);
}

TEST(Fairness, RepliesAreNeverCompressed) {
    Rig s;
    std::string req = CardRequest("/forecastrss?w=4250542");
    req.replace(req.find("Accept-Encoding: "), 17, "Accept-Encoding: gzip, deflate, br");
    const RawReply r = SendRaw(s.server_.port(), req);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-encoding"), "");
    EXPECT_EQ(r.body.rfind("<?xml", 0), 0u);
    EXPECT_FALSE(r.header("date").empty());
    EXPECT_FALSE(r.header("last-modified").empty());
}

}  // namespace
