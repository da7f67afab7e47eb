#pragma once
// A keyed cache in front of a slow, rate-limited source.
//
// - An entry younger than `fresh` is served without asking the source.
// - Otherwise one caller asks the source; callers that arrive for the same
//   key meanwhile wait for that answer instead of asking again.
// - When the source fails, the last good value is served while it is no
//   older than `stale`; after a failure the source is left alone for the
//   failure's own retry time (a paused source's pause), else `holdOff`, so a
//   rate-limited source is not hammered by every request. The answer's
//   retryAfter is what is left of that time.
// - Only with nothing usable cached does the caller get a failure.
// - A fetch that did not ask the source (this service's own limits said no)
//   is no failure of the source: no hold-off follows it.
// - Each entry may have a freshness of its own (a forecast is fresh until
//   the source's next update), and remembers when it was stored on the
//   service's clock, for the reply's Last-Modified and max-age. A value
//   is fresh only while both clocks say so: one stored in the future of the
//   unix clock (the clock was set back) or past its freshness on it is
//   fetched again.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "model/weather_model.h"

using CacheClock = std::function<std::chrono::steady_clock::time_point()>;

struct CacheRules {
    std::chrono::seconds fresh{600};
    std::chrono::seconds stale{6 * 3600};
    std::chrono::seconds holdOff{30};
    std::size_t maxEntries = 10000;
};

enum class CacheSource { Fresh, Fetched, Stale, Failed };

const char* CacheSourceName(CacheSource s);

struct CacheCounts {
    uint64_t fresh = 0, fetched = 0, stale = 0, failed = 0, coalesced = 0, sourceCalls = 0;
    std::size_t entries = 0;
};

template <typename T>
class Cache {
public:
    struct Answer {
        CacheSource source = CacheSource::Failed;
        std::shared_ptr<const T> value;  // null only when Failed
        std::string error;               // why the source failed, when it did
        int64_t storedUnix = 0;          // when the value was stored, on the unix clock
        int64_t freshUntilUnix = 0;      // when it stops being fresh
        int retryAfter = 0;              // seconds until the source may be asked again, after a failure
        bool asked = true;               // false: the failure was a refusal to ask
        Trouble trouble = Trouble::None; // what went wrong, when something did
    };
    using UnixClock = std::function<int64_t()>;
    // How long a value stays fresh, from when it is stored; default: rules.fresh.
    using Freshness = std::function<std::chrono::seconds(const T&, int64_t storedUnix)>;

    Cache(CacheRules rules, CacheClock clock, UnixClock unixClock = {}, Freshness freshness = {})
        : rules_(rules), clock_(std::move(clock)), unixClock_(std::move(unixClock)), freshness_(std::move(freshness)) {}

    Answer Get(const std::string& key, const std::function<Fetched<T>()>& fetch) {
        std::unique_lock<std::mutex> lock(mutex_);
        Entry& e = entries_[key];
        const auto now = clock_();
        if (e.value && now - e.storedAt < e.freshFor && UnixFresh(e)) {
            ++counts_.fresh;
            return Stamped({CacheSource::Fresh, e.value, {}}, e);
        }
        if (e.flight.valid()) {
            ++counts_.coalesced;
            std::shared_future<Outcome> flight = e.flight;
            lock.unlock();
            const Outcome o = flight.get();
            lock.lock();
            return Resolve(key, o);
        }
        if (e.holdUntil && now < *e.holdUntil) return Resolve(key, Outcome{false, e.lastError, 0, true, e.trouble});

        std::promise<Outcome> promise;
        e.flight = promise.get_future().share();
        ++counts_.sourceCalls;
        lock.unlock();
        Fetched<T> got;
        try {
            got = fetch();
        } catch (const std::exception& ex) {
            got = Fetched<T>::Failed(ex.what());
        }
        lock.lock();
        Entry& done = entries_[key];  // the map may have grown; look it up again
        done.flight = {};
        Outcome o{got.ok, got.error, got.retryAfter, got.asked, got.trouble};
        if (got.ok) {
            Store(done, std::move(got.value));
        } else if (got.asked) {
            const std::chrono::seconds hold = got.retryAfter > 0 ? std::chrono::seconds(got.retryAfter) : rules_.holdOff;
            done.holdUntil = clock_() + hold;
            done.lastError = got.error;
            done.trouble = got.trouble;
        }
        promise.set_value(o);
        Answer a = Resolve(key, o, true);
        Trim();
        return a;
    }

    // Stores a value learnt on the side (a place seen in search results),
    // unless a fresh one is there already or a fetch is under way.
    void Put(const std::string& key, T value) {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry& e = entries_[key];
        const auto now = clock_();
        if (e.flight.valid() || (e.value && now - e.storedAt < e.freshFor && UnixFresh(e))) return;
        Store(e, std::move(value));
        Trim();
    }

    // Puts back a value kept from an earlier run, stored at `storedUnix` on
    // the unix clock, unless the cache holds one for `key` already. Its age
    // counts from then: it is fresh, stale or too old as if it had stayed.
    void Restore(const std::string& key, T value, int64_t storedUnix) {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry& e = entries_[key];
        if (e.value || e.flight.valid()) return;
        const int64_t age = std::max<int64_t>(0, (unixClock_ ? unixClock_() : storedUnix) - storedUnix);
        Store(e, std::move(value));
        e.storedUnix = storedUnix;
        e.freshFor = freshness_ ? freshness_(*e.value, storedUnix) : rules_.fresh;
        e.storedAt = clock_() - std::chrono::seconds(age);
        Trim();
    }

    // True when a value is held for `key`, fresh or not.
    bool Holds(const std::string& key) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = entries_.find(key);
        return it != entries_.end() && it->second.value != nullptr;
    }

    CacheCounts Counts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        CacheCounts c = counts_;
        c.entries = entries_.size();
        return c;
    }

private:
    struct Outcome {
        bool ok = false;
        std::string error;
        int retryAfter = 0;  // a refusal's own; 0 for the entry's hold-off
        bool asked = true;
        Trouble trouble = Trouble::None;
    };
    struct Entry {
        std::shared_ptr<const T> value;
        std::chrono::steady_clock::time_point storedAt{};
        std::chrono::seconds freshFor{0};
        int64_t storedUnix = 0;
        std::optional<std::chrono::steady_clock::time_point> holdUntil;  // after the source failed
        std::string lastError;
        Trouble trouble = Trouble::None;
        std::shared_future<Outcome> flight;
    };

    void Store(Entry& e, T value) {
        e.storedUnix = unixClock_ ? unixClock_() : 0;
        e.freshFor = freshness_ ? freshness_(value, e.storedUnix) : rules_.fresh;
        e.value = std::make_shared<const T>(std::move(value));
        e.storedAt = clock_();
        e.holdUntil.reset();
        e.lastError.clear();
        e.trouble = Trouble::None;
    }

    // Fresh on the unix clock too: a clock that moved (set back past the
    // time the value was stored, or on past its freshness) is not trusted
    // to say the value is still good.
    bool UnixFresh(const Entry& e) const {
        if (!unixClock_) return true;
        const int64_t t = unixClock_();
        return t >= e.storedUnix && t < e.storedUnix + e.freshFor.count();
    }

    static Answer Stamped(Answer a, const Entry& e) {
        a.storedUnix = e.storedUnix;
        a.freshUntilUnix = e.storedUnix + e.freshFor.count();
        return a;
    }

    // Called with the lock held, after the source answered (or was skipped).
    Answer Resolve(const std::string& key, const Outcome& o, bool leader = false) {
        Entry& e = entries_[key];
        if (o.ok && e.value) {
            if (leader) ++counts_.fetched;  // waiters were counted as coalesced
            return Stamped({CacheSource::Fetched, e.value, {}}, e);
        }
        Answer a;
        a.error = o.error.empty() ? "source failed" : o.error;
        a.asked = o.asked;
        a.trouble = o.trouble == Trouble::None ? Trouble::SourceError : o.trouble;
        a.retryAfter = o.retryAfter;
        if (o.asked && e.holdUntil) {
            // What is left of the hold-off, in whole seconds rounded up.
            const auto left = *e.holdUntil - clock_();
            a.retryAfter = static_cast<int>(std::max<int64_t>(
                1, (std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 999) / 1000));
        }
        if (e.value && clock_() - e.storedAt <= rules_.stale) {
            ++counts_.stale;
            a.source = CacheSource::Stale;
            a.value = e.value;
            return Stamped(a, e);
        }
        ++counts_.failed;
        return a;
    }

    // Keeps the map bounded: drops failed entries first, then the oldest.
    void Trim() {
        while (entries_.size() > rules_.maxEntries) {
            auto victim = entries_.end();
            for (auto it = entries_.begin(); it != entries_.end(); ++it) {
                if (it->second.flight.valid()) continue;
                if (!it->second.value) { victim = it; break; }
                if (victim == entries_.end() || it->second.storedAt < victim->second.storedAt) victim = it;
            }
            if (victim == entries_.end()) return;
            entries_.erase(victim);
        }
    }

    const CacheRules rules_;
    const CacheClock clock_;
    const UnixClock unixClock_;
    const Freshness freshness_;
    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
    CacheCounts counts_;
};
