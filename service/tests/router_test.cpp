// Which request gets which answer, the bytes of the reply on the wire, and
// the log line: the parts of the HTTP face that both servers share.
#include "feed/feed_router.h"

#include <gtest/gtest.h>

#include "http/client_address.h"
#include "http/http_dates.h"
#include "http/http_reply.h"
#include "http/log_tail.h"
#include "http/request_log.h"
#include "upstream/sample_provider.h"

namespace {

constexpr int64_t kNow = 1796723400;  // 2026-12-08T09:50Z

class Router : public ::testing::Test {
protected:
    Router()
        : provider_([] { return kNow; }),
          service_(provider_, ServiceRules{}, [] { return std::chrono::steady_clock::now(); }, [] { return kNow; }),
          router_(service_) {}
    SampleProvider provider_;
    FeedService service_;
    FeedRouter router_;
};

TEST_F(Router, EachRequestGetsItsAnswer) {
    struct Case {
        const char* method;
        std::string target;
        int status;
        const char* contentType;
        const char* bodyStart;
    };
    const char* xml = "text/xml;charset=UTF-8";
    const char* text = "text/plain; charset=us-ascii";
    for (const Case& c : std::vector<Case>{
             {"GET", "/forecastrss?w=4250542", 200, xml, "<?xml"},
             {"HEAD", "/forecastrss?w=4250542&u=c", 200, xml, "<?xml"},
             {"GET", "/forecast%72ss?w=1", 200, xml, "<?xml"},  // the path is percent-decoded
             {"GET", "/v1/public/yql?q=select * from geo.places where text = 'Ber'", 200, xml, "<?xml"},
             {"GET", "/health", 200, "application/json", "{"},
             {"GET", "/forecastrss?w=%zz", 400, text, "Malformed query string.\n"},
             {"GET", "/v1/public/yql", 400, text, "Malformed query string.\n"},
             {"GET", "/forecastrss?w=" + std::string(3000, '1'), 414, text, "Query string too long.\n"},
             {"POST", "/x?" + std::string(3000, '1'), 414, text, "Query string too long.\n"},
             {"POST", "/forecastrss?w=4250542", 404, text, "Not found.\n"},
             {"GET", "/forecastrss/?w=1", 404, text, "Not found.\n"},
             {"GET", "http://localhost/forecastrss?w=1", 404, text, "Not found.\n"},
         }) {
        const ServiceReply r = router_.Answer(c.method, c.target);
        EXPECT_EQ(r.status, c.status) << c.method << " " << c.target.substr(0, 40);
        EXPECT_EQ(r.contentType, c.contentType) << c.target.substr(0, 40);
        EXPECT_EQ(r.body.rfind(c.bodyStart, 0), 0u) << c.target.substr(0, 40) << ": " << r.body.substr(0, 40);
    }
    EXPECT_EQ(UnreadableRequestReply().status, 400);
    EXPECT_EQ(UnreadableRequestReply().body, "Bad request.\n");
}

TEST_F(Router, OnlyWhatCannotCallTheSourceIsAnsweredOnTheNetworkThreads) {
    const std::string place = "/forecastrss?w=4250542";
    const std::string search = "/v1/public/yql?q=select * from geo.places where text = 'Ber'";
    // Never asked for: it may need the source, so it goes to a worker.
    EXPECT_FALSE(router_.AnswersAtOnce("GET", place));
    EXPECT_FALSE(router_.AnswersAtOnce("GET", "/forecast%72ss?w=4250542"));
    EXPECT_FALSE(router_.AnswersAtOnce("GET", search));
    // Once answered from the cache and while fresh: at once.
    ASSERT_EQ(router_.Answer("GET", place).status, 200);
    EXPECT_TRUE(router_.AnswersAtOnce("GET", place));
    EXPECT_TRUE(router_.AnswersAtOnce("HEAD", place));
    EXPECT_FALSE(router_.AnswersAtOnce("GET", place + "&u=c")) << "another document";
    // Requests that never call the source.
    for (const char* target : {"/health", "/nothing", "/forecastrss/?w=1"})
        EXPECT_TRUE(router_.AnswersAtOnce("GET", target)) << target;
    EXPECT_TRUE(router_.AnswersAtOnce("POST", place));
    EXPECT_TRUE(router_.AnswersAtOnce("GET", "/forecastrss?w=" + std::string(3000, '1')));
}

// A forecast still fresh whose place lookup has run out would call the
// source for the lookup: it goes to a worker, not a network thread.
TEST(RouterLookups, AForecastWhosePlaceLookupRunsOutGoesToAWorker) {
    SampleProvider provider([] { return kNow; });
    ServiceRules rules;
    rules.places.fresh = std::chrono::seconds(0);
    FeedService service(provider, rules, [] { return std::chrono::steady_clock::now(); }, [] { return kNow; });
    FeedRouter router(service);
    const std::string place = "/forecastrss?w=4250542";
    const ServiceReply r = router.Answer("GET", place);
    ASSERT_EQ(r.status, 200);
    EXPECT_GT(r.maxAge, 0) << "the forecast itself is fresh";
    EXPECT_FALSE(router.AnswersAtOnce("GET", place));
}

TEST(ReplyBytes, HeadersInTheServersOrderWithKeepAliveOrClose) {
    ServiceReply r;
    r.body = "<rss/>";
    r.cache = "hit";
    r.date = kNow + 61;
    r.lastModified = kNow;
    r.maxAge = 539;
    EXPECT_EQ(ReplyBytes(r, false, false),
              "HTTP/1.1 200 OK\r\nCache-Control: public, max-age=539\r\nContent-Length: 6\r\n"
              "Content-Type: text/xml;charset=UTF-8\r\nDate: Tue, 08 Dec 2026 09:51:01 GMT\r\n"
              "Keep-Alive: timeout=2, max=100\r\nLast-Modified: Tue, 08 Dec 2026 09:50:00 GMT\r\nX-Cache: hit\r\n\r\n"
              "<rss/>");
    EXPECT_EQ(ReplyBytes(r, true, true),
              "HTTP/1.1 200 OK\r\nAccept-Ranges: bytes\r\nCache-Control: public, max-age=539\r\nConnection: close\r\n"
              "Content-Length: 6\r\nContent-Type: text/xml;charset=UTF-8\r\nDate: Tue, 08 Dec 2026 09:51:01 GMT\r\n"
              "Last-Modified: Tue, 08 Dec 2026 09:50:00 GMT\r\nX-Cache: hit\r\n\r\n");
    ServiceReply busy = {503, "text/plain; charset=us-ascii", "Later.\n", ""};
    busy.retryAfter = 30;
    EXPECT_EQ(ReplyBytes(busy, false, false),
              "HTTP/1.1 503 Service Unavailable\r\nCache-Control: no-store\r\nContent-Length: 7\r\n"
              "Content-Type: text/plain; charset=us-ascii\r\nKeep-Alive: timeout=2, max=100\r\nRetry-After: 30\r\n\r\n"
              "Later.\n");
}

TEST(HttpDates, WrittenAndReadBack) {
    EXPECT_EQ(HttpDate(kNow), "Tue, 08 Dec 2026 09:50:00 GMT");
    EXPECT_EQ(ReadHttpDate("Tue, 08 Dec 2026 09:50:00 GMT"), kNow);
    EXPECT_FALSE(ReadHttpDate("Tuesday, 08-Dec-26 09:50:00 GMT"));
    EXPECT_FALSE(ReadHttpDate("Tue, 31 Feb 2026 09:50:00 GMT"));
    EXPECT_EQ(ReadRetryAfter(" 120 ", kNow), 120);
    EXPECT_EQ(ReadRetryAfter("Tue, 08 Dec 2026 09:51:30 GMT", kNow), 90);
    EXPECT_EQ(ReadRetryAfter("Tue, 08 Dec 2026 09:49:00 GMT", kNow), 0);  // past
    EXPECT_EQ(ReadRetryAfter("99999999999", kNow), 86400);
    EXPECT_EQ(ReadRetryAfter("soon", kNow), 0);
}

TEST(ClientAddress, OnlyATrustedProxyNamesTheClient) {
    const std::vector<std::string> none, local{"127.0.0.1"}, chain{"127.0.0.1", "10.0.0.2"}, v6local{"::1"};
    struct Case {
        const char* peer;
        const char* forwardedFor;
        const std::vector<std::string>& trusted;
        const char* client;
    };
    for (const Case& c : std::vector<Case>{
             {"127.0.0.1", "203.0.113.9", none, "127.0.0.1"},
             {"192.0.2.8", "203.0.113.9", local, "192.0.2.8"},  // not the trusted proxy: its word counts for nothing
             {"127.0.0.1", "203.0.113.9", local, "203.0.113.9"},
             // The last entry is the one the proxy added; earlier ones are the client's word.
             {"127.0.0.1", "10.0.0.1, 198.51.100.7", local, "198.51.100.7"},
             // Through two trusted proxies: the entry before the second one.
             {"127.0.0.1", "198.51.100.7, 10.0.0.2", chain, "198.51.100.7"},
             {"127.0.0.1", "2001:DB8::1", local, "2001:db8::1"},
             {"127.0.0.1", "not an address", local, "127.0.0.1"},
             {"127.0.0.1", "", local, "127.0.0.1"},
             {"::ffff:192.0.2.4", "", none, "192.0.2.4"},
             {"::ffff:127.0.0.1", "203.0.113.9", local, "203.0.113.9"},
             // One address however it is written.
             {"127.0.0.1", "2001:0db8:0:0:0:0:0:0001", local, "2001:db8::1"},
             {"127.0.0.1", "0:0:0:0:0:ffff:c000:0204", local, "192.0.2.4"},
             {"0:0:0:0:0:0:0:1", "203.0.113.9", v6local, "203.0.113.9"},
             {"127.0.0.1", ":::1", local, "127.0.0.1"},
         }) {
        EXPECT_EQ(ClientAddress(c.peer, c.forwardedFor, c.trusted), c.client) << c.peer << " " << c.forwardedFor;
    }
}

TEST(ClientAddress, EachAddressHasOneSpelling) {
    for (const auto& c : std::vector<std::pair<const char*, const char*>>{
             {"192.0.2.7", "192.0.2.7"},
             {"192.000.002.007", "192.0.2.7"},
             {"::FFFF:192.0.2.1", "192.0.2.1"},
             {"::ffff:c000:201", "192.0.2.1"},
             {"::1", "::1"},
             {"::", "::"},
             {"2001:DB8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},  // the first of two equal runs
             {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},  // one zero group stays
             {"fe80::1:2", "fe80::1:2"},
             {"1::", "1::"},
             {"64:ff9b::192.0.2.33", "64:ff9b::c000:221"},
             // Not addresses.
             {"", ""}, {"256.1.1.1", ""}, {"1.2.3", ""}, {"1.2.3.4.5", ""}, {"1::2::3", ""},
             {":1::", ""}, {"1:2:3:4:5:6:7:8:9", ""}, {"12345::", ""}, {"::g", ""}, {"1:2:3:4:5:6:7::8", ""},
             {"::1.2.3.4:5", ""}, {"1:", ""}, {":::", ""}, {"::ffff:1.2.3.256", ""},
         }) {
        EXPECT_EQ(CanonicalAddress(c.first), c.second) << c.first;
        EXPECT_EQ(IsIpv6Address(c.first) || IsIpv4Address(c.first), *c.second != '\0') << c.first;
    }
}

TEST(ClientAddress, ConnectionsAreCountedPerIpv4AddressAndPerIpv6Slash64) {
    std::array<uint8_t, 16> v4{};
    v4[10] = v4[11] = 0xff;
    v4[12] = 192, v4[13] = 0, v4[14] = 2, v4[15] = 7;
    EXPECT_EQ(ConnectionKey(v4), "192.0.2.7");
    std::array<uint8_t, 16> a{0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 2, 9, 9, 9, 9, 9, 9, 9, 9};
    std::array<uint8_t, 16> b = a;
    b[15] = 1;  // another host of the same /64
    EXPECT_EQ(ConnectionKey(a), "2001:db8:1:2::/64");
    EXPECT_EQ(ConnectionKey(a), ConnectionKey(b));
    b[7] = 3;
    EXPECT_NE(ConnectionKey(a), ConnectionKey(b));
}

TEST(RequestLog, OneEscapedLinePerRequest) {
    ServiceReply r;
    r.body = std::string(2421, 'x');
    r.cache = "miss";
    EXPECT_EQ(RequestLogLine(kNow + 61, "127.0.0.1", "GET", "/v1/public/yql?q='Z\xFC\"rich'", r),
              "2026-12-08T09:51:01Z 127.0.0.1 \"GET /v1/public/yql?q='Z\\xFC\\x22rich'\" 200 2421 cache=miss\n");
    r.cache.clear();
    r.status = 404;
    EXPECT_EQ(RequestLogLine(0, "::1", "GET", std::string(400, 'a'), r),
              "1970-01-01T00:00:00Z ::1 \"GET " + std::string(300, 'a') + "...\" 404 2421\n");
    r.status = 429;
    r.body = "x";
    r.reason = "this client's allowance is used up";
    EXPECT_EQ(RequestLogLine(0, "::1", "GET", "/forecastrss?w=1", r),
              "1970-01-01T00:00:00Z ::1 \"GET /forecastrss?w=1\" 429 1 reason=\"this client's allowance is used up\"\n");
}

TEST(LogTail, KeepsWholeLinesOnly) {
    EXPECT_EQ(KeptLogTail("cut line\nline 1\nline 2\n"), "line 1\nline 2\n");
    EXPECT_EQ(KeptLogTail("no line end at all"), "");
}

}  // namespace
