#include "card/service_supervisor.h"

#include <algorithm>

ServiceSupervisor::ServiceSupervisor(ServiceControl& control, const Clock& clock, bool local)
    : control_(control), clock_(clock), state_(local ? State::Up : State::Off) {}

void ServiceSupervisor::Begin() {
    if (state_ == State::Off) return;
    switch (control_.Look()) {
    case ServiceControl::Presence::Listening:
        control_.Register();
        break;
    case ServiceControl::Presence::Starting:
        Wait(false);
        break;
    case ServiceControl::Presence::Absent:
        TryStart();
        break;
    }
}

bool ServiceSupervisor::TryStart() {
    const uint64_t now = clock_.NowMs();
    if (everStarted_ && now - lastStartMs_ < (upSinceStart_ ? kRestartAfterUpMs : gapMs_)) return false;
    everStarted_ = true;
    upSinceStart_ = false;
    lastStartMs_ = now;
    control_.EndStarted();  // a copy that never became ready goes first
    NoService why;
    if (!control_.Start(why)) {
        why_ = why;
        return false;
    }
    ++starts_;
    Wait(true);
    return true;
}

void ServiceSupervisor::Wait(bool ownStart) {
    state_ = State::Waiting;
    ownStart_ = ownStart;
    deadlineMs_ = clock_.NowMs() + kReadyWaitMs;
    if (!ownStart) control_.AwaitReady();
}

void ServiceSupervisor::Settle(State s) {
    state_ = s;
    if (onSettled_) onSettled_->OnServiceSettled();
}

void ServiceSupervisor::OnReadySignal() {
    if (state_ != State::Waiting) return;
    gapMs_ = kMinRestartGapMs;  // it came up: a later loss is a new story
    upSinceStart_ = true;
    why_ = NoService();
    control_.Register();
    Settle(State::Up);
}

void ServiceSupervisor::OnServiceExited(unsigned long code) {
    if (state_ == State::Off) return;
    if (code == kCannotListen) {
        // Another program holds the port: use whatever answers there.
        gapMs_ = std::min(gapMs_ * 2, kMaxRestartGapMs);
        Settle(State::PortTaken);
        return;
    }
    if (state_ != State::Waiting || !ownStart_) return;
    if (code == kAnotherCopy) {
        // Another card's copy won the race: wait for that one.
        if (control_.Look() == ServiceControl::Presence::Starting) {
            Wait(false);
            return;
        }
        control_.Register();
        Settle(State::Up);
        return;
    }
    // It ended without listening: connect anyway (what answers on port 80
    // is used; when nothing does, the line says why), and wait longer
    // before the next start.
    why_.kind = NoService::EndedAtOnce;
    why_.code = code;
    gapMs_ = std::min(gapMs_ * 2, kMaxRestartGapMs);
    Settle(State::Up);
}

bool ServiceSupervisor::MayConnect() {
    switch (state_) {
    case State::Off:
    case State::PortTaken:
        return true;
    case State::Waiting:
        if (clock_.NowMs() < deadlineMs_) return false;
        // Waited long enough: ask anyway. Other waiters see it at their
        // next tick; no call back from inside this one. A copy this card
        // started that never became ready is ended now.
        if (ownStart_) {
            control_.EndStarted();
            why_.kind = NoService::NeverReady;
            gapMs_ = std::min(gapMs_ * 2, kMaxRestartGapMs);
        }
        state_ = State::Up;
        return true;
    case State::Up:
        break;
    }
    // Its objects are gone: it ended or was ended since the last look.
    switch (control_.Look()) {
    case ServiceControl::Presence::Listening:
        upSinceStart_ = true;
        control_.Register();
        return true;
    case ServiceControl::Presence::Starting:
        Wait(false);
        return false;
    case ServiceControl::Presence::Absent:
        return !TryStart();
    }
    return true;
}

bool ServiceSupervisor::BringBack() {
    if (state_ == State::Off) return false;
    switch (control_.Look()) {
    case ServiceControl::Presence::Listening:
        return false;  // it runs: the failure is something else
    case ServiceControl::Presence::Starting:
        // A wait under way (for the copy this card started) goes on.
        if (state_ != State::Waiting) Wait(false);
        return true;
    case ServiceControl::Presence::Absent:
        break;
    }
    // Nothing listens and no copy runs: a port another program held may be
    // free again too.
    if (TryStart()) return true;
    if (state_ == State::PortTaken) state_ = State::Up;
    return false;
}

unsigned short ServiceSupervisor::PortFor(const std::string& host) {
    unsigned short port = 0;
    unsigned long pid = 0;
    if (state_ == State::Off || !IsThisMachine(host) || !control_.Published(port, pid) || port == 0) return 80;
    return port;
}

bool ServiceSupervisor::ListenerIsOurs(unsigned short port) {
    unsigned short published = 0;
    unsigned long pid = 0, owner = 0;
    if (state_ == State::Off || !control_.Published(published, pid) || published != port) return true;
    if (!control_.ListenerPid(port, owner) || owner == pid) return true;
    // Someone else answers on the port our service told: that service no
    // longer listens there. It is ended and a new one started.
    control_.EndPublished(pid);
    TryStart();
    return false;
}

bool ServiceSupervisor::NoAnswer() {
    if (state_ == State::Off) return false;
    // Frozen, or not ours at all: our copy is ended and a new one started.
    unsigned short port = 0;
    unsigned long pid = 0;
    if (control_.Published(port, pid)) control_.EndPublished(pid);
    control_.EndStarted();
    if (state_ == State::PortTaken) state_ = State::Up;
    TryStart();
    return true;
}
