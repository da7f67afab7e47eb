#pragma once
// Spaces calls to a source out in time for the whole service: at most one
// call starts per `spacing`, whichever thread makes it (Nominatim's public
// instance allows one request a second from an application, all its users
// together). Callers wait their turn; one whose turn is further off than
// `longestWait` is turned away at once rather than holding a worker.
#include <chrono>
#include <functional>
#include <mutex>

class RateGate {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Sleep = std::function<void(std::chrono::steady_clock::duration)>;

    // Empty clock and sleep: the steady clock and std::this_thread::sleep_for.
    RateGate(std::chrono::milliseconds spacing, std::chrono::milliseconds longestWait, Clock clock = {},
             Sleep sleep = {});

    // Waits for this caller's turn and returns true, or returns false at
    // once (taking no turn) when that turn is more than longestWait away.
    bool Enter();

private:
    const std::chrono::steady_clock::duration spacing_, longestWait_;
    const Clock clock_;
    const Sleep sleep_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point next_{};
};
