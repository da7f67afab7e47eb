#include "linux/head_gate.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

std::string PeerAddress(int fd) {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return "?";
    char text[INET6_ADDRSTRLEN] = "?";
    if (a.ss_family == AF_INET) inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&a)->sin_addr, text, sizeof text);
    if (a.ss_family == AF_INET6) inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&a)->sin6_addr, text, sizeof text);
    return text;
}

bool HeadComplete(const char* data, std::size_t n) {
    const std::string_view v(data, n);
    return v.find("\r\n\r\n") != std::string_view::npos || v.find("\n\n") != std::string_view::npos;
}

}  // namespace

HeadGate::HeadGate(HeadRules rules, std::function<void(int fd, int served)> ready) : rules_(rules), ready_(std::move(ready)) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = wake_;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &ev);
    thread_ = std::thread([this] { Loop(); });
}

HeadGate::~HeadGate() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    const uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
    thread_.join();
    for (const auto& [fd, h] : held_) close(fd);
    for (const auto& p : pending_) close(p.first);
    close(wake_);
    close(epoll_);
}

void HeadGate::Add(int fd, int served) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.emplace_back(fd, served);
    }
    const uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
}

std::size_t HeadGate::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_ + pending_.size();
}

void HeadGate::Release(int fd) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    const auto it = held_.find(fd);
    if (it == held_.end()) return;
    auto& list = byAddress_[it->second.address];
    list.erase(std::remove(list.begin(), list.end(), fd), list.end());
    if (list.empty()) byAddress_.erase(it->second.address);
    held_.erase(it);
    std::lock_guard<std::mutex> lock(mutex_);
    count_ = held_.size();
}

void HeadGate::Drop(int fd) {
    Release(fd);
    close(fd);
}

void HeadGate::Register(int fd, int served) {
    const auto now = std::chrono::steady_clock::now();
    Held h;
    h.served = served;
    h.address = PeerAddress(fd);
    h.accepted = now;
    h.deadline = now + std::chrono::seconds(rules_.idleSeconds);
    // From one address, a new connection pushes out the oldest waiting one.
    auto& list = byAddress_[h.address];
    if (list.size() >= rules_.perAddress) Drop(list.front());
    if (held_.size() >= rules_.maxHeld) {
        const auto oldest = std::min_element(held_.begin(), held_.end(), [](const auto& a, const auto& b) {
            return a.second.accepted < b.second.accepted;
        });
        Drop(oldest->first);
    }
    byAddress_[h.address].push_back(fd);
    held_[fd] = h;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        count_ = held_.size();
    }
    // Edge-triggered: each arrival of bytes wakes the gate once; what is
    // there is only peeked at, for the server to read.
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
    ev.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    Check(fd);
}

void HeadGate::Check(int fd) {
    const auto it = held_.find(fd);
    if (it == held_.end()) return;
    std::vector<char> buf(rules_.maxHeadBytes + 1);
    const ssize_t n = recv(fd, buf.data(), buf.size(), MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
        Drop(fd);
        return;
    }
    if (n < 0) return;
    if (HeadComplete(buf.data(), static_cast<std::size_t>(n)) || static_cast<std::size_t>(n) > rules_.maxHeadBytes) {
        const int served = it->second.served;
        Release(fd);
        ready_(fd, served);
        return;
    }
    Held& h = it->second;
    if (!h.anyBytes) {
        h.anyBytes = true;
        h.firstByte = std::chrono::steady_clock::now();
        h.deadline = h.firstByte + std::chrono::seconds(rules_.headSeconds);
    }
}

void HeadGate::Loop() {
    std::vector<epoll_event> events(256);
    for (;;) {
        std::vector<std::pair<int, int>> added;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
            added.swap(pending_);
        }
        for (const auto& [fd, served] : added) Register(fd, served);

        auto now = std::chrono::steady_clock::now();
        std::vector<int> late;
        auto next = now + std::chrono::hours(1);
        for (const auto& [fd, h] : held_) {
            if (h.deadline <= now) late.push_back(fd);
            else next = std::min(next, h.deadline);
        }
        for (int fd : late) Drop(fd);
        const int waitMs = held_.empty() ? -1
                                         : static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                next - now).count()) + 1;
        const int n = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), waitMs);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == wake_) {
                uint64_t count;
                while (read(wake_, &count, sizeof count) > 0) {
                }
                continue;
            }
            Check(fd);
        }
    }
}
