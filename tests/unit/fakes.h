#pragma once
// Fakes for the socket, timer and view interfaces the refresh cycle and the
// place search are written against. Nothing here touches real time or the
// network: a test delivers events and ticks by hand.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/net_interfaces.h"
#include "captions.h"
#include "feed/feed_cycle.h"
#include "options/place_search.h"

// Records every operation in `log` so tests can check their order.
class FakeSocket : public Socket {
public:
    void SetEventSink(SocketEvents* s) override { sink = s; }
    void Connect(const std::string& host, unsigned short port) override {
        log.push_back("connect " + host + ":" + std::to_string(port));
        connects.push_back(host);
        lastPort = port;
        state = kConnecting;
        reading = true;
    }
    void Send(const std::string& data) override {
        log.push_back("send");
        sent.push_back(data);
    }
    std::string Receive() override {
        ++receives;
        std::string all;
        for (const auto& chunk : pending) all += chunk;
        pending.clear();
        return all;
    }
    void StopReading() override {
        log.push_back("stop reading");
        reading = false;
    }
    void Close() override {
        log.push_back("close");
        ++closes;
        state = kClosed;
        pending.clear();
    }
    int State() const override { return state; }
    bool HostNotFound() const override { return notFound; }

    // The connection came up (the test delivers the connect event through `sink`).
    void Up() { state = kConnected; }
    void Queue(const std::string& data) { pending.push_back(data); }

    SocketEvents* sink = nullptr;
    bool reading = true;
    int state = kClosed;
    bool notFound = false;  // what the next OnError reports as its cause
    std::vector<std::string> log;
    std::vector<std::string> connects;
    std::vector<std::string> sent;
    std::deque<std::string> pending;
    unsigned short lastPort = 0;
    int receives = 0;
    int closes = 0;
};

class FakeTimer : public Timer {
public:
    explicit FakeTimer(bool on = false) : on_(on) {}
    void SetEnabled(bool on) override {
        history.push_back(on);
        on_ = on;
    }
    bool Enabled() const override { return on_; }

    std::vector<bool> history;

private:
    bool on_;
};

// Keeps what a card would show, as far as the cycle tells it.
class FakeFeedView : public FeedView {
public:
    void ClearDisplay() override {
        ++clears;
        title = "My City";
        day1.clear();
        events.push_back("clear");
    }
    void SetBarText(const std::string& text) override { bar = text; }
    void ShowNetworkError() override {
        ++errors;
        day1 = "network error";
        events.push_back("error");
    }
    void ShowProblem(const std::string& text) override {
        problems.push_back(text);
        day1 = text;
        events.push_back("problem");
    }
    void ShowForecast(const ForecastResult& result) override {
        forecasts.push_back(result);
        title = CaptionOf(result, CardField::Title);
        day1 = CaptionOf(result, CardField::Day1);
        events.push_back("forecast");
        if (onForecast) onForecast();
    }

    int clears = 0;
    int errors = 0;
    std::string title;
    std::string day1;
    std::string bar;
    std::vector<ForecastResult> forecasts;
    std::vector<std::string> problems;
    std::vector<std::string> events;
    std::function<void()> onForecast;
};

// Time that moves only when a test moves it.
class FakeClock : public Clock {
public:
    uint64_t NowMs() const override { return now; }
    uint64_t now = 1000000;
};

// The local service as a test wants it to look.
class FakeServiceLink : public ServiceLink {
public:
    bool MayConnect() override {
        ++asks;
        return ready;
    }
    bool BringBack() override {
        ++bringBacks;
        if (restarts) ready = false;
        return restarts;
    }
    bool PortTakenByOther() const override { return portTaken; }
    unsigned short PortFor(const std::string&) override { return port; }
    bool ListenerIsOurs(unsigned short) override {
        if (!ours) ready = false;  // started again: connects wait
        return ours;
    }
    bool NoAnswer() override {
        ++noAnswers;
        if (keepsService) ready = false;
        return keepsService;
    }
    std::string WhyNoService() const override { return why; }

    unsigned short port = 80;
    bool ours = true;           // the listener is the published service
    bool keepsService = false;  // NoAnswer ends and restarts the card's service
    std::string why;            // WhyNoService
    int noAnswers = 0;
    bool ready = true;
    bool restarts = false;  // BringBack starts the service (and holds connects)
    bool portTaken = false;
    int asks = 0;
    int bringBacks = 0;
};

class FakePlaceView : public PlaceSearchView {
public:
    std::string SearchText() const override { return text; }
    void SetStatus(const std::string& s) override {
        status = s;
        statuses.push_back(s);
    }
    void SetOkEnabled(bool on) override { ok = on; }
    bool OkEnabled() const override { return ok; }
    void FocusOk() override { focus = "ok"; }
    void FocusSearchText() override { focus = "word"; }

    std::string text;
    std::string status;
    std::vector<std::string> statuses;
    bool ok = true;
    std::string focus;
};
