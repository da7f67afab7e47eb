#include "http/connection_policy.h"

ConnectionTable::Admission ConnectionTable::Open(Id id, const std::string& key, bool exempt,
                                                 Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    Admission a;
    if (!exempt) {
        const auto n = perKey_.find(key);
        if (n != perKey_.end() && n->second >= limits_.perAddress) {
            const Id victim = LongestWaiting(&key);
            if (victim == 0) return a;
            Erase(victim);
            a.pushedOut.push_back(victim);
        }
    }
    if (entries_.size() >= limits_.maxConnections) {
        const Id victim = LongestWaiting(nullptr);
        if (victim == 0) return a;
        Erase(victim);
        a.pushedOut.push_back(victim);
    }
    Entry e;
    e.key = key;
    e.exempt = exempt;
    e.since = now;
    e.deadline = now + limits_.idle;
    entries_.emplace(id, std::move(e));
    ++perKey_[key];
    a.accepted = true;
    return a;
}

void ConnectionTable::Waiting(Id id, Clock::time_point since, Clock::time_point deadline) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(id);
    if (it == entries_.end()) return;
    it->second.waiting = true;
    it->second.since = since;
    it->second.deadline = deadline;
}

void ConnectionTable::Answering(Id id, Clock::time_point deadline) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(id);
    if (it == entries_.end()) return;
    it->second.waiting = false;
    it->second.deadline = deadline;
}

void ConnectionTable::Closing(Id id, Clock::time_point deadline) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(id);
    if (it == entries_.end() || it->second.closing) return;
    const auto n = perKey_.find(it->second.key);
    if (n != perKey_.end() && --n->second == 0) perKey_.erase(n);
    it->second.closing = true;
    it->second.waiting = false;
    it->second.deadline = deadline;
}

void ConnectionTable::Closed(Id id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Erase(id);
}

std::vector<ConnectionTable::Id> ConnectionTable::Expired(Clock::time_point now) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Id> out;
    for (const auto& [id, e] : entries_)
        if (e.deadline <= now) out.push_back(id);
    return out;
}

std::size_t ConnectionTable::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

std::size_t ConnectionTable::CountFor(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto n = perKey_.find(key);
    return n == perKey_.end() ? 0 : n->second;
}

ConnectionTable::Id ConnectionTable::LongestWaiting(const std::string* key) const {
    Id best = 0;
    Clock::time_point bestSince = Clock::time_point::max();
    if (!key) {
        for (const auto& [id, e] : entries_)
            if (e.closing) return id;
    }
    for (const auto& [id, e] : entries_) {
        if (!e.waiting || (key && e.key != *key)) continue;
        if (e.since < bestSince || (e.since == bestSince && id < best)) {
            best = id;
            bestSince = e.since;
        }
    }
    return best;
}

void ConnectionTable::Erase(Id id) {
    const auto it = entries_.find(id);
    if (it == entries_.end()) return;
    if (!it->second.closing) {
        const auto n = perKey_.find(it->second.key);
        if (n != perKey_.end() && --n->second == 0) perKey_.erase(n);
    }
    entries_.erase(it);
}
