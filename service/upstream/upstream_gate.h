#pragma once
// Every call to the source passes here. The free tier allows one request
// at a time per client address and counts weighted calls per minute, hour
// and day; after a 429 or a 5xx it wants to be left alone for a while.
//
// - At most `maxInFlight` calls at once. Others wait a short while for a
//   turn in a small queue; beyond that a caller is refused at once, so a
//   burst of new places cannot hold the service's workers.
// - The queue is fair. Refreshes of places in use go first, so a card's
//   weather never waits behind searches. New places and searches take
//   turns client by client (a client is an address, an IPv6 /64), the one
//   that has asked least lately first, so a busy client delays another by
//   the call in flight at most; each client holds at most
//   `maxWaitingPerClient` places in the queue, and when the queue is full,
//   a newcomer from a quieter client takes the place of the latest waiter
//   of the busiest one.
// - The call budget (call_budget.h), in the source's weights.
// - After a 429 or 5xx (honouring its Retry-After, up to an hour), or no
//   answer at all (briefly: the source may be back at the next try), no
//   call is made for any key until the pause is over.
// A refused call is never sent: the reply says `refused`, why (`trouble`),
// and when to try again. The budget and the pause can be kept across a
// restart (GateMemory).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "upstream/call_budget.h"
#include "upstream/client_group.h"
#include "upstream/upstream_client.h"

struct GateRules {
    CallLimits calls;
    int maxInFlight = 1;
    int maxWaiting = 4;           // new places and searches waiting, from all clients
    int maxWaitingPerClient = 2;  // ... from one client
    int maxWaitingRefreshes = 8;  // refreshes of places in use waiting
    std::chrono::milliseconds maxWait{2000};
    // Pauses, in seconds, when the reply names none.
    int pauseAfter429 = 60;
    int pauseAfter5xx = 30;
    // Short: the card tries again every 6.6 s and should get weather at
    // the first try after the source is back.
    int pauseAfterNoAnswer = 3;
    int longestPause = 3600;  // a Retry-After beyond this is cut to it
};

// What a call is for and whom: the queue's order and the budget's share.
struct CallFor {
    CallPurpose purpose = CallPurpose::New;
    std::string client;  // the asking address; "" for the service itself
};

// What the gate keeps across a restart.
struct GateSnapshot {
    CallBudget::Windows windows;
    int64_t pausedUntil = 0;  // on the gate's clock
};
class GateMemory {
public:
    virtual ~GateMemory() = default;
    virtual std::optional<GateSnapshot> Load() = 0;
    virtual void Save(const GateSnapshot& s) = 0;
};

class UpstreamGate {
public:
    // `memory` (may be null) must outlive the gate.
    UpstreamGate(GateRules rules, CallBudget::Clock clock, GateMemory* memory = nullptr);

    // GETs `url` through `client` if the rules allow it now (or after a
    // short wait for a turn), else a refused reply. A failed call's reply
    // carries the pause it started in retryAfter.
    UpstreamReply Call(UpstreamClient& client, const std::string& url, std::chrono::milliseconds timeout, int weight,
                       const CallFor& who);

    struct State {
        int inFlight = 0, waiting = 0;
        int pausedFor = 0;  // seconds
        CallBudget::Used used;
        CallLimits limits;
    };
    State Now() const;

private:
    struct Waiter {
        std::string group;
        bool refresh = false;
        bool granted = false, dropped = false;
    };
    UpstreamReply Refused(Trouble why, const std::string& text, int retryAfter) const;
    int PausedFor(int64_t now) const;  // with mutex_ held
    // With mutex_ held: queues `w`, perhaps dropping a busier client's
    // latest waiter; false when there is no place for it.
    bool Admit(Waiter* w);
    void Remove(Waiter* w);
    // With mutex_ held: hands free turns to the next waiters.
    void GrantTurns();
    int QueueWait() const;  // seconds a refused caller should wait, with mutex_ held
    void Remember();         // saves the budget and pause, if there is a memory

    const GateRules rules_;
    const CallBudget::Clock clock_;
    GateMemory* const memory_;
    CallBudget budget_;
    mutable std::mutex mutex_;
    std::condition_variable turn_;
    int inFlight_ = 0;
    int64_t pausedUntil_ = 0;
    // What the pause is for: the source's own wish, or a proxy that wants a password.
    Trouble pauseWhy_ = Trouble::SourcePaused;
    std::list<Waiter*> refreshes_;                     // first come, first served
    std::map<std::string, std::deque<Waiter*>> newByClient_;
    std::deque<std::string> rotation_;                 // clients with waiters, next turn first
    int newWaiting_ = 0;
    std::map<std::string, double> recent_;             // each client's recent asks, decaying
    std::chrono::steady_clock::time_point recentAt_{};
    double callSeconds_ = 1.0;                         // how long a call takes, on average
    std::mutex memoryMutex_;
};
