#pragma once
// Connections wait here, in one thread, until their request head has
// arrived whole; only then does a worker take them. A client that opens
// connections and never finishes its headers holds no worker: each
// connection has a bounded time for its head, and each address a bounded
// number of heads in waiting (a new one pushes out that address's
// oldest), so the card's requests are answered meanwhile.
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HeadRules {
    int idleSeconds = 2;         // a connection that sends nothing is closed after this
    int headSeconds = 5;         // the whole head must arrive within this of the first byte
    std::size_t perAddress = 8;  // heads in waiting from one address
    std::size_t maxHeld = 2000;  // heads in waiting in all
    std::size_t maxHeadBytes = 8192;
};

class HeadGate {
public:
    // `ready` gets each connection whose head has arrived (or that has sent
    // more than a head may hold, for the server to refuse), with the number
    // of requests it has had answered, on the gate's thread.
    HeadGate(HeadRules rules, std::function<void(int fd, int served)> ready);
    ~HeadGate();  // closes the connections still waiting

    // Takes a new connection (served 0), or one back after a reply to wait
    // for its next request; any thread.
    void Add(int fd, int served = 0);

    std::size_t Waiting() const;

private:
    struct Held {
        std::string address;
        std::chrono::steady_clock::time_point accepted, firstByte, deadline;
        bool anyBytes = false;
        int served = 0;
    };
    void Loop();
    void Register(int fd, int served);
    void Check(int fd);  // ready, still waiting, or gone
    void Drop(int fd);
    void Release(int fd);

    const HeadRules rules_;
    const std::function<void(int, int)> ready_;
    int epoll_ = -1, wake_ = -1;
    mutable std::mutex mutex_;  // guards pending_ and stop_
    std::vector<std::pair<int, int>> pending_;
    bool stop_ = false;
    // Owned by the gate's thread.
    std::map<int, Held> held_;
    std::map<std::string, std::deque<int>> byAddress_;
    std::size_t count_ = 0;
    std::thread thread_;
};
