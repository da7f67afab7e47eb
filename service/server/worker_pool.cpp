#include "server/worker_pool.h"

void WorkerPool::Post(std::function<void()> job) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) return;
    jobs_.push_back(std::move(job));
    if (idle_ > 0) {
        lock.unlock();
        wake_.notify_one();
        return;
    }
    if (static_cast<int>(threads_.size()) < max_) threads_.emplace_back([this] { Loop(); });
}

void WorkerPool::Stop() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& t : threads) t.join();
}

void WorkerPool::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        --idle_;
        if (stopping_) return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}
