// The limits every connection lives by: who is pushed out to make room,
// when deadlines pass, and what a request head must pass before it is
// answered. The same rules hold for the Linux and the Windows program.
#include "http/connection_policy.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "http/request_screen.h"

namespace {

using namespace std::chrono_literals;
using Clock = ConnectionTable::Clock;

const Clock::time_point t0{std::chrono::seconds(1000)};

ConnectionLimits Small() {
    ConnectionLimits l;
    l.perAddress = 2;
    l.maxConnections = 4;
    return l;
}

TEST(ConnectionTable, ANewConnectionPushesOutTheLongestWaitingOfItsAddress) {
    ConnectionTable t(Small());
    EXPECT_TRUE(t.Open(1, "192.0.2.1", false, t0).accepted);
    EXPECT_TRUE(t.Open(2, "192.0.2.1", false, t0 + 1s).accepted);
    const auto third = t.Open(3, "192.0.2.1", false, t0 + 2s);
    EXPECT_TRUE(third.accepted);
    EXPECT_EQ(third.pushedOut, std::vector<ConnectionTable::Id>{1});
    EXPECT_EQ(t.CountFor("192.0.2.1"), 2u);
    // One being answered is never pushed out: the other one goes.
    t.Answering(2, Clock::time_point::max());
    EXPECT_EQ(t.Open(4, "192.0.2.1", false, t0 + 3s).pushedOut, std::vector<ConnectionTable::Id>{3});
    // With both being answered, the newcomer is refused instead.
    t.Answering(4, Clock::time_point::max());
    const auto refused = t.Open(5, "192.0.2.1", false, t0 + 4s);
    EXPECT_FALSE(refused.accepted);
    EXPECT_TRUE(refused.pushedOut.empty());
    EXPECT_EQ(t.CountFor("192.0.2.1"), 2u);
}

TEST(ConnectionTable, ATrustedProxyHasNoPerAddressLimitButTheTotalHolds) {
    ConnectionTable t(Small());
    for (ConnectionTable::Id id = 1; id <= 4; ++id) {
        const auto a = t.Open(id, "127.0.0.1", true, t0 + std::chrono::seconds(id));
        EXPECT_TRUE(a.accepted && a.pushedOut.empty()) << id;
    }
    EXPECT_EQ(t.size(), 4u);
    // At the total, the connection that has waited longest goes, whatever its address.
    t.Waiting(1, t0 + 10s, t0 + 12s);  // back to waiting after a reply: waits since 10 s
    const auto a = t.Open(5, "192.0.2.9", false, t0 + 11s);
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.pushedOut, std::vector<ConnectionTable::Id>{2});
    EXPECT_EQ(t.size(), 4u);
}

TEST(ConnectionTable, OneAddressAtItsLimitDoesNotTouchAnother) {
    ConnectionLimits l;
    l.perAddress = 64;
    l.maxConnections = 1000;
    ConnectionTable t(l);
    ConnectionTable::Id id = 1;
    for (int i = 0; i < 200; ++i, ++id) t.Open(id, "192.0.2.1", false, t0 + std::chrono::milliseconds(i));
    EXPECT_EQ(t.CountFor("192.0.2.1"), 64u);
    for (int a = 0; a < 40; ++a)
        for (int i = 0; i < 5; ++i, ++id) EXPECT_TRUE(t.Open(id, "10.0.0." + std::to_string(a), false, t0 + 1s).accepted);
    const auto card = t.Open(id, "192.0.2.200", false, t0 + 2s);
    EXPECT_TRUE(card.accepted);
    EXPECT_TRUE(card.pushedOut.empty());
    EXPECT_EQ(t.size(), 64u + 200u + 1u);
}

TEST(ConnectionTable, AClosingConnectionNoLongerCountsAndGoesFirst) {
    ConnectionTable t(Small());  // 2 per address, 4 in all
    t.Open(1, "192.0.2.1", false, t0);
    t.Open(2, "192.0.2.1", false, t0 + 1s);
    t.Closing(1, t0 + 3s);  // its last reply sent: a client that reconnects takes its place
    const auto again = t.Open(3, "192.0.2.1", false, t0 + 2s);
    EXPECT_TRUE(again.accepted);
    EXPECT_TRUE(again.pushedOut.empty()) << "connection 2 is in use and must stay";
    t.Open(4, "192.0.2.2", false, t0 + 2s);
    // At the total, the closing one goes before any waiting one.
    EXPECT_EQ(t.Open(5, "192.0.2.3", false, t0 + 2s).pushedOut, std::vector<ConnectionTable::Id>{1});
    EXPECT_EQ(t.CountFor("192.0.2.1"), 2u);
}

TEST(ConnectionTable, DeadlinesForIdleHeadAndWrite) {
    ConnectionLimits l;
    ConnectionTable t(l);
    t.Open(1, "a", false, t0);  // waits for its first byte: the idle deadline
    t.Open(2, "b", false, t0);
    t.Waiting(2, t0, t0 + l.head);  // its head has begun
    t.Open(3, "c", false, t0);
    t.Answering(3, Clock::time_point::max());  // waiting for the source: no deadline here
    t.Open(4, "d", false, t0);
    t.Answering(4, t0 + l.write);  // its reply is being written
    EXPECT_TRUE(t.Expired(t0 + l.idle - 1ms).empty());
    EXPECT_EQ(t.Expired(t0 + l.idle), std::vector<ConnectionTable::Id>{1});
    auto late = t.Expired(t0 + l.head);
    std::sort(late.begin(), late.end());
    EXPECT_EQ(late, (std::vector<ConnectionTable::Id>{1, 2, 4}));
    t.Closed(1);
    t.Closed(1);  // twice is harmless
    EXPECT_EQ(t.size(), 3u);
    EXPECT_EQ(t.CountFor("a"), 0u);
}

RequestFacts Card() {
    RequestFacts f;
    f.hosts = {"localhost"};
    return f;
}

TEST(RequestScreen, TheCardPassesAndWebPagesAndOtherHostsAreRefused) {
    const ScreenRules local;  // localhost, 127.0.0.1, [::1]
    ScreenRules pub;
    pub.allowedHosts = {"weather.example.org"};
    struct Case {
        const char* what;
        RequestFacts facts;
        const ScreenRules& rules;
        int status;  // 0: passes
        bool close;
        const char* firstLine;
    };
    const auto with = [](auto change) {
        RequestFacts f = Card();
        change(f);
        return f;
    };
    const std::vector<Case> cases = {
        {"the card", Card(), local, 0, false, ""},
        {"a port", with([](RequestFacts& f) { f.hosts = {"127.0.0.1:8080"}; }), local, 0, false, ""},
        {"IPv6 loopback", with([](RequestFacts& f) { f.hosts = {"[::1]:80"}; }), local, 0, false, ""},
        {"any case", with([](RequestFacts& f) { f.hosts = {"LocalHost"}; }), local, 0, false, ""},
        {"typed in the address bar", with([](RequestFacts& f) { f.secFetchSite = "none"; }), local, 0, false, ""},
        {"Content-Length: 0", with([](RequestFacts& f) { f.contentLengths = 1; }), local, 0, false, ""},
        {"HTTP/1.0 without Host", with([](RequestFacts& f) { f.hosts.clear(); f.http11 = false; }), local, 0, false, ""},
        {"a public host's own name", with([](RequestFacts& f) { f.hosts = {"Weather.Example.org"}; }), pub, 0, false, ""},
        {"DNS rebinding", with([](RequestFacts& f) { f.hosts = {"evil.example"}; }), local, 403, false,
         "Not for this host name"},
        {"localhost on a public host", Card(), pub, 403, false, "Not for this host name"},
        {"Origin", with([](RequestFacts& f) { f.origin = true; }), local, 403, false, "Not for web pages"},
        {"Referer", with([](RequestFacts& f) { f.referer = true; }), local, 403, false, "Not for web pages"},
        {"cross-site", with([](RequestFacts& f) { f.secFetchSite = "cross-site"; }), local, 403, false,
         "Not for web pages"},
        {"same-origin", with([](RequestFacts& f) { f.secFetchSite = "same-origin"; }), local, 403, false,
         "Not for web pages"},
        {"HTTP/1.1 without Host", with([](RequestFacts& f) { f.hosts.clear(); }), local, 400, false, "No Host header"},
        {"two Hosts", with([](RequestFacts& f) { f.hosts = {"localhost", "evil.example"}; }), local, 400, true,
         "More than one Host header"},
        {"a body on GET", with([](RequestFacts& f) { f.contentLengths = 1; f.nonZeroLength = true; }), local, 400,
         true, "No request body is taken here"},
        {"chunked", with([](RequestFacts& f) { f.transferEncoding = true; }), local, 400, true,
         "No request body is taken here"},
        {"two lengths", with([](RequestFacts& f) { f.contentLengths = 2; }), local, 400, true,
         "Conflicting message lengths"},
        {"length and chunked", with([](RequestFacts& f) { f.contentLengths = 1; f.transferEncoding = true; }), local,
         400, true, "Conflicting message lengths"},
    };
    for (const Case& c : cases) {
        const auto r = ScreenRequest(c.facts, c.rules);
        ASSERT_EQ(r.has_value(), c.status != 0) << c.what;
        if (!r) continue;
        EXPECT_EQ(r->reply.status, c.status) << c.what;
        EXPECT_EQ(r->close, c.close) << c.what;
        EXPECT_EQ(r->reply.body, std::string(c.firstLine) + "\n") << c.what;
        EXPECT_EQ(r->reply.contentType, "text/plain; charset=us-ascii");
        EXPECT_LE(r->reply.body.size(), 41u) << "the card shows the first line, 40 characters at most";
        EXPECT_EQ(r->reply.maxAge, -1) << "never cached";
    }
}

}  // namespace
