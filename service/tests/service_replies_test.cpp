// What the service says when it has no fresh document: the reason line the
// card shows, Retry-After equal to the real pause or hold-off, the stale
// marker on a last good copy, and how soon fresh weather follows once the
// source is back. The source is a scripted upstream behind the real
// provider, gate and caches, on clocks the tests move by hand.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "feed/feed_service.h"
#include "http/http_reply.h"
#include "upstream/open_meteo_provider.h"
#include "model/trouble_kinds.h"
#include "sample_json.h"

namespace {

using namespace std::chrono_literals;

const std::string kPlaceJson = SpringfieldJson(4250542, "Illinois", 39.80172, -89.64371);
const std::string kForecastJson = ForecastJson("\xC2\xB0" "C", -1.5, -5.2, 14.5, 3, 1);

// An upstream whose every answer the test sets; it counts the calls.
class ScriptedUpstream : public UpstreamClient {
public:
    bool up = true;       // false: no answer at all
    Trouble failure = Trouble::None;  // what the client found out when there was no answer
    long status = 200;    // of forecasts; lookups always find the place
    int retryAfter = 0;
    std::string forecastBody = kForecastJson;
    std::atomic<int> forecasts{0}, lookups{0};

    UpstreamReply Get(const std::string& url, std::chrono::milliseconds) override {
        UpstreamReply r;
        if (!up) {
            r.error = "connection refused";
            r.trouble = failure;
            return r;
        }
        r.transportOk = true;
        if (url.find("/get?") != std::string::npos) {
            ++lookups;
            r.status = 200;
            r.body = kPlaceJson;
            return r;
        }
        ++forecasts;
        r.status = status;
        r.retryAfter = retryAfter;
        r.body = status == 200 ? forecastBody : R"({"error":true,"reason":"busy"})";
        return r;
    }
};

// One clock for everything, in milliseconds, moved by the test.
struct TestClock {
    std::atomic<int64_t> ms{1796745000000};
    int64_t Unix() const { return ms / 1000; }
    std::chrono::steady_clock::time_point Steady() const {
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load()));
    }
    void Advance(std::chrono::milliseconds d) { ms += d.count(); }
};

struct Service {
    explicit Service(CallLimits limits = {}, StateStore* state = nullptr, int clientCalls = 1000) {
        OpenMeteoConfig cfg;
        cfg.forecastUrl = "http://127.0.0.1:1/v1/forecast";
        cfg.geocodingUrl = "http://127.0.0.1:1/v1";
        cfg.gate.calls = limits;
        cfg.clock = [this] { return clock.Unix(); };
        cfg.memory = state;
        provider = std::make_unique<OpenMeteoProvider>(cfg, upstream);
        ServiceRules rules;
        rules.clients.perMinute = clientCalls;
        rules.clients.burst = clientCalls;
        service = std::make_unique<FeedService>(*provider, rules, [this] { return clock.Steady(); },
                                                [this] { return clock.Unix(); }, state);
    }
    ServiceReply Weather(const std::string& client = "192.0.2.1") {
        return service->Weather("w=4250542", client);
    }

    TestClock clock;
    ScriptedUpstream upstream;
    std::unique_ptr<OpenMeteoProvider> provider;
    std::unique_ptr<FeedService> service;
};

std::string FirstLine(const std::string& body) { return body.substr(0, body.find('\n')); }

bool FitsTheCard(const std::string& line) {
    if (line.empty() || line.size() > kMaxTroubleLine) return false;
    for (unsigned char c : line) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

TEST(TroubleLine, EveryReasonFitsTheCardsLineAndNamesItsWait) {
    const Trouble all[] = {Trouble::None,         Trouble::Unreachable, Trouble::SourceError, Trouble::SourcePaused,
                           Trouble::MinuteUsedUp, Trouble::HourUsedUp,  Trouble::DayUsedUp,   Trouble::Busy,
                           Trouble::SearchBusy,   Trouble::ClientAllowance, Trouble::SystemLacksTls12};
    for (Trouble t : all) {
        for (int seconds : {0, 1, 7, 59, 3600, 86400}) {
            const std::string line = TroubleLine(t, seconds);
            EXPECT_TRUE(FitsTheCard(line)) << "\"" << line << "\"";
        }
    }
    const struct {
        Trouble t;
        int seconds;
        const char* line;
        int status;
    } cases[] = {
        {Trouble::Unreachable, 3, "Weather source unreachable", 503},
        {Trouble::SourcePaused, 30, "Weather source paused for 30 s", 503},
        {Trouble::DayUsedUp, 5000, "Today's weather calls are used up", 503},
        {Trouble::Busy, 2, "Weather source busy; wait 2 s", 503},
        {Trouble::SearchBusy, 4, "Place search busy; wait 4 s", 503},
        {Trouble::ClientAllowance, 6, "Too many new places; wait 6 s", 429},
        {Trouble::SystemLacksTls12, 3, "Windows needs update KB3140245", 503},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TroubleLine(c.t, c.seconds), c.line);
        EXPECT_EQ(TroubleStatus(c.t), c.status) << c.line;
    }
}

// Each way the source can fail, with nothing cached: the reply's first
// line, its Retry-After, and that the source is left alone for exactly
// that long and asked again right after.
TEST(ServiceReplies, RetryAfterIsTheRealPauseAndTheLineSaysWhy) {
    const struct {
        const char* what;
        bool up;
        long status;
        int upstreamRetryAfter;
        std::string body;
        const char* line;
        int retryAfter;
    } cases[] = {
        {"no answer", false, 0, 0, "", "Weather source unreachable", 3},
        {"429", true, 429, 0, "", "Weather source paused for 60 s", 60},
        {"429 with its Retry-After", true, 429, 120, "", "Weather source paused for 120 s", 120},
        {"429 asking for days", true, 429, 999999, "", "Weather source paused for 3600 s", 3600},
        {"503", true, 503, 0, "", "Weather source paused for 30 s", 30},
        {"500 with its Retry-After", true, 500, 7, "", "Weather source paused for 7 s", 7},
        {"unreadable", true, 200, 0, "{not json", "Weather source gave an error", 30},
    };
    for (const auto& c : cases) {
        Service s;
        s.upstream.up = c.up;
        s.upstream.status = c.status;
        s.upstream.retryAfter = c.upstreamRetryAfter;
        if (!c.body.empty()) s.upstream.forecastBody = c.body;
        s.service->Weather("w=4250542", "");  // a place lookup first, when the source answers it
        s.upstream.forecasts = 0;
        s.clock.Advance(1ms);
        ServiceReply r = s.Weather();
        EXPECT_EQ(r.status, 503) << c.what;
        EXPECT_EQ(FirstLine(r.body), c.line) << c.what;
        EXPECT_EQ(r.retryAfter, c.retryAfter) << c.what;
        EXPECT_LT(r.body.size(), 1000u) << c.what;
        EXPECT_EQ(r.contentType, "text/plain; charset=us-ascii") << c.what;
        const int calls = s.upstream.forecasts;

        // Asked again just before the time is up: no call, and the rest of the time.
        s.clock.Advance(std::chrono::seconds(c.retryAfter) - 1500ms);
        r = s.Weather();
        EXPECT_EQ(s.upstream.forecasts, calls) << c.what;
        EXPECT_EQ(r.retryAfter, 2) << c.what;  // 1.5 s left, rounded up
        EXPECT_EQ(FitsTheCard(FirstLine(r.body)), true) << c.what;

        // Once it is up, the source is asked, and answers.
        s.clock.Advance(1500ms);
        s.upstream.up = true;
        s.upstream.status = 200;
        s.upstream.forecastBody = kForecastJson;
        r = s.Weather();
        EXPECT_EQ(r.status, 200) << c.what << ": " << r.body;
        EXPECT_GE(s.upstream.forecasts, calls + 1) << c.what;
    }
}

// A Windows that cannot speak TLS 1.2 gets no answer from the source: the
// card is told which update it needs, not that the source is unreachable.
TEST(ServiceReplies, AWindowsWithoutTls12IsToldWhichUpdate) {
    Service s;
    s.upstream.up = false;
    s.upstream.failure = Trouble::SystemLacksTls12;
    ServiceReply r = s.Weather();
    EXPECT_EQ(r.status, 503);
    EXPECT_EQ(FirstLine(r.body), "Windows needs update KB3140245");
    s.clock.Advance(1s);  // asked again while the source is left alone
    r = s.Weather();
    EXPECT_EQ(FirstLine(r.body), "Windows needs update KB3140245");
}

TEST(ServiceReplies, OwnLimitsSayWhichAndUntilWhen) {
    {
        Service s(CallLimits{500, 4500, 1, 100});  // one call a day, spent on the place's lookup
        s.clock.ms = int64_t{1796745000} * 1000;     // 15:50 UTC: 8 h 10 min to the day's end
        const ServiceReply r = s.Weather();
        EXPECT_EQ(r.status, 503);
        EXPECT_EQ(FirstLine(r.body), "Today's weather calls are used up");
        EXPECT_EQ(r.retryAfter, 8 * 3600 + 10 * 60);
    }
    {
        Service s(CallLimits{}, nullptr, 2);  // two calls for new places a minute for a client: one place
        EXPECT_EQ(s.Weather().status, 200);
        const ServiceReply r = s.service->Weather("w=2950159", "192.0.2.1");
        EXPECT_EQ(r.status, 429);
        EXPECT_EQ(FirstLine(r.body), "Too many new places; wait " + std::to_string(r.retryAfter) + " s");
        EXPECT_GE(r.retryAfter, 1);
        EXPECT_LE(r.retryAfter, 60);
    }
}

// The card asks again every 6.6 s (its time-out) while it has no weather.
// Whenever in that rhythm the source comes back, the card has fresh
// weather within 10 s.
TEST(ServiceReplies, FreshWeatherWithinTenSecondsOfTheSourceComingBack) {
    for (int phaseMs = 0; phaseMs < 6600; phaseMs += 300) {
        Service s;
        s.upstream.up = false;
        const int64_t start = s.clock.ms;
        const int64_t back = start + 20000 + phaseMs;  // the source returns then
        int64_t freshAt = 0;
        for (int64_t t = start; t < back + 30000 && !freshAt; t += 6600) {
            s.clock.ms = t;
            s.upstream.up = t >= back;
            if (s.Weather().status == 200) freshAt = t;
        }
        ASSERT_NE(freshAt, 0) << phaseMs;
        EXPECT_LE(freshAt - back, 10000) << "source back at +" << phaseMs << " ms";
    }
}

// A forecast the source cannot refresh is served as it was built, marked
// stale; the card keeps asking, and the first good answer has no mark.
TEST(ServiceReplies, TheLastGoodForecastIsServedWithTheStaleMarker) {
    Service s;
    const ServiceReply good = s.Weather();
    ASSERT_EQ(good.status, 200);
    EXPECT_FALSE(good.stale);
    EXPECT_EQ(ReplyBytes(good, false, false).find("Warning:"), std::string::npos);

    s.clock.Advance(20min);
    s.upstream.up = false;
    const ServiceReply stale = s.Weather();
    EXPECT_EQ(stale.status, 200);
    EXPECT_EQ(stale.body, good.body);
    EXPECT_TRUE(stale.stale);
    EXPECT_EQ(stale.lastModified, good.lastModified);
    EXPECT_NE(ReplyBytes(stale, false, false).find("\r\nWarning: 110 - \"Response is Stale\"\r\n"), std::string::npos);

    s.clock.Advance(4s);
    s.upstream.up = true;
    const ServiceReply fresh = s.Weather();
    EXPECT_EQ(fresh.status, 200);
    EXPECT_FALSE(fresh.stale);
}

// A restart keeps the last good forecast: offline, the new process serves
// it marked stale with its own time; online, it costs the new process one
// call (the forecast), not two (no lookup of the place).
TEST(ServiceReplies, TheLastGoodForecastOutlivesARestart) {
    char name[] = "/tmp/cloudwick-replies-XXXXXX";
    const std::string folder = mkdtemp(name);
    std::string goodBody;
    int64_t goodTime = 0, storedAt = 0;
    {
        StateStore state(folder, {});
        Service first({}, &state);
        const ServiceReply good = first.Weather();
        ASSERT_EQ(good.status, 200);
        goodBody = good.body;
        goodTime = good.lastModified;
        storedAt = first.clock.ms;
    }
    {
        StateStore state(folder, {});
        Service offline({}, &state);
        offline.clock.ms = storedAt + 3 * 3600 * 1000;  // started three hours later, offline
        offline.upstream.up = false;
        const ServiceReply kept = offline.Weather();
        EXPECT_EQ(kept.status, 200);
        EXPECT_EQ(kept.body, goodBody);
        EXPECT_TRUE(kept.stale);
        EXPECT_EQ(kept.lastModified, goodTime);
        EXPECT_EQ(offline.upstream.lookups, 0);
        // Metric too, from the same kept forecast.
        EXPECT_TRUE(offline.service->Weather("w=4250542&u=c", "192.0.2.1").stale);
    }
    {
        StateStore state(folder, {});
        Service online({}, &state);
        online.clock.ms = storedAt + 3 * 3600 * 1000;
        const ServiceReply fresh = online.Weather();
        EXPECT_EQ(fresh.status, 200);
        EXPECT_FALSE(fresh.stale);
        EXPECT_EQ(online.upstream.lookups, 0);
        EXPECT_EQ(online.upstream.forecasts, 1);
    }
    {
        // A day and more after the last good one, too old to show.
        StateStore state(folder, {});
        Service late({}, &state);
        late.clock.ms = storedAt + (3 + 25) * 3600 * 1000;
        late.upstream.up = false;
        EXPECT_EQ(late.Weather().status, 503);
    }
    std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
