#pragma once
// The limits every connection lives by, the same on every platform, and the
// table of open connections that keeps them. The server asks the table
// before it serves a new connection and tells it what each connection is
// doing; the table says which connections must go.
//
// - A connection waits for a request for at most `idle` before its first
//   byte, and the whole head must arrive within `head` of that.
// - A reply must be taken by the client within `write`.
// - From one address (an IPv6 /64) at most `perAddress` connections are
//   open; a new one makes the one of them that has waited longest for a
//   request go. Proxies the options trust are exempt.
// - At most `maxConnections` in all; a new one makes the connection that has
//   waited longest for a request go, whatever its address.
// - A connection being answered is never pushed out; when every candidate
//   is being answered, the new connection is refused instead.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct ConnectionLimits {
    std::chrono::milliseconds idle{2000};
    std::chrono::milliseconds head{10000};
    std::chrono::milliseconds write{5000};
    std::size_t maxHeadBytes = 8192;  // request line and headers; 431 (414 for the line alone) beyond
    std::size_t perAddress = 64;
    std::size_t maxConnections = 1000;
    int maxRequests = 100;  // on one connection; the last reply closes it
};

class ConnectionTable {
public:
    using Clock = std::chrono::steady_clock;
    using Id = uint64_t;

    explicit ConnectionTable(ConnectionLimits limits) : limits_(limits) {}

    struct Admission {
        bool accepted = false;
        std::vector<Id> pushedOut;  // to be closed now, to make room
    };
    // A new connection from `key` (ConnectionKey); `exempt`: a trusted proxy.
    // An accepted one starts out waiting for its first request.
    Admission Open(Id id, const std::string& key, bool exempt, Clock::time_point now);

    // Waiting for a request since `since`, to be closed at `deadline`.
    void Waiting(Id id, Clock::time_point since, Clock::time_point deadline);
    // Being answered; `deadline`: for its reply to be taken (max(): none).
    void Answering(Id id, Clock::time_point deadline);
    // Its last reply is sent and the connection is closing (until
    // `deadline`): it no longer counts for its address, and it is the first
    // to go when room is needed.
    void Closing(Id id, Clock::time_point deadline);
    void Closed(Id id);

    // Connections past their deadline, to be closed.
    std::vector<Id> Expired(Clock::time_point now) const;
    std::size_t size() const;
    std::size_t CountFor(const std::string& key) const;
    const ConnectionLimits& limits() const { return limits_; }

private:
    struct Entry {
        std::string key;
        bool exempt = false;
        bool waiting = true;
        bool closing = false;
        Clock::time_point since, deadline;
    };
    // The waiting connection (of `key`, or any when empty) that has waited
    // longest; 0 when there is none.
    Id LongestWaiting(const std::string* key) const;
    void Erase(Id id);

    const ConnectionLimits limits_;
    mutable std::mutex mutex_;
    std::unordered_map<Id, Entry> entries_;
    std::unordered_map<std::string, std::size_t> perKey_;
};
