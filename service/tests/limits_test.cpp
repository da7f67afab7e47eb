// The service's own limits on calls to the source: the gate (one call at a
// time, a short queue, the pause after a 429 or 5xx) and the allowance of
// each client.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "upstream/client_limits.h"
#include "upstream/upstream_gate.h"

namespace {

using namespace std::chrono_literals;

// An upstream that answers with `status` and `retryAfter`, or holds every
// call until released.
class ScriptedClient : public UpstreamClient {
public:
    long status = 200;
    int retryAfter = 0;
    bool transportOk = true;
    std::atomic<int> calls{0}, inside{0};
    std::vector<std::string> order;  // the URLs called, in order

    void Hold() {
        std::lock_guard<std::mutex> lock(m_);
        held_ = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m_);
            held_ = false;
        }
        cv_.notify_all();
    }
    void WaitInside(int n) {
        while (inside < n) std::this_thread::sleep_for(1ms);
    }

    UpstreamReply Get(const std::string& url, std::chrono::milliseconds) override {
        {
            std::lock_guard<std::mutex> lock(m_);
            order.push_back(url);
        }
        ++calls;
        ++inside;
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return !held_; });
        --inside;
        UpstreamReply r;
        r.transportOk = transportOk;
        r.status = status;
        r.retryAfter = retryAfter;
        return r;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool held_ = false;
};

struct Gate {
    explicit Gate(GateRules rules = {}) : gate(rules, [this] { return now.load(); }) {}
    UpstreamReply Call(CallPurpose p = CallPurpose::New, const std::string& from = "") {
        return gate.Call(client, "http://x/", 1000ms, kOneCall, {p, from});
    }
    std::atomic<int64_t> now{1000000};
    ScriptedClient client;
    UpstreamGate gate;
};

TEST(UpstreamGate, OneCallAtATimeAShortQueueThenAQuickRefusal) {
    GateRules rules;
    rules.maxWaiting = 2;
    rules.maxWait = 5000ms;
    Gate g(rules);
    g.client.Hold();
    auto first = std::async(std::launch::async, [&] { return g.Call(); });
    g.client.WaitInside(1);
    auto second = std::async(std::launch::async, [&] { return g.Call(); });
    auto third = std::async(std::launch::async, [&] { return g.Call(); });
    while (g.gate.Now().waiting < 2) std::this_thread::sleep_for(1ms);
    const auto started = std::chrono::steady_clock::now();
    const UpstreamReply fourth = g.Call();  // the queue is full: no wait at all
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(fourth.refused);
    EXPECT_EQ(fourth.trouble, Trouble::Busy);
    EXPECT_EQ(fourth.retryAfter, 3);  // three calls ahead, at a second each until one is timed
    EXPECT_EQ(g.client.inside.load(), 1);  // never two at once
    g.client.Release();
    EXPECT_FALSE(first.get().refused);
    EXPECT_FALSE(second.get().refused);
    EXPECT_FALSE(third.get().refused);
    EXPECT_EQ(g.client.calls.load(), 3);
}

// Calls queued behind one in flight: who waits, who is turned away, and
// the order they reach the source once it is free.
struct Queued {
    explicit Queued(GateRules rules) : g(rules) {
        g.client.Hold();
        calls.push_back(std::async(std::launch::async, [this] { return Send("first", CallPurpose::New, "192.0.2.1"); }));
        g.client.WaitInside(1);
    }
    UpstreamReply Send(const std::string& url, CallPurpose p, const std::string& from) {
        return g.gate.Call(g.client, url, 1000ms, kOneCall, {p, from});
    }
    // Queues a call and waits until it waits (or was turned away).
    void Queue(const std::string& url, CallPurpose p, const std::string& from) {
        const int before = g.gate.Now().waiting;
        calls.push_back(std::async(std::launch::async, [=] { return Send(url, p, from); }));
        for (int i = 0; i < 2000 && g.gate.Now().waiting == before; ++i) std::this_thread::sleep_for(1ms);
    }
    std::vector<std::string> Finish() {
        g.client.Release();
        for (auto& c : calls) replies.push_back(c.get());
        return g.client.order;
    }
    std::vector<UpstreamReply> replies;  // after Finish, in the order queued
    Gate g;
    std::vector<std::future<UpstreamReply>> calls;
};

GateRules QueueRules(int maxWaiting, int perClient) {
    GateRules rules;
    rules.maxWaiting = maxWaiting;
    rules.maxWaitingPerClient = perClient;
    rules.maxWait = 5000ms;
    return rules;
}

TEST(UpstreamGate, RefreshesOfPlacesInUseGoBeforeNewPlaces) {
    Queued q(QueueRules(6, 2));
    q.Queue("new-b", CallPurpose::New, "192.0.2.2");
    q.Queue("new-c", CallPurpose::New, "192.0.2.3");
    q.Queue("refresh", CallPurpose::Refresh, "192.0.2.4");
    EXPECT_EQ(q.Finish(), (std::vector<std::string>{"first", "refresh", "new-b", "new-c"}));
}

TEST(UpstreamGate, NewPlacesTakeTurnsClientByClient) {
    Queued q(QueueRules(6, 2));
    q.Queue("a1", CallPurpose::New, "192.0.2.1");
    q.Queue("a2", CallPurpose::New, "192.0.2.1");
    // A third from the same client is turned away at once; another client is not.
    const auto started = std::chrono::steady_clock::now();
    const UpstreamReply a3 = q.Send("a3", CallPurpose::New, "192.0.2.1");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);
    EXPECT_TRUE(a3.refused);
    EXPECT_EQ(a3.trouble, Trouble::Busy);
    q.Queue("b1", CallPurpose::New, "192.0.2.2");
    // Addresses of one IPv6 /64 are one client.
    q.Queue("v6-1", CallPurpose::New, "2001:db8:1:2::10");
    q.Queue("v6-2", CallPurpose::New, "2001:db8:1:2::11");
    EXPECT_TRUE(q.Send("v6-3", CallPurpose::New, "2001:db8:1:2:ffff::1").refused);
    // The quietest client first (b asked once), then the others by turns.
    EXPECT_EQ(q.Finish(), (std::vector<std::string>{"first", "b1", "a1", "v6-1", "a2", "v6-2"}));
}

TEST(UpstreamGate, AFullQueueMakesRoomForAQuieterClient) {
    Queued q(QueueRules(2, 2));
    q.Queue("a1", CallPurpose::New, "192.0.2.1");
    q.Queue("a2", CallPurpose::New, "192.0.2.1");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(q.Send("a-more", CallPurpose::New, "192.0.2.1").refused);
    q.calls.push_back(std::async(std::launch::async, [&q] { return q.Send("b1", CallPurpose::New, "192.0.2.2"); }));
    EXPECT_EQ(q.calls[2].wait_for(5s), std::future_status::ready);  // b1 takes a2's place: a2 is answered
    EXPECT_EQ(q.Finish(), (std::vector<std::string>{"first", "b1", "a1"}));  // the quieter first
    EXPECT_TRUE(q.replies[2].refused);  // a2, pushed out
    EXPECT_EQ(q.replies[2].trouble, Trouble::Busy);
    EXPECT_FALSE(q.replies[3].refused);
}

TEST(ClientGroup, IPv4AddressesAloneIPv6ByTheirSlash64) {
    const struct {
        const char* address;
        const char* group;
    } cases[] = {
        {"192.0.2.7", "192.0.2.7"},
        {"", ""},
        {"2001:db8:1:2::10", "2001:db8:1:2::/64"},
        {"2001:0DB8:0001:0002:ffff:1:2:3", "2001:db8:1:2::/64"},
        {"[2001:db8::1]", "2001:db8:0:0::/64"},
        {"2001:db8::1", "2001:db8:0:0::/64"},
        {"::1", "0:0:0:0::/64"},
        {"::ffff:192.0.2.7", "192.0.2.7"},
        {"fe80::1%eth0", "fe80:0:0:0::/64"},
    };
    for (const auto& c : cases) EXPECT_EQ(ClientGroup(c.address), c.group) << c.address;
}

TEST(UpstreamGate, AClientThatThrowsGivesItsTurnBack) {
    struct Throwing : UpstreamClient {
        UpstreamReply Get(const std::string&, std::chrono::milliseconds) override {
            throw std::runtime_error("out of memory");
        }
    } throwing;
    GateRules rules;
    rules.pauseAfterNoAnswer = 0;
    UpstreamGate gate(rules, [] { return int64_t{1000000}; });
    for (int i = 0; i < 3; ++i) {
        const UpstreamReply r = gate.Call(throwing, "http://x/", 1000ms, kOneCall, {});
        EXPECT_FALSE(r.refused) << i;  // the turn was given back each time
        EXPECT_FALSE(r.transportOk);
        EXPECT_EQ(r.error, "out of memory");
    }
    EXPECT_EQ(gate.Now().inFlight, 0);
}

TEST(UpstreamGate, AWaiterGivesUpAfterItsTime) {
    GateRules rules;
    rules.maxWait = 50ms;
    Gate g(rules);
    g.client.Hold();
    auto first = std::async(std::launch::async, [&] { return g.Call(); });
    g.client.WaitInside(1);
    const UpstreamReply late = g.Call();
    EXPECT_TRUE(late.refused);
    EXPECT_NE(late.error.find("busy"), std::string::npos);
    g.client.Release();
    first.get();
}

TEST(UpstreamGate, AfterA429Or5xxEveryCallWaits) {
    struct Case {
        long status;
        bool transportOk;
        int retryAfter, pause;
    } cases[] = {
        {429, true, 0, 60},   // the default pause
        {429, true, 120, 120},  // the source's Retry-After
        {503, true, 0, 30},
        {500, true, 7, 7},
        {429, true, 999999, 3600},  // never more than an hour
        {0, false, 0, 3},  // no answer at all: the source may be back at the card's next try
    };
    for (const Case& c : cases) {
        Gate g;
        g.client.status = c.status;
        g.client.transportOk = c.transportOk;
        g.client.retryAfter = c.retryAfter;
        EXPECT_FALSE(g.Call().refused);
        g.client.status = 200;
        g.client.transportOk = true;
        const UpstreamReply held = g.Call(CallPurpose::Refresh);  // any key, any purpose
        EXPECT_TRUE(held.refused) << c.status;
        EXPECT_EQ(held.retryAfter, c.pause) << c.status;
        g.now += c.pause - 1;
        EXPECT_TRUE(g.Call().refused) << c.status;
        g.now += 1;
        EXPECT_FALSE(g.Call().refused) << c.status;
        EXPECT_EQ(g.client.calls.load(), 2) << c.status;
    }
}

TEST(UpstreamGate, TheBudgetRefusesWithTheTimeToWait) {
    GateRules rules;
    rules.calls = {2, 100, 100, 50};
    Gate g(rules);
    g.now = 600;  // the start of a minute
    EXPECT_FALSE(g.Call(CallPurpose::New).refused);
    const UpstreamReply r = g.Call(CallPurpose::New);  // new places have half: 1 call
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(r.retryAfter, 60);
    EXPECT_FALSE(g.Call(CallPurpose::Refresh).refused);
    EXPECT_EQ(g.client.calls.load(), 2);
}

TEST(ClientLimits, EachClientHasItsOwnAllowanceThatRefills) {
    std::chrono::steady_clock::time_point now{};
    ClientLimits limits({6, 3, 100}, [&] { return now; });
    int wait = 0;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limits.TryTake("192.0.2.1", wait));
    EXPECT_FALSE(limits.TryTake("192.0.2.1", wait));
    EXPECT_EQ(wait, 10);  // 6 a minute: one every 10 s
    EXPECT_TRUE(limits.TryTake("192.0.2.2", wait));  // another client is not touched
    now += 9s;
    EXPECT_FALSE(limits.TryTake("192.0.2.1", wait));
    EXPECT_EQ(wait, 1);
    now += 1s;
    EXPECT_TRUE(limits.TryTake("192.0.2.1", wait));
    now += 1h;  // refills only up to the burst
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limits.TryTake("192.0.2.1", wait));
    EXPECT_FALSE(limits.TryTake("192.0.2.1", wait));
}

TEST(ClientLimits, TheTableOfClientsIsBounded) {
    std::chrono::steady_clock::time_point now{};
    ClientLimits limits({1, 1, 3}, [&] { return now; });
    int wait = 0;
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(limits.TryTake("198.51.100." + std::to_string(i), wait));
    // The newest clients are remembered; the table did not grow past its bound
    // (the last one's allowance is still used up).
    EXPECT_FALSE(limits.TryTake("198.51.100.99", wait));
}

}  // namespace
