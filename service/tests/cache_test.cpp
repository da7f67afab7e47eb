#include "feed/source_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A clock the test moves by hand.
struct ManualClock {
    std::atomic<int64_t> seconds{1000000};
    CacheClock AsCacheClock() {
        return [this] { return std::chrono::steady_clock::time_point(std::chrono::seconds(seconds.load())); };
    }
    void Advance(std::chrono::seconds s) { seconds += s.count(); }
};

CacheRules Rules() {
    CacheRules r;
    r.fresh = 600s;
    r.stale = 6h;
    r.holdOff = 30s;
    r.maxEntries = 100;
    return r;
}

struct CountingSource {
    std::atomic<int> calls{0};
    bool fail = false;
    std::string value = "doc-1";
    Fetched<std::string> operator()() {
        ++calls;
        return fail ? Fetched<std::string>::Failed("HTTP 429") : Fetched<std::string>::Good(value);
    }
};

TEST(CacheRules, FreshEntriesAreServedWithoutAskingTheSource) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    CountingSource src;
    auto fetch = [&] { return src(); };

    auto a = cache.Get("k", fetch);
    EXPECT_EQ(a.source, CacheSource::Fetched);
    EXPECT_EQ(*a.value, "doc-1");
    clock.Advance(599s);
    a = cache.Get("k", fetch);
    EXPECT_EQ(a.source, CacheSource::Fresh);
    EXPECT_EQ(src.calls, 1);

    clock.Advance(1s);  // ten minutes: the source is asked again
    src.value = "doc-2";
    a = cache.Get("k", fetch);
    EXPECT_EQ(a.source, CacheSource::Fetched);
    EXPECT_EQ(*a.value, "doc-2");
    EXPECT_EQ(src.calls, 2);
}

TEST(CacheRules, KeysAreSeparate) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    CountingSource src;
    cache.Get("1:f", [&] { return src(); });
    cache.Get("1:c", [&] { return src(); });
    EXPECT_EQ(src.calls, 2);
}

TEST(CacheRules, FailuresServeTheLastGoodValueUpToTheStaleLimit) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    CountingSource src;
    auto fetch = [&] { return src(); };
    cache.Get("k", fetch);

    src.fail = true;
    clock.Advance(11min);
    auto a = cache.Get("k", fetch);
    EXPECT_EQ(a.source, CacheSource::Stale);
    EXPECT_EQ(*a.value, "doc-1");
    EXPECT_EQ(a.error, "HTTP 429");
    EXPECT_EQ(src.calls, 2);

    clock.Advance(6h - 11min);  // exactly six hours old: still served
    a = cache.Get("k", fetch);
    EXPECT_EQ(a.source, CacheSource::Stale);

    clock.Advance(1s);
    a = cache.Get("k", fetch);
    EXPECT_EQ(a.source, CacheSource::Failed);
    EXPECT_EQ(a.value, nullptr);
}

TEST(CacheRules, NothingCachedAndAFailingSourceIsAFailure) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    CountingSource src;
    src.fail = true;
    const auto a = cache.Get("k", [&] { return src(); });
    EXPECT_EQ(a.source, CacheSource::Failed);
    EXPECT_EQ(a.error, "HTTP 429");
}

TEST(CacheRules, AFailedSourceIsLeftAloneDuringTheHoldOff) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    CountingSource src;
    src.fail = true;
    auto fetch = [&] { return src(); };
    cache.Get("k", fetch);
    clock.Advance(29s);
    EXPECT_EQ(cache.Get("k", fetch).source, CacheSource::Failed);
    EXPECT_EQ(src.calls, 1);

    clock.Advance(1s);
    src.fail = false;
    EXPECT_EQ(cache.Get("k", fetch).source, CacheSource::Fetched);
    EXPECT_EQ(src.calls, 2);
}

TEST(CacheRules, StaleValueIsServedDuringTheHoldOffToo) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    CountingSource src;
    auto fetch = [&] { return src(); };
    cache.Get("k", fetch);
    clock.Advance(20min);
    src.fail = true;
    cache.Get("k", fetch);
    clock.Advance(5s);
    const auto a = cache.Get("k", fetch);
    EXPECT_EQ(a.source, CacheSource::Stale);
    EXPECT_EQ(*a.value, "doc-1");
    EXPECT_EQ(src.calls, 2);
}

TEST(CacheRules, AThrowingSourceIsAFailureNotACrash) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    const auto a = cache.Get("k", []() -> Fetched<std::string> { throw std::runtime_error("bad reply"); });
    EXPECT_EQ(a.source, CacheSource::Failed);
    EXPECT_EQ(a.error, "bad reply");
}

TEST(CacheRules, ConcurrentRequestsForOneKeyMakeOneSourceCall) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::atomic<int> calls{0};
    auto slow = [&] {
        ++calls;
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return release; });
        return Fetched<std::string>::Good("doc");
    };

    std::vector<std::thread> threads;
    std::atomic<int> served{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            const auto a = cache.Get("k", slow);
            if (a.value && *a.value == "doc") ++served;
        });
    }
    // Wait until all eight are inside Get: one fetching, seven waiting.
    for (int i = 0; i < 500 && cache.Counts().coalesced < 7; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(cache.Counts().coalesced, 7u);
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    for (auto& t : threads) t.join();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(served, 8);
}

TEST(CacheRules, WaitersOfAFailedCallGetTheStaleValue) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    cache.Get("k", [] { return Fetched<std::string>::Good("old"); });
    clock.Advance(1h);

    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::atomic<int> calls{0};
    auto failing = [&] {
        ++calls;
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return release; });
        return Fetched<std::string>::Failed("timed out");
    };
    std::vector<std::thread> threads;
    std::atomic<int> stale{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            const auto a = cache.Get("k", failing);
            if (a.source == CacheSource::Stale && *a.value == "old") ++stale;
        });
    }
    for (int i = 0; i < 500 && cache.Counts().coalesced < 3; ++i) std::this_thread::sleep_for(5ms);
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    for (auto& t : threads) t.join();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(stale, 4);
}

TEST(CacheRules, SizeIsBoundedAndTheOldestEntryGoesFirst) {
    ManualClock clock;
    CacheRules rules = Rules();
    rules.maxEntries = 3;
    Cache<std::string> cache(rules, clock.AsCacheClock());
    CountingSource src;
    for (const char* k : {"a", "b", "c", "d"}) {
        cache.Get(k, [&] { return src(); });
        clock.Advance(1s);
    }
    EXPECT_EQ(cache.Counts().entries, 3u);
    cache.Get("b", [&] { return src(); });
    EXPECT_EQ(src.calls, 4);  // b is still there
    cache.Get("a", [&] { return src(); });
    EXPECT_EQ(src.calls, 5);  // a was dropped
}

TEST(CacheRules, AClockThatMovedNeverMakesAValueFresh) {
    // Fresh until the next quarter hour after it was stored, as forecasts are.
    const auto quarter = [](const std::string&, int64_t stored) {
        return std::chrono::seconds((stored / 900 + 1) * 900 - stored);
    };
    struct Case {
        const char* what;
        int64_t storedFromNow;  // the kept value's time, from the unix clock's now
        bool fresh;
    } cases[] = {
        {"kept a minute ago, same quarter hour", -60, true},
        {"kept 5 h in the future (the clock is behind)", 5 * 3600, false},
        {"kept a year in the future", 365 * 86400, false},
        {"kept a second in the future", 1, false},
        {"kept before the last quarter hour", -1000, false},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        std::atomic<int64_t> unix{1796723400 + 120};  // two minutes into a quarter hour
        Cache<std::string> cache(Rules(), clock.AsCacheClock(), [&] { return unix.load(); }, quarter);
        cache.Restore("k", "kept", unix + c.storedFromNow);
        CountingSource src;
        const auto a = cache.Get("k", std::ref(src));
        EXPECT_EQ(src.calls.load(), c.fresh ? 0 : 1) << c.what;
        EXPECT_EQ(a.source, c.fresh ? CacheSource::Fresh : CacheSource::Fetched) << c.what;
        EXPECT_LE(a.freshUntilUnix - unix.load(), 900) << c.what;
        // A failing source: the kept value is served stale, not fresh.
        Cache<std::string> failing(Rules(), clock.AsCacheClock(), [&] { return unix.load(); }, quarter);
        failing.Restore("k", "kept", unix + c.storedFromNow);
        src.fail = true;
        EXPECT_EQ(failing.Get("k", std::ref(src)).source, c.fresh ? CacheSource::Fresh : CacheSource::Stale) << c.what;
    }
    // Held in memory, then the clock is set back 5 h: fetched again.
    ManualClock clock;
    std::atomic<int64_t> unix{1796723400};
    Cache<std::string> cache(Rules(), clock.AsCacheClock(), [&] { return unix.load(); }, quarter);
    CountingSource src;
    cache.Get("k", std::ref(src));
    unix -= 5 * 3600;
    EXPECT_EQ(cache.Get("k", std::ref(src)).source, CacheSource::Fetched);
    EXPECT_EQ(src.calls.load(), 2);
}

TEST(CacheRules, PutStoresButDoesNotReplaceAFreshValue) {
    ManualClock clock;
    Cache<std::string> cache(Rules(), clock.AsCacheClock());
    CountingSource src;
    cache.Put("k", "side");
    auto a = cache.Get("k", [&] { return src(); });
    EXPECT_EQ(*a.value, "side");
    EXPECT_EQ(src.calls, 0);
    cache.Put("k", "newer");
    EXPECT_EQ(*cache.Get("k", [&] { return src(); }).value, "side");
}

}  // namespace
