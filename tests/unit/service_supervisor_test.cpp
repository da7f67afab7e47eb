// Keeping the feed service beside the card: started when absent, waited for
// (bounded), started again when gone (rate-limited, backing off while starts
// fail), another program on its port recognised by the service's exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "card/service_supervisor.h"
#include "fakes.h"

namespace {

class FakeControl : public ServiceControl {
public:
    Presence Look() override { return presence; }
    bool Start(NoService& why) override {
        ++starts;
        if (canStart) {
            presence = Presence::Starting;
            ++alive;
            unready = true;
        } else {
            why = refusal;
        }
        return canStart;
    }
    void AwaitReady() override { ++awaits; }
    void Register() override { ++registers; }
    bool Published(unsigned short& port, unsigned long& pid) override {
        if (publishedPort == 0) return false;
        port = publishedPort;
        pid = publishedPid;
        return true;
    }
    bool ListenerPid(unsigned short, unsigned long& pid) override {
        pid = listenerPid;
        return listenerPid != 0;
    }
    void EndStarted() override {
        if (unready) {
            --alive;
            presence = Presence::Absent;
        }
        unready = false;
        ++endedStarted;
    }
    void EndPublished(unsigned long pid) override {
        ended.push_back(pid);
        publishedPort = 0;
        presence = Presence::Absent;
    }

    Presence presence = Presence::Absent;
    bool canStart = true;
    int starts = 0;
    int awaits = 0;
    int registers = 0;
    NoService refusal = StartRefusal(2, false);  // no cloudwick-feed.exe beside the card
    int alive = 0;         // copies started and never ready, still running
    bool unready = false;  // the last copy started has not become ready
    int endedStarted = 0;
    unsigned short publishedPort = 0;
    unsigned long publishedPid = 0;
    unsigned long listenerPid = 0;  // 0: the system cannot tell
    std::vector<unsigned long> ended;
};

class CountSettled : public ServiceSettledListener {
public:
    explicit CountSettled(int& count) : count_(count) {}
    void OnServiceSettled() override { ++count_; }

private:
    int& count_;
};

class SupervisorTest : public ::testing::Test {
protected:
    SupervisorTest() : sup(control, clock, true) {
        sup.SetOnSettled(&listener);
    }
    void Listen() {
        control.presence = ServiceControl::Presence::Listening;
        control.unready = false;
        control.alive = 0;
        sup.OnReadySignal();
    }
    void Die() { control.presence = ServiceControl::Presence::Absent; }

    FakeControl control;
    FakeClock clock;
    ServiceSupervisor sup;
    int settled = 0;
    CountSettled listener{settled};
};

using State = ServiceSupervisor::State;
using Presence = ServiceControl::Presence;

}  // namespace

TEST_F(SupervisorTest, AbsentServiceIsStartedAndConnectsWaitUntilItListens) {
    sup.Begin();
    EXPECT_EQ(control.starts, 1);
    EXPECT_EQ(sup.state(), State::Waiting);
    EXPECT_FALSE(sup.MayConnect());
    clock.now += 2000;
    EXPECT_FALSE(sup.MayConnect());
    Listen();
    EXPECT_EQ(settled, 1);
    EXPECT_EQ(control.registers, 1);
    EXPECT_TRUE(sup.MayConnect());
    EXPECT_FALSE(sup.PortTakenByOther());
}

TEST_F(SupervisorTest, TheWaitIsBounded) {
    sup.Begin();
    clock.now += ServiceSupervisor::kReadyWaitMs - 1;
    EXPECT_FALSE(sup.MayConnect());
    clock.now += 1;
    EXPECT_TRUE(sup.MayConnect());
    EXPECT_EQ(sup.state(), State::Up);
    EXPECT_EQ(settled, 0);  // the one who asked goes ahead; no call back from inside
}

TEST_F(SupervisorTest, WhatTheCardFindsAtStart) {
    const struct { Presence found; int starts; int awaits; int registers; State state; } cases[] = {
        {Presence::Listening, 0, 0, 1, State::Up},       // another card's, or started by hand
        {Presence::Starting, 0, 1, 0, State::Waiting},   // another card's, still starting
        {Presence::Absent, 1, 0, 0, State::Waiting},
    };
    for (const auto& c : cases) {
        FakeControl ctl;
        ctl.presence = c.found;
        ServiceSupervisor s(ctl, clock, true);
        s.Begin();
        EXPECT_EQ(ctl.starts, c.starts);
        EXPECT_EQ(ctl.awaits, c.awaits);
        EXPECT_EQ(ctl.registers, c.registers);
        EXPECT_EQ(s.state(), c.state);
    }
}

TEST_F(SupervisorTest, ACardForAnotherHostKeepsNothing) {
    FakeControl ctl;
    ServiceSupervisor s(ctl, clock, false);
    s.Begin();
    EXPECT_TRUE(s.MayConnect());
    EXPECT_FALSE(s.BringBack());
    s.OnServiceExited(ServiceSupervisor::kCannotListen);
    EXPECT_FALSE(s.PortTakenByOther());
    EXPECT_EQ(ctl.starts, 0);
    EXPECT_EQ(ctl.presence, Presence::Absent);
}

TEST_F(SupervisorTest, ExitCodeOneMeansAnotherProgramHasThePort) {
    sup.Begin();
    Die();
    sup.OnServiceExited(ServiceSupervisor::kCannotListen);
    EXPECT_TRUE(sup.PortTakenByOther());
    EXPECT_EQ(settled, 1);
    // Held connects go to whatever answers; no start while it answers.
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(sup.MayConnect());
    EXPECT_EQ(control.starts, 1);
    // The port is freed (now refused): the service is started again.
    clock.now += ServiceSupervisor::kMaxRestartGapMs;
    EXPECT_TRUE(sup.BringBack());
    EXPECT_EQ(control.starts, 2);
    EXPECT_FALSE(sup.PortTakenByOther());
}

TEST_F(SupervisorTest, AServiceThatWentAwayIsStartedAgainAtMostEveryFewSeconds) {
    sup.Begin();
    Listen();
    clock.now += 1500;
    Die();
    // It listened, then went: found gone before a connect, started again
    // at once, and the connect waits.
    EXPECT_FALSE(sup.MayConnect());
    EXPECT_EQ(control.starts, 2);
    // The new copy never listens and is gone: too soon for another start.
    Die();
    sup.OnServiceExited(2);
    clock.now += ServiceSupervisor::kMinRestartGapMs;
    EXPECT_FALSE(sup.BringBack());
    EXPECT_TRUE(sup.MayConnect());  // the card connects and reports the failure
    EXPECT_EQ(control.starts, 2);
    clock.now += ServiceSupervisor::kMinRestartGapMs;
    EXPECT_TRUE(sup.BringBack());
    EXPECT_EQ(control.starts, 3);
    // Even a copy that listens and dies at once is started at most once a second.
    Listen();
    Die();
    clock.now += 500;
    EXPECT_FALSE(sup.BringBack());
    clock.now += 500;
    EXPECT_TRUE(sup.BringBack());
    EXPECT_EQ(control.starts, 4);
}

TEST_F(SupervisorTest, StartsThatFailBackOffUpToAMinute) {
    sup.Begin();
    std::vector<uint64_t> gaps;
    for (int i = 0; i < 8; ++i) {
        Die();
        sup.OnServiceExited(2);  // crashed before listening
        gaps.push_back(sup.restartGapMs());
        clock.now += sup.restartGapMs();
        EXPECT_TRUE(sup.BringBack()) << i;
    }
    EXPECT_EQ(gaps, (std::vector<uint64_t>{10000, 20000, 40000, 60000, 60000, 60000, 60000, 60000}));
    // Once it listens, the next loss starts from a short gap again.
    Listen();
    EXPECT_EQ(sup.restartGapMs(), ServiceSupervisor::kMinRestartGapMs);
}

TEST_F(SupervisorTest, AnotherCardsCopyWinningTheRaceIsWaitedFor) {
    sup.Begin();
    control.presence = Presence::Starting;  // the other card's copy
    sup.OnServiceExited(ServiceSupervisor::kAnotherCopy);
    EXPECT_EQ(sup.state(), State::Waiting);
    EXPECT_EQ(control.awaits, 1);
    Listen();
    EXPECT_EQ(sup.state(), State::Up);
}

TEST_F(SupervisorTest, NothingToStartLeavesConnectsAlone) {
    control.canStart = false;  // no cloudwick-feed.exe beside the card
    sup.Begin();
    EXPECT_TRUE(sup.MayConnect());
    EXPECT_FALSE(sup.BringBack());
    EXPECT_EQ(sup.state(), State::Up);
}

TEST_F(SupervisorTest, ARunningServiceThatRefusesIsNotRestarted) {
    control.presence = Presence::Listening;
    sup.Begin();
    EXPECT_FALSE(sup.BringBack());
    EXPECT_EQ(control.starts, 0);
    EXPECT_EQ(control.registers, 1);
}

TEST_F(SupervisorTest, StaleSignalsChangeNothing) {
    control.presence = Presence::Listening;
    sup.Begin();
    sup.OnReadySignal();
    sup.OnServiceExited(0);
    EXPECT_EQ(sup.state(), State::Up);
    EXPECT_EQ(settled, 0);
}

TEST_F(SupervisorTest, ACopyThatNeverListensIsEndedBeforeTheNextStart) {
    // A program under the service's name that runs but never listens: over
    // two minutes of fetches, at most one started copy is ever alive.
    sup.Begin();
    int most = control.alive;
    for (int t = 0; t < 1200; ++t) {  // 100 ms ticks
        clock.now += 100;
        if (sup.MayConnect() || t % 10 == 0) sup.BringBack();  // each refused connect
        most = std::max(most, control.alive);
    }
    EXPECT_EQ(most, 1);
    EXPECT_GE(control.starts, 3);
    EXPECT_LE(control.starts, 12);  // still rate-limited
    EXPECT_EQ(sup.WhyNoService(), "cloudwick-feed.exe never listened");
}

TEST_F(SupervisorTest, WhyThereIsNoServiceIsKnownAtOnceAndForgottenWhenOneListens) {
    control.canStart = false;
    sup.Begin();
    EXPECT_TRUE(sup.MayConnect());  // port 80 of the host, as designed
    EXPECT_FALSE(sup.BringBack());
    EXPECT_EQ(sup.WhyNoService(), "cloudwick-feed.exe is missing beside Cloudwick.exe");
    control.refusal = StartRefusal(225, false);
    clock.now += ServiceSupervisor::kMaxRestartGapMs;
    EXPECT_FALSE(sup.BringBack());
    EXPECT_EQ(sup.WhyNoService(), "Antivirus blocked cloudwick-feed.exe");
    control.canStart = true;
    clock.now += ServiceSupervisor::kMaxRestartGapMs;
    EXPECT_TRUE(sup.BringBack());
    Listen();
    EXPECT_EQ(sup.WhyNoService(), "");
}

TEST_F(SupervisorTest, ACopyThatEndsAtOnceIsNamedWithItsExitCode) {
    sup.Begin();
    control.presence = Presence::Absent;
    sup.OnServiceExited(2);
    EXPECT_EQ(sup.WhyNoService(), "cloudwick-feed.exe ended at once (code 2)");
    EXPECT_EQ(settled, 1);  // held connects go: what answers on 80 is used
}

TEST_F(SupervisorTest, ThePublishedPortIsUsedForThisMachineOnly) {
    sup.Begin();
    Listen();
    EXPECT_EQ(sup.PortFor("localhost"), 80);  // nothing published
    control.publishedPort = 49731;
    control.publishedPid = 77;
    EXPECT_EQ(sup.PortFor("localhost"), 49731);
    EXPECT_EQ(sup.PortFor("127.0.0.1"), 49731);
    EXPECT_EQ(sup.PortFor("weather.example.org"), 80);
    ServiceSupervisor off(control, clock, false);
    EXPECT_EQ(off.PortFor("localhost"), 80);
}

TEST_F(SupervisorTest, AnotherListenerOnThePublishedPortIsNotOurs) {
    sup.Begin();
    Listen();
    control.publishedPort = 49731;
    control.publishedPid = 77;
    control.listenerPid = 0;  // cannot tell: trusted
    EXPECT_TRUE(sup.ListenerIsOurs(49731));
    control.listenerPid = 77;
    EXPECT_TRUE(sup.ListenerIsOurs(49731));
    EXPECT_TRUE(sup.ListenerIsOurs(80));  // not the published port: as designed
    clock.now += ServiceSupervisor::kMaxRestartGapMs;
    control.listenerPid = 4242;
    const int starts = control.starts;
    EXPECT_FALSE(sup.ListenerIsOurs(49731));
    EXPECT_EQ(control.ended, std::vector<unsigned long>{77});
    EXPECT_EQ(control.starts, starts + 1);  // and started again
    EXPECT_EQ(sup.state(), State::Waiting);
}

TEST_F(SupervisorTest, AServiceThatNeverAnswersIsEndedAndStartedAgain) {
    sup.Begin();
    Listen();
    control.publishedPort = 49731;
    control.publishedPid = 77;
    clock.now += ServiceSupervisor::kMaxRestartGapMs;
    const int starts = control.starts;
    EXPECT_TRUE(sup.NoAnswer());
    EXPECT_EQ(control.ended, std::vector<unsigned long>{77});
    EXPECT_EQ(control.starts, starts + 1);
    EXPECT_FALSE(sup.MayConnect());  // the new copy is waited for
    ServiceSupervisor off(control, clock, false);
    EXPECT_FALSE(off.NoAnswer());  // a card for another host keeps nothing
}
