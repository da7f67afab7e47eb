#pragma once
// Spaces calls to a source out in time for the whole service: at most one
// call starts per `spacing`, whichever thread makes it (Nominatim's public
// instance allows one request a second from an application, all its users
// together). Callers wait their turn; one whose turn is further off than
// `longestWait` is turned away at once rather than holding a worker, and
// so is a client that already holds `perClient` of the turns to come, so
// one client cannot take every turn from the others.
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

class RateGate {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Sleep = std::function<void(std::chrono::steady_clock::duration)>;

    // Empty clock and sleep: the steady clock and std::this_thread::sleep_for.
    RateGate(std::chrono::milliseconds spacing, std::chrono::milliseconds longestWait, Clock clock = {},
             Sleep sleep = {}, int perClient = 2);

    // Waits for this caller's turn and returns true, or returns false at
    // once (taking no turn) when that turn is more than longestWait away or
    // `client` (a ClientGroup; "" is the service itself, never held to
    // perClient) holds its share of the turns to come; then `retryAfter`
    // gets the seconds until asking again can succeed.
    bool Enter(const std::string& client = "", int* retryAfter = nullptr);

private:
    const std::chrono::steady_clock::duration spacing_, longestWait_;
    const Clock clock_;
    const Sleep sleep_;
    const int perClient_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point next_{};
    std::map<std::string, std::deque<std::chrono::steady_clock::time_point>> turns_;  // each client's turns to come
};
