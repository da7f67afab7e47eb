#include "upstream/upstream_gate.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// Half of a client's count of recent asks is forgotten every this many seconds.
constexpr double kRecentHalfLife = 10.0;
constexpr std::size_t kMaxRecentClients = 512;

}  // namespace

UpstreamGate::UpstreamGate(GateRules rules, CallBudget::Clock clock, GateMemory* memory)
    : rules_(rules), clock_(clock), memory_(memory), budget_(rules.calls, clock) {
    if (!memory_) return;
    if (const auto kept = memory_->Load()) {
        budget_.Restore(kept->windows);
        // A kept pause longer than any the source may ask for means the
        // clock was set back since: it is not kept.
        if (kept->pausedUntil - clock_() <= rules_.longestPause) pausedUntil_ = kept->pausedUntil;
    }
}

UpstreamReply UpstreamGate::Refused(Trouble why, const std::string& text, int retryAfter) const {
    UpstreamReply r;
    r.refused = true;
    r.trouble = why;
    r.error = text;
    r.retryAfter = std::max(1, retryAfter);
    return r;
}

int UpstreamGate::PausedFor(int64_t now) const {
    return pausedUntil_ > now ? static_cast<int>(pausedUntil_ - now) : 0;
}

int UpstreamGate::QueueWait() const {
    const double queued = static_cast<double>(refreshes_.size()) + newWaiting_ + inFlight_;
    const double seconds = callSeconds_ * queued / std::max(1, rules_.maxInFlight);
    return std::clamp(static_cast<int>(std::ceil(seconds)), 1, 60);
}

bool UpstreamGate::Admit(Waiter* w) {
    if (w->refresh) {
        if (static_cast<int>(refreshes_.size()) >= rules_.maxWaitingRefreshes) return false;
        refreshes_.push_back(w);
        return true;
    }
    // Each client's recent asks, halving every kRecentHalfLife seconds.
    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - recentAt_).count();
    if (elapsed > 1.0) {
        const double keep = std::pow(0.5, elapsed / kRecentHalfLife);
        for (auto it = recent_.begin(); it != recent_.end();) {
            it->second *= keep;
            it = it->second < 0.05 && !newByClient_.count(it->first) ? recent_.erase(it) : std::next(it);
        }
        recentAt_ = now;
    }
    if (recent_.size() >= kMaxRecentClients && !recent_.count(w->group)) {
        auto least = std::min_element(recent_.begin(), recent_.end(),
                                      [](const auto& a, const auto& b) { return a.second < b.second; });
        if (!newByClient_.count(least->first)) recent_.erase(least);
    }
    const double mine = recent_[w->group] += 1.0;

    const auto own = newByClient_.find(w->group);
    const int count = own == newByClient_.end() ? 0 : static_cast<int>(own->second.size());
    if (count >= rules_.maxWaitingPerClient) return false;
    if (newWaiting_ >= rules_.maxWaiting) {
        // Room is made only at the cost of a client that has asked more lately.
        std::string busiest;
        double most = mine;
        for (const auto& [group, queue] : newByClient_) {
            const double score = recent_.count(group) ? recent_.at(group) : 0.0;
            if (group != w->group && score > most) most = score, busiest = group;
        }
        if (busiest.empty()) return false;
        Waiter* out = newByClient_[busiest].back();
        Remove(out);
        out->dropped = true;
        turn_.notify_all();
    }
    auto& queue = newByClient_[w->group];
    if (queue.empty()) rotation_.push_back(w->group);
    queue.push_back(w);
    ++newWaiting_;
    return true;
}

void UpstreamGate::Remove(Waiter* w) {
    if (w->refresh) {
        refreshes_.remove(w);
        return;
    }
    const auto it = newByClient_.find(w->group);
    if (it == newByClient_.end()) return;
    auto& queue = it->second;
    const auto pos = std::find(queue.begin(), queue.end(), w);
    if (pos == queue.end()) return;
    queue.erase(pos);
    --newWaiting_;
    if (queue.empty()) {
        newByClient_.erase(it);
        rotation_.erase(std::remove(rotation_.begin(), rotation_.end(), w->group), rotation_.end());
    }
}

void UpstreamGate::GrantTurns() {
    bool granted = false;
    while (inFlight_ < rules_.maxInFlight && (!refreshes_.empty() || !rotation_.empty())) {
        Waiter* next = nullptr;
        if (!refreshes_.empty()) {
            next = refreshes_.front();
            refreshes_.pop_front();
        } else {
            // The quietest client goes next (the one that has asked least
            // lately; among equals, the one longest without a turn), so a
            // busy client never keeps another waiting longer than the call
            // in flight. It then goes to the back of the round.
            auto pick = rotation_.begin();
            double least = 0;
            for (auto it = rotation_.begin(); it != rotation_.end(); ++it) {
                const auto r = recent_.find(*it);
                const double score = r == recent_.end() ? 0.0 : r->second;
                if (it == rotation_.begin() || score < least) least = score, pick = it;
            }
            const std::string group = *pick;
            rotation_.erase(pick);
            recent_[group] += 1.0;  // a call served counts as asking again
            auto& queue = newByClient_[group];
            next = queue.front();
            queue.pop_front();
            --newWaiting_;
            if (queue.empty()) newByClient_.erase(group);
            else rotation_.push_back(group);
        }
        next->granted = true;
        ++inFlight_;
        granted = true;
    }
    if (granted) turn_.notify_all();
}

void UpstreamGate::Remember() {
    if (!memory_) return;
    std::lock_guard<std::mutex> saving(memoryMutex_);
    GateSnapshot s;
    s.windows = budget_.Snapshot();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        s.pausedUntil = pausedUntil_;
    }
    memory_->Save(s);
}

UpstreamReply UpstreamGate::Call(UpstreamClient& client, const std::string& url, std::chrono::milliseconds timeout,
                                 int weight, const CallFor& who) {
    static const char kPaused[] = "the source asked to be left alone for now (after a 429, 5xx or no answer)";
    static const char kProxyPaused[] = "paused: the proxy asks for a password (407)";
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (const int p = PausedFor(clock_())) return Refused(pauseWhy_, pauseWhy_ == Trouble::ProxyNeedsPassword ? kProxyPaused : kPaused, p);
        const bool queueEmpty = refreshes_.empty() && newWaiting_ == 0;
        if (inFlight_ < rules_.maxInFlight && queueEmpty) {
            ++inFlight_;
        } else {
            Waiter w;
            w.group = ClientGroup(who.client);
            w.refresh = who.purpose == CallPurpose::Refresh;
            if (!Admit(&w)) return Refused(Trouble::Busy, "calls to the source are busy (queue full)", QueueWait());
            turn_.wait_for(lock, rules_.maxWait, [&w] { return w.granted || w.dropped; });
            if (!w.granted) {
                if (!w.dropped) Remove(&w);
                return Refused(Trouble::Busy,
                               w.dropped ? "calls to the source are busy (a quieter client took the place)"
                                         : "calls to the source are busy (no turn in time)",
                               QueueWait());
            }
            if (const int p = PausedFor(clock_())) {
                --inFlight_;
                GrantTurns();
                return Refused(pauseWhy_, pauseWhy_ == Trouble::ProxyNeedsPassword ? kProxyPaused : kPaused, p);
            }
        }
        Trouble why = Trouble::Busy;
        if (!budget_.TryTake(weight, who.purpose, &why)) {
            --inFlight_;
            GrantTurns();
            return Refused(why,
                           who.purpose == CallPurpose::Refresh
                               ? "this service's own limit of calls to the source is used up for now"
                               : "this service's share of calls for new places is used up for now",
                           budget_.SecondsUntilRoom());
        }
    }
    Remember();
    const auto started = std::chrono::steady_clock::now();
    UpstreamReply r;
    try {
        r = client.Get(url, timeout);
    } catch (const std::exception& e) {  // never leave the turn taken
        r = UpstreamReply{};
        r.error = e.what();
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    int pause = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --inFlight_;
        if (r.notSent) budget_.GiveBack(weight);  // the source never saw it
        callSeconds_ = 0.75 * callSeconds_ + 0.25 * took;
        if (!r.transportOk) pause = rules_.pauseAfterNoAnswer;
        else if (r.status == 429) pause = r.retryAfter > 0 ? r.retryAfter : rules_.pauseAfter429;
        else if (r.status >= 500) pause = r.retryAfter > 0 ? r.retryAfter : rules_.pauseAfter5xx;
        pause = std::min(pause, rules_.longestPause);
        if (pause > 0) {
            pausedUntil_ = std::max(pausedUntil_, clock_() + pause);
            pauseWhy_ = r.trouble == Trouble::ProxyNeedsPassword ? r.trouble : Trouble::SourcePaused;
            r.retryAfter = PausedFor(clock_());
            if (r.trouble == Trouble::None)  // a client's own finding (no TLS 1.2) stays
                r.trouble = r.transportOk ? Trouble::SourcePaused : Trouble::Unreachable;
        }
        GrantTurns();
    }
    if (pause > 0) Remember();
    return r;
}

UpstreamGate::State UpstreamGate::Now() const {
    std::lock_guard<std::mutex> lock(mutex_);
    State s;
    s.inFlight = inFlight_;
    s.waiting = static_cast<int>(refreshes_.size()) + newWaiting_;
    s.pausedFor = PausedFor(clock_());
    s.used = budget_.InUse();
    s.limits = rules_.calls;
    return s;
}
