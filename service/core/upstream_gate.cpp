#include "core/upstream_gate.h"

#include <algorithm>

UpstreamGate::UpstreamGate(GateRules rules, CallBudget::Clock clock)
    : rules_(rules), clock_(clock), budget_(rules.calls, clock) {}

UpstreamReply UpstreamGate::Refused(const std::string& why, int retryAfter) const {
    UpstreamReply r;
    r.refused = true;
    r.error = why;
    r.retryAfter = std::max(1, retryAfter);
    return r;
}

int UpstreamGate::PausedFor(int64_t now) const {
    return pausedUntil_ > now ? static_cast<int>(pausedUntil_ - now) : 0;
}

UpstreamReply UpstreamGate::Call(UpstreamClient& client, const std::string& url, std::chrono::milliseconds timeout,
                                 int weight, CallPurpose purpose) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (const int p = PausedFor(clock_()))
            return Refused("the source asked to be left alone for now (after a 429, 5xx or no answer)", p);
        if (inFlight_ >= rules_.maxInFlight) {
            if (waiting_ >= rules_.maxWaiting) return Refused("calls to the source are busy (queue full)", 1);
            ++waiting_;
            const bool gotTurn = turn_.wait_for(lock, rules_.maxWait, [this] { return inFlight_ < rules_.maxInFlight; });
            --waiting_;
            if (!gotTurn) return Refused("calls to the source are busy (no turn in time)", 1);
            if (const int p = PausedFor(clock_()))
                return Refused("the source asked to be left alone for now (after a 429, 5xx or no answer)", p);
        }
        if (!budget_.TryTake(weight, purpose)) {
            return Refused(purpose == CallPurpose::Refresh
                               ? "this service's own limit of calls to the source is used up for now"
                               : "this service's share of calls for new places is used up for now",
                           budget_.SecondsUntilRoom());
        }
        ++inFlight_;
    }
    UpstreamReply r = client.Get(url, timeout);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --inFlight_;
        int pause = 0;
        if (!r.transportOk) pause = rules_.pauseAfterNoAnswer;
        else if (r.status == 429) pause = r.retryAfter > 0 ? r.retryAfter : rules_.pauseAfter429;
        else if (r.status >= 500) pause = r.retryAfter > 0 ? r.retryAfter : rules_.pauseAfter5xx;
        if (pause > 0) pausedUntil_ = std::max(pausedUntil_, clock_() + pause);
    }
    turn_.notify_one();
    return r;
}

UpstreamGate::State UpstreamGate::Now() const {
    std::lock_guard<std::mutex> lock(mutex_);
    State s;
    s.inFlight = inFlight_;
    s.waiting = waiting_;
    s.pausedFor = PausedFor(clock_());
    s.used = budget_.InUse();
    s.limits = rules_.calls;
    return s;
}
