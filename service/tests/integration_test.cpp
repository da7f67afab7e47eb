// The service in-process, in front of a stub upstream on loopback, asked
// over real sockets with the card's own request bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "feed/feed_service.h"
#include "harness.h"
#include "upstream/open_meteo_provider.h"
#include "linux/curl_client.h"
#include "stub_upstream.h"

namespace {

using namespace std::chrono_literals;
using Mode = StubUpstream::Mode;

const std::string kSearch = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20";

struct ManualClock {
    std::atomic<int64_t> seconds{1000000};
    void Advance(std::chrono::seconds s) { seconds += s.count(); }
};

OpenMeteoConfig StubConfig(const StubUpstream& stub, CallLimits limits = {}, ManualClock* clock = nullptr) {
    OpenMeteoConfig c;
    c.forecastUrl = stub.ForecastUrl();
    c.geocodingUrl = stub.GeocodingUrl();
    c.timeout = 400ms;
    c.gate.calls = limits;
    if (clock) c.clock = [clock] { return clock->seconds.load(); };
    return c;
}

class ServiceAgainstStub : public ::testing::Test {
protected:
    ServiceAgainstStub()
        : provider_(StubConfig(stub_, {}, &clock_), client_),
          service_(provider_, ServiceRules{},
                   [this] { return std::chrono::steady_clock::time_point(std::chrono::seconds(clock_.seconds.load())); },
                   [] { return int64_t{1796723400}; }),
          server_(service_) {}

    RawReply Get(const std::string& target) { return CardGet(server_.port(), target); }

    StubUpstream stub_;
    CurlClient client_;
    ManualClock clock_;
    OpenMeteoProvider provider_;
    FeedService service_;
    RunningServer server_;
};

TEST_F(ServiceAgainstStub, WeatherReplyIsOnePieceWithContentLength) {
    const RawReply r = Get("/forecastrss?w=4250542");
    ASSERT_EQ(r.status, 200) << r.raw;
    EXPECT_EQ(r.header("content-type"), "text/xml;charset=UTF-8");
    ASSERT_EQ(r.headers.count("content-length"), 1u);
    EXPECT_EQ(std::stoul(r.header("content-length")), r.body.size());
    EXPECT_EQ(r.headers.count("transfer-encoding"), 0u);
    EXPECT_NE(r.body.find("<title>Cloudwick Feed - Springfield, IL</title>"), std::string::npos);
    EXPECT_NE(r.body.find("<yweather:wind chill=\"23\"   direction=\"250\"   speed=\"10\" />"), std::string::npos);
    // 9:45 am in Springfield: day, whatever the source's is_day said.
    EXPECT_NE(r.body.find("code=\"30\"  temp=\"29\""), std::string::npos);
    EXPECT_GT(r.raw.size(), 2000u);
    EXPECT_EQ(r.header("x-cache"), "miss");
    EXPECT_EQ(stub_.lookupCalls(), 1);
    EXPECT_EQ(stub_.forecastCalls(), 1);
}

TEST_F(ServiceAgainstStub, OneCallPerPlaceServesBothUnitsWithTenVariablesAtMost) {
    const RawReply c = Get("/forecastrss?w=4250542&u=c");
    ASSERT_EQ(c.status, 200);
    EXPECT_NE(c.body.find("<yweather:units temperature=\"C\" distance=\"km\" pressure=\"mb\" speed=\"km/h\"/>"),
              std::string::npos);
    EXPECT_NE(c.body.find("speed=\"16.42\" />"), std::string::npos);
    EXPECT_NE(c.body.find("temp=\"-2\""), std::string::npos);
    const RawReply f = Get("/forecastrss?w=4250542");  // the other units: from the same forecast
    ASSERT_EQ(f.status, 200);
    EXPECT_EQ(f.header("x-cache"), "hit");
    EXPECT_NE(f.body.find("chill=\"23\"   direction=\"250\"   speed=\"10\" />"), std::string::npos);  // -4.9 C, 16.42 km/h
    EXPECT_NE(f.body.find("temp=\"29\""), std::string::npos);                                            // -1.5 C
    EXPECT_EQ(stub_.forecastCalls(), 1);
    EXPECT_EQ(stub_.lookupCalls(), 1);

    const auto queries = stub_.ForecastQueries();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_NE(queries[0].find("latitude=39.8017&longitude=-89.6437"), std::string::npos);
    EXPECT_NE(queries[0].find("timezone=auto"), std::string::npos);
    EXPECT_EQ(queries[0].find("temperature_unit"), std::string::npos);  // the source's default: °C, km/h
    int variables = 0;
    for (const char* list : {"current=", "daily=", "hourly=", "minutely_15="}) {
        const std::size_t at = queries[0].find(list);
        if (at == std::string::npos) continue;
        const std::string v = queries[0].substr(at, queries[0].find('&', at) - at);
        variables += 1 + static_cast<int>(std::count(v.begin(), v.end(), ','));
    }
    std::printf("upstream calls for both units: %d; variables per call: %d\n", stub_.forecastCalls(), variables);
    EXPECT_LE(variables, 10);
    for (const char* computed : {"sunrise", "sunset", "is_day"}) EXPECT_EQ(queries[0].find(computed), std::string::npos);
}

TEST_F(ServiceAgainstStub, ConcurrentRequestsForOnePlaceMakeOneUpstreamCall) {
    Get("/forecastrss?w=4250542");  // the place is known; the forecast will expire
    clock_.Advance(11min);
    stub_.SetForecastMode(Mode::Normal, 800ms);  // long enough for all six to arrive meanwhile
    std::vector<std::future<RawReply>> replies;
    for (int i = 0; i < 6; ++i)
        replies.push_back(std::async(std::launch::async, [this] { return Get("/forecastrss?w=4250542"); }));
    int ok = 0;
    for (auto& f : replies) ok += f.get().status == 200;
    EXPECT_EQ(ok, 6);
    EXPECT_EQ(stub_.forecastCalls(), 2);  // the first request, then one for all six
}

class StaleServing : public ServiceAgainstStub, public ::testing::WithParamInterface<Mode> {};

TEST_P(StaleServing, FailingUpstreamGetsTheLastGoodDocument) {
    const RawReply good = Get("/forecastrss?w=4250542");
    ASSERT_EQ(good.status, 200);
    clock_.Advance(30min);
    stub_.SetForecastMode(GetParam());
    const RawReply stale = Get("/forecastrss?w=4250542");
    EXPECT_EQ(stale.status, 200);
    EXPECT_EQ(stale.header("x-cache"), "stale");
    EXPECT_EQ(stale.body, good.body);
    EXPECT_EQ(stub_.forecastCalls(), 2);  // the upstream was really asked, and failed
}

INSTANTIATE_TEST_SUITE_P(Upstream, StaleServing,
                         ::testing::Values(Mode::TooManyRequests, Mode::ServerError, Mode::Garbage));

TEST_F(ServiceAgainstStub, SlowUpstreamTimesOutAndTheStaleDocumentIsServed) {
    const RawReply good = Get("/forecastrss?w=4250542");
    clock_.Advance(30min);
    stub_.SetForecastMode(Mode::Normal, 1500ms);  // past the 400 ms limit of this test
    const auto started = std::chrono::steady_clock::now();
    const RawReply stale = Get("/forecastrss?w=4250542");
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(stale.header("x-cache"), "stale");
    EXPECT_EQ(stale.body, good.body);
    EXPECT_LT(took, 1200ms);
}

TEST_F(ServiceAgainstStub, StaleLimitIsADayThenA503) {
    Get("/forecastrss?w=4250542");
    stub_.SetForecastMode(Mode::TooManyRequests);
    clock_.Advance(24h);
    EXPECT_EQ(Get("/forecastrss?w=4250542").header("x-cache"), "stale");
    clock_.Advance(1min);
    const RawReply r = Get("/forecastrss?w=4250542");
    EXPECT_EQ(r.status, 503);
    EXPECT_LT(r.body.size(), 1000u);
    EXPECT_EQ(r.header("content-type").rfind("text/plain", 0), 0u);
}

TEST_F(ServiceAgainstStub, NothingCachedAndRateLimitedIsA503WithoutRetryStorm) {
    stub_.SetGeocodingMode(Mode::TooManyRequests);
    EXPECT_EQ(Get("/forecastrss?w=4250542").status, 503);
    EXPECT_EQ(Get("/forecastrss?w=4250542").status, 503);
    EXPECT_EQ(stub_.lookupCalls(), 1);  // the second request was held off
    const RawReply held = Get("/forecastrss?w=4250542");
    EXPECT_EQ(held.header("retry-after").empty(), false);
    EXPECT_EQ(held.header("cache-control"), "no-store");
    stub_.SetGeocodingMode(Mode::Normal);
    clock_.Advance(61s);  // the pause after a 429 without Retry-After
    EXPECT_EQ(Get("/forecastrss?w=4250542").status, 200);
}

TEST_F(ServiceAgainstStub, HealthReportsTheUpstreamState) {
    Get("/forecastrss?w=4250542");
    RawReply h = Get("/health");
    ASSERT_EQ(h.status, 200);
    EXPECT_NE(h.body.find("\"state\": \"ok\""), std::string::npos) << h.body;
    // A lookup and a forecast so far, against the default day's 9,000.
    EXPECT_NE(h.body.find("\"day\": 2.0"), std::string::npos) << h.body;
    EXPECT_NE(h.body.find("\"day\": 9000"), std::string::npos) << h.body;
    clock_.Advance(11min);
    stub_.SetForecastMode(Mode::TooManyRequests);
    Get("/forecastrss?w=4250542");
    h = Get("/health");
    EXPECT_NE(h.body.find("\"state\": \"failing\""), std::string::npos) << h.body;
    EXPECT_NE(h.body.find("upstream HTTP 429: Minutely API request limit exceeded."), std::string::npos);
    EXPECT_NE(h.body.find("\"stale_served\": 1"), std::string::npos);
    EXPECT_NE(h.body.find("\"paused_for_seconds\": 60"), std::string::npos) << h.body;
}

TEST_F(ServiceAgainstStub, UnknownAndInvalidIdsGetTheErrorDocument) {
    const RawReply unknown = Get("/forecastrss?w=123");
    EXPECT_EQ(unknown.status, 200);
    EXPECT_NE(unknown.body.find("<title>City not found</title>"), std::string::npos);
    EXPECT_EQ(stub_.lookupCalls(), 1);
    Get("/forecastrss?w=123");
    EXPECT_EQ(stub_.lookupCalls(), 1);  // "no such id" is cached too
    EXPECT_EQ(stub_.forecastCalls(), 0);

    for (const char* bad : {"/forecastrss?w=abc", "/forecastrss?w=", "/forecastrss", "/forecastrss?w=1;rm",
                            "/forecastrss?w=../../etc"}) {
        const RawReply r = Get(bad);
        EXPECT_EQ(r.status, 200) << bad;
        EXPECT_NE(r.body.find("Cloudwick Feed - Error"), std::string::npos) << bad;
    }
    EXPECT_EQ(stub_.lookupCalls(), 1);  // none of them reached the upstream
}

TEST_F(ServiceAgainstStub, BadRequestsAreRefused) {
    EXPECT_EQ(Get("/").status, 404);
    EXPECT_EQ(Get("/forecast").status, 404);
    EXPECT_EQ(Get("/forecastrss?w=%4").status, 400);
    EXPECT_EQ(Get("/v1/public/yql?q=select%20*%20from%20weather.forecast").status, 400);
    EXPECT_EQ(Get("/forecastrss?w=1&pad=" + std::string(2100, 'x')).status, 414);
    EXPECT_EQ(Get(kSearch + "'" + std::string(2100, 'x') + "'").status, 414);
    EXPECT_EQ(Get("/forecastrss?w=1&pad=" + std::string(10000, 'x')).status, 414);
    // Garbage on the wire gets an answer and the service lives on.
    EXPECT_EQ(SendRaw(server_.port(), "\x01\x02 nonsense\r\n\r\n").status, 400);
    EXPECT_EQ(Get("/forecastrss?w=4250542").status, 200);
    EXPECT_EQ(stub_.searchCalls(), 0);
}

TEST_F(ServiceAgainstStub, PlaceSearchFindsPlacesAndPrimesTheWeather) {
    const RawReply r = Get(kSearch + "'Springfield'");
    ASSERT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("yahoo:count=\"2\""), std::string::npos);
    EXPECT_NE(r.body.find("<woeid>4250542</woeid>"), std::string::npos);
    EXPECT_NE(r.body.find("<locality1 type=\"Town\" woeid=\"4409896\">Springfield</locality1>"), std::string::npos);
    EXPECT_GT(r.raw.size(), 1000u);
    EXPECT_NE(stub_.SearchTargets()[0].find("count=10&language=en"), std::string::npos);

    EXPECT_EQ(Get(kSearch + "'springfield'").header("x-cache"), "hit");  // case does not matter
    EXPECT_EQ(stub_.searchCalls(), 1);
    EXPECT_EQ(Get("/forecastrss?w=4409896").status, 200);  // known from the search: no lookup
    EXPECT_EQ(stub_.lookupCalls(), 0);
}

TEST_F(ServiceAgainstStub, NoMatchIsAValidEmptyDocument) {
    const RawReply r = Get(kSearch + "'Nowhere'");
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("yahoo:count=\"0\""), std::string::npos);
    EXPECT_NE(r.body.find("<results/>"), std::string::npos);
    // One character or none: not worth asking the upstream.
    EXPECT_NE(Get(kSearch + "''").body.find("<results/>"), std::string::npos);
    EXPECT_NE(Get(kSearch + "'%20x%20'").body.find("<results/>"), std::string::npos);
    EXPECT_EQ(stub_.searchCalls(), 1);
}

TEST_F(ServiceAgainstStub, SearchTextReachesTheUpstreamSanitised) {
    // As the card sends it: spaces as %20, everything else raw, Windows-1252.
    Get(kSearch + "'Z\xFCrich'");
    Get(kSearch + "'A&count=1000&name=B'");
    Get(kSearch + "'Saint%20John's%20Wood,%20GB'");
    const auto names = stub_.SearchNames();
    const auto targets = stub_.SearchTargets();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "Z\xC3\xBCrich");
    EXPECT_NE(targets[0].find("name=Z%C3%BCrich&count=10"), std::string::npos) << targets[0];
    EXPECT_EQ(names[1], "A&count=1000&name=B");  // one value, not extra parameters
    EXPECT_NE(targets[1].find("name=A%26count%3D1000%26name%3DB&count=10&"), std::string::npos) << targets[1];
    EXPECT_EQ(names[2], "Saint John's Wood, GB");
    // A lone '%' is part of the text, never a 400 the card would wait for.
    EXPECT_EQ(Get(kSearch + "'100%'").status, 200);
    EXPECT_EQ(stub_.SearchNames().back(), "100%");
    // The card sends a typed '#' as it is; the server hands it on with the rest.
    EXPECT_EQ(Get(kSearch + "'#1'").status, 200);
    EXPECT_EQ(stub_.SearchNames().back(), "#1");
}

TEST_F(ServiceAgainstStub, SearchFailureWithNothingCachedIsA503) {
    stub_.SetGeocodingMode(Mode::ServerError);
    EXPECT_EQ(Get(kSearch + "'Springfield'").status, 503);
}

TEST_F(ServiceAgainstStub, EveryRequestIsLoggedOnOneLine) {
    Get("/forecastrss?w=4250542");
    Get("/nope");
    Get(kSearch + "'Z\xFCrich'");
    // The server logs a request once its reply is out, so the last line may
    // land just after the client has its answer.
    std::string log;
    std::size_t lines = 0;
    for (int i = 0; i < 200 && lines < 3; ++i) {
        if (i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log = server_.Log();
        lines = 0;
        for (char c : log) lines += c == '\n';
    }
    EXPECT_EQ(lines, 3u) << log;
    EXPECT_NE(log.find("\"GET /forecastrss?w=4250542\" 200 "), std::string::npos) << log;
    EXPECT_NE(log.find("cache=miss"), std::string::npos);
    EXPECT_NE(log.find("\"GET /nope\" 404 "), std::string::npos);
    EXPECT_NE(log.find("'Z\\xFCrich'"), std::string::npos) << log;  // raw bytes escaped
}

TEST(UpstreamBudget, AFloodOfNewSearchesCannotUseUpTheSourcesAllowance) {
    StubUpstream stub;
    CurlClient client;
    OpenMeteoConfig config = StubConfig(stub, CallLimits{3, 100, 100, 100});
    config.clock = [] { return int64_t{0}; };  // one minute throughout
    OpenMeteoProvider provider(config, client);
    FeedService service(provider, ServiceRules{}, [] { return std::chrono::steady_clock::now(); },
                        [] { return int64_t{0}; });
    RunningServer server(service);
    int unavailable = 0;
    for (int i = 0; i < 10; ++i) {
        const RawReply r = CardGet(server.port(), kSearch + "'Place" + std::to_string(i) + "'");
        unavailable += r.status == 503 && r.header("retry-after") == "60";
    }
    EXPECT_EQ(stub.searchCalls(), 3);
    EXPECT_EQ(unavailable, 7);
    std::string log;
    for (int i = 0; i < 200 && std::count(log.begin(), log.end(), '\n') < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log = server.Log();
    }
    EXPECT_NE(log.find("503 ") , std::string::npos);
    EXPECT_NE(log.find("reason=\"this service's share of calls for new places is used up for now\""), std::string::npos)
        << log;
}

}  // namespace
