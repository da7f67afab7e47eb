#pragma once
// Keeps the feed service beside the card running: starts it when it is not
// there, holds connections back until it listens (a bounded wait), starts
// it again when it has gone (never more often than every few seconds, less
// often while starts keep failing), knows when another program holds its
// port or answers in its place, and says why there is no service. At most
// one copy it started and that never became ready is alive: it is ended
// when its wait runs out and before another is started.
#include <cstdint>

#include <string>

#include "app/net_interfaces.h"
#include "card/local_feed_service.h"

// What the card can find out and do about the service. Start and AwaitReady
// return at once; what follows comes back as OnReadySignal or
// OnServiceExited on the card's thread.
class ServiceControl {
public:
    enum class Presence { Absent, Starting, Listening };
    virtual ~ServiceControl() = default;
    // Absent: no copy runs; Starting: one runs but does not listen yet.
    virtual Presence Look() = 0;
    // Starts the service from the card's folder; false with the reason in
    // `why` when it cannot be started.
    virtual bool Start(NoService& why) = 0;
    // Waits for the ready signal of a copy someone else started.
    virtual void AwaitReady() = 0;
    // Tells the listening service this card uses it (kept until the card ends).
    virtual void Register() = 0;
    // The port and process id the service of this user and folder told.
    virtual bool Published(unsigned short& port, unsigned long& pid) = 0;
    // The process that listens on loopback `port`; false when that cannot be told.
    virtual bool ListenerPid(unsigned short port, unsigned long& pid) = 0;
    // Ends the copy this card started that has not become ready (the card
    // holds its process), if there is one.
    virtual void EndStarted() = 0;
    // Ends the published service with process id `pid`.
    virtual void EndPublished(unsigned long pid) = 0;
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
    unsigned short PortFor(const std::string& host) override;
    bool ListenerIsOurs(unsigned short port) override;
    bool NoAnswer() override;
    std::string WhyNoService() const override { return NoServiceText(why_); }

    State state() const { return state_; }
    uint64_t restartGapMs() const { return gapMs_; }
    int starts() const { return starts_; }
    const NoService& why() const { return why_; }

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
    NoService why_;  // why the last start gave no service
};
