#include "server/log_queue.h"

#include <chrono>

namespace {
constexpr std::size_t kMaxPending = 4 << 20;
}

LogQueue::LogQueue(std::function<void(const std::string&)> write, std::function<int64_t()> now,
                   LogFolder::Rules folding)
    : write_(std::move(write)), now_(std::move(now)), folder_(folding), thread_([this] { Loop(); }) {}

LogQueue::~LogQueue() { Stop(); }

void LogQueue::Request(const std::string& client, const std::string& method, const std::string& target,
                       const ServiceReply& reply) {
    const int64_t now = now_();
    // The count lines of an interval that has ended go before the lines of the next.
    std::string ended = folder_.Summaries(now);
    if (folder_.Admit(client, reply.status, now)) {
        Add(ended + RequestLogLine(now, client, method, target, reply));
        return;
    }
    if (!ended.empty()) Add(std::move(ended));
    // A folded line: the writer must wake at the interval's end for its count.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!folding_) {
        folding_ = true;
        wake_.notify_all();
    }
}

void LogQueue::Note(const std::string& text) { Add(UtcStamp(now_()) + " cloudwick-feed: " + text + "\n", true); }

void LogQueue::Add(std::string line, bool urgent) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopped_) {
        lock.unlock();
        write_(line);
        return;
    }
    if (pending_.size() + line.size() > kMaxPending) {
        ++dropped_;
        return;
    }
    const bool first = pending_.empty();
    pending_ += line;
    urgent_ |= urgent;
    lock.unlock();
    if (first || urgent) wake_.notify_all();
}

void LogQueue::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void LogQueue::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // Wake for lines, or once a second while folded counts wait for their summary.
        if (folder_.HasFolded()) {
            wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_ || !pending_.empty(); });
        } else {
            wake_.wait(lock, [this] { return stopping_ || !pending_.empty() || folding_; });
        }
        folding_ = false;
        bool stopping = stopping_;
        if (!stopping && !urgent_) {
            // Let a burst gather into one write; a note or the stop cuts it short.
            wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_ || urgent_; });
        }
        stopping = stopping_;
        std::string batch;
        batch.swap(pending_);
        urgent_ = false;
        const long long dropped = dropped_;
        dropped_ = 0;
        if (stopping) stopped_ = true;
        lock.unlock();
        batch += folder_.Summaries(now_(), stopping);
        if (dropped > 0)
            batch += UtcStamp(now_()) + " cloudwick-feed: " + std::to_string(dropped) +
                     " log lines dropped (the log could not keep up)\n";
        if (!batch.empty()) write_(batch);
        if (stopping) return;
        lock.lock();
    }
}
