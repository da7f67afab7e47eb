// The server writes exactly the bytes the core's ReplyBytes gives for the
// same answer, in one piece. A twin service
// with the same sample data and clock answers the same requests in the same
// order, so its cache states (X-Cache) match too.
#include <gtest/gtest.h>

#include <ctime>

#include "feed/feed_router.h"
#include "http/http_dates.h"
#include "http/http_reply.h"
#include "upstream/sample_provider.h"
#include "harness.h"

namespace {

constexpr int64_t kNow = 1796723400;

struct Twin {
    SampleProvider provider{[] { return kNow; }};
    FeedService service{provider, ServiceRules{}, [] { return std::chrono::steady_clock::now(); },
                        [] { return kNow; }};
};

TEST(Wire, LinuxRepliesAreTheCoresBytes) {
    Twin served, expected;
    RunningServer server(served.service);
    FeedRouter router(expected.service);
    struct Case {
        std::string method, target;
        bool close;
    };
    const std::string search = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20";
    for (const Case& c : std::vector<Case>{
             {"GET", "/forecastrss?w=4250542", false},
             {"GET", "/forecastrss?w=4250542", false},  // now a cache hit
             {"GET", "/forecastrss?w=2643743&u=c", false},
             {"GET", search + "'Springfield'", false},
             {"GET", search + "'Nowhere'", false},
             {"GET", "/forecastrss?w=1", false},
             {"GET", "/forecastrss?w=%zz", false},
             {"GET", "/forecastrss?w=" + std::string(3000, '1'), false},
             {"GET", "/nothing", false},
             {"DELETE", "/forecastrss?w=1", false},
             {"HEAD", "/forecastrss?w=4250542", false},
             {"GET", "/forecastrss?w=4250542", true},
         }) {
        std::string request = CardRequest(c.target);
        request.replace(0, 3, c.method);
        if (c.close) request.replace(request.find("Keep-Alive"), 10, "close");
        const RawReply got = SendRaw(server.port(), request);
        const std::string want = ReplyBytes(router.Answer(c.method, c.target), c.method == "HEAD", c.close);
        EXPECT_EQ(got.raw, want) << c.method << " " << c.target.substr(0, 60);
    }
}

TEST(Wire, AnUnreadableRequestGetsTheCoresRefusal) {
    Twin served;
    RunningServer server(served.service);
    // Dated by the service's clock as every reply, and the connection closed:
    // what follows an unreadable request cannot be trusted to be a request.
    const auto expected = [](const RawReply&, int status) {
        ServiceReply r = UnreadableRequestReply(status);
        r.date = kNow;
        return ReplyBytes(r, false, true);
    };
    const RawReply hello = SendRaw(server.port(), "HELLO\r\n\r\n");
    EXPECT_EQ(hello.raw, expected(hello, 400));
    const std::string longLine = "GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n";
    const RawReply tooLong = SendRaw(server.port(), longLine);
    EXPECT_EQ(tooLong.raw, expected(tooLong, 414));
    const std::string longHead = "GET / HTTP/1.1\r\nX: " + std::string(9000, 'a') + "\r\n\r\n";
    const RawReply tooLarge = SendRaw(server.port(), longHead);
    EXPECT_EQ(tooLarge.raw, expected(tooLarge, 431));
}

}  // namespace
