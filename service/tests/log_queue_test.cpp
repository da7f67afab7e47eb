// The request log off the hot path: lines arrive whole and in order, a
// flood from one address becomes a count, notes are not held back, and
// nothing is lost at the stop.
#include "server/log_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Sink {
    std::mutex mutex;
    std::string text;
    std::atomic<int> writes{0};
    std::function<void(const std::string&)> Writer() {
        return [this](const std::string& lines) {
            std::lock_guard<std::mutex> lock(mutex);
            text += lines;
            ++writes;
        };
    }
    std::string Text() {
        std::lock_guard<std::mutex> lock(mutex);
        return text;
    }
};

ServiceReply Ok() {
    ServiceReply r;
    r.body = "x";
    r.cache = "hit";
    return r;
}

TEST(LogQueue, AFloodIsWrittenInBatchesAndFoldedIntoACount) {
    Sink sink;
    std::atomic<int64_t> now{1796723400};
    {
        LogQueue log(sink.Writer(), [&] { return now.load(); }, LogFolder::Rules{10, 5, 100});
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&log, t] {
                for (int i = 0; i < 2500; ++i) log.Request("192.0.2." + std::to_string(t), "GET", "/x", Ok());
            });
        for (auto& t : threads) t.join();
        now += 10;  // the interval ends: the counts are summed up
    }
    const std::string text = sink.Text();
    int lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 4 * 5 + 4) << text;  // five lines per address, then one count each
    for (int t = 0; t < 4; ++t)
        EXPECT_NE(text.find("192.0.2." + std::to_string(t) + " 2495 more requests in 10 s not logged one by one (200: 2495)"),
                  std::string::npos)
            << text;
    EXPECT_LT(sink.writes.load(), 10) << "batches, not a write per line";
}

TEST(LogQueue, ANoteIsWrittenAtOnce) {
    Sink sink;
    LogQueue log(sink.Writer(), [] { return int64_t{1796723400}; });
    log.Request("192.0.2.1", "GET", "/x", Ok());
    log.Note("listening on 127.0.0.1:80");
    const auto t0 = std::chrono::steady_clock::now();
    while (sink.Text().find("listening") == std::string::npos && std::chrono::steady_clock::now() - t0 < 2s)
        std::this_thread::sleep_for(1ms);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 80ms);
    EXPECT_EQ(sink.Text(), "2026-12-08T09:50:00Z 192.0.2.1 \"GET /x\" 200 1 cache=hit\n"
                           "2026-12-08T09:50:00Z cloudwick-feed: listening on 127.0.0.1:80\n");
}

}  // namespace
