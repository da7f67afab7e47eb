#pragma once
// The request log off the hot path: lines are queued in memory and written
// by a thread of their own in batches, a tenth of a second apart; an
// address that sends many requests has its lines folded into a count per
// interval (LogFolder). The queue is bounded: past 4 MB waiting, lines are
// counted, not kept, and the count is written instead.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "feed/feed_service.h"
#include "http/request_log.h"

class LogQueue {
public:
    // `write` gets whole lines, from the queue's thread only. `now`: unix seconds.
    LogQueue(std::function<void(const std::string&)> write, std::function<int64_t()> now,
             LogFolder::Rules folding = {});
    ~LogQueue();
    LogQueue(const LogQueue&) = delete;
    LogQueue& operator=(const LogQueue&) = delete;

    // One request's line (see RequestLogLine); `client` is its address.
    void Request(const std::string& client, const std::string& method, const std::string& target,
                 const ServiceReply& reply);
    // A line about the service itself ("cloudwick-feed: ..."), dated, never
    // folded, written at once.
    void Note(const std::string& text);
    // Writes what is queued and ends the thread; later lines are written at once.
    void Stop();

private:
    void Add(std::string line, bool urgent = false);
    void Loop();

    std::function<void(const std::string&)> write_;
    std::function<int64_t()> now_;
    LogFolder folder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string pending_;
    long long dropped_ = 0;
    bool urgent_ = false, stopping_ = false, stopped_ = false;
    bool folding_ = false;  // a line was folded since the writer last looked
    std::thread thread_;
};
