#pragma once
// Threads for the requests that may wait for the weather source, so that a
// slow upstream call never holds a network thread. Threads start as work
// waits for one, up to a maximum, and stay.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool {
public:
    explicit WorkerPool(int maxThreads) : max_(maxThreads > 0 ? maxThreads : 1) {}
    ~WorkerPool() { Stop(); }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void Post(std::function<void()> job);
    // Lets running jobs finish, drops waiting ones, joins the threads.
    void Stop();

private:
    void Loop();

    const int max_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    int idle_ = 0;
    bool stopping_ = false;
};
