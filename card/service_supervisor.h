#pragma once
// Keeps the feed service beside the card running: starts it when it is not
// there, holds connections back until it listens (a bounded wait), starts
// it again when it has gone (never more often than every few seconds, less
// often while starts keep failing), and knows when another program holds
// its port.
#include <cstdint>

#include "app/net_interfaces.h"

// What the card can find out and do about the service. Start and AwaitReady
// return at once; what follows comes back as OnReadySignal or
// OnServiceExited on the card's thread.
class ServiceControl {
public:
    enum class Presence { Absent, Starting, Listening };
    virtual ~ServiceControl() = default;
    // Absent: no copy runs; Starting: one runs but does not listen yet.
    virtual Presence Look() = 0;
    // Starts the service from the card's folder; false when there is none.
    virtual bool Start() = 0;
    // Waits for the ready signal of a copy someone else started.
    virtual void AwaitReady() = 0;
    // Tells the listening service this card uses it (kept until the card ends).
    virtual void Register() = 0;
};

// Told when a wait for the service ends by a signal (ready, exited): held
// connects may go now. A wait that runs out is seen by the next MayConnect.
class ServiceSettledListener {
public:
    virtual ~ServiceSettledListener() = default;
    virtual void OnServiceSettled() = 0;
};

class ServiceSupervisor : public ServiceLink {
public:
    static constexpr uint64_t kReadyWaitMs = 3000;
    static constexpr uint64_t kMinRestartGapMs = 5000;
    // A copy that listened before it went may be replaced sooner.
    static constexpr uint64_t kRestartAfterUpMs = 1000;
    static constexpr uint64_t kMaxRestartGapMs = 60000;
    // Exit code of cloudwick-feed.exe: it could not listen (port in use).
    static constexpr unsigned long kCannotListen = 1;
    // Exit code: another copy already runs.
    static constexpr unsigned long kAnotherCopy = 3;

    // Off: the card is not built for this machine, nothing is kept.
    enum class State { Off, Waiting, Up, PortTaken };

    ServiceSupervisor(ServiceControl& control, const Clock& clock, bool local);

    void SetOnSettled(ServiceSettledListener* listener) { onSettled_ = listener; }

    // At card start: start the service, or wait for the copy that starts.
    void Begin();
    void OnReadySignal();
    void OnServiceExited(unsigned long code);

    // ServiceLink
    bool MayConnect() override;
    bool BringBack() override;
    bool PortTakenByOther() const override { return state_ == State::PortTaken; }

    State state() const { return state_; }
    uint64_t restartGapMs() const { return gapMs_; }
    int starts() const { return starts_; }

private:
    bool TryStart();
    void Wait(bool ownStart);
    void Settle(State s);

    ServiceControl& control_;
    const Clock& clock_;
    State state_;
    ServiceSettledListener* onSettled_ = nullptr;
    bool ownStart_ = false;  // the wait is for a copy this card started
    bool everStarted_ = false;
    bool upSinceStart_ = false;  // the last copy started was seen listening
    uint64_t deadlineMs_ = 0;
    uint64_t lastStartMs_ = 0;
    uint64_t gapMs_ = kMinRestartGapMs;
    int starts_ = 0;
};
