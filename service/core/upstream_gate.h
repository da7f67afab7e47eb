#pragma once
// Every call to the source passes here. The free tier allows one request
// at a time per client address and counts weighted calls per minute, hour
// and day; after a 429 or a 5xx it wants to be left alone for a while.
//
// - At most `maxInFlight` calls at once. A few more callers may wait a
//   short while for a turn; beyond that a caller is refused at once, so a
//   burst of new places cannot hold the service's workers.
// - The call budget (call_budget.h), in the source's weights.
// - After a 429 or 5xx (honouring its Retry-After), or no answer at all,
//   no call is made for any key until the pause is over.
// A refused call is never sent: the reply says `refused`, why, and when to
// try again.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/call_budget.h"
#include "core/upstream_client.h"

struct GateRules {
    CallLimits calls;
    int maxInFlight = 1;
    int maxWaiting = 4;
    std::chrono::milliseconds maxWait{2000};
    // Pauses, in seconds, when the reply names none.
    int pauseAfter429 = 60;
    int pauseAfter5xx = 30;
    int pauseAfterNoAnswer = 10;
};

class UpstreamGate {
public:
    UpstreamGate(GateRules rules, CallBudget::Clock clock);

    // GETs `url` through `client` if the rules allow it now (or after a
    // short wait for a turn), else a refused reply.
    UpstreamReply Call(UpstreamClient& client, const std::string& url, std::chrono::milliseconds timeout, int weight,
                       CallPurpose purpose);

    struct State {
        int inFlight = 0, waiting = 0;
        int pausedFor = 0;  // seconds
        CallBudget::Used used;
        CallLimits limits;
    };
    State Now() const;

private:
    UpstreamReply Refused(const std::string& why, int retryAfter) const;
    int PausedFor(int64_t now) const;  // with mutex_ held

    const GateRules rules_;
    const CallBudget::Clock clock_;
    CallBudget budget_;
    mutable std::mutex mutex_;
    std::condition_variable turn_;
    int inFlight_ = 0, waiting_ = 0;
    int64_t pausedUntil_ = 0;
};
