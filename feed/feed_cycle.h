#pragma once
// The card's weather refresh: connect, send one GET, collect the reply,
// decide completion by byte count on a 100 ms tick, time out after 66
// ticks and start again, and refresh every RefreshHours hours.
#include <cstdint>
#include <string>

#include "app/net_interfaces.h"
#include "app/settings.h"
#include "feed/forecast_parser.h"

class FeedView {
public:
    virtual ~FeedView() = default;
    // Blanks the card: "My City", empty values, forecast lines back to their
    // start tops, no picture.
    virtual void ClearDisplay() = 0;
    virtual void SetBarText(const std::string& text) = 0;
    virtual void ShowNetworkError() = 0;
    virtual void ShowForecast(const ForecastResult& result) = 0;
};

class FeedCycle : public SocketEvents {
public:
    static constexpr int kTimeoutTicks = 66;
    static constexpr long kCompleteBytes = 2000;
    // Most of one reply the card keeps; the parse needs the first 2 KB.
    static constexpr size_t kMaxReplyBytes = 64 * 1024;

    FeedCycle(AppSettings& settings, Socket& socket, Timer& dataTimer,
              Timer& intervalTimer, FeedView& view, std::string feedHost);
    ~FeedCycle() override;
    FeedCycle(const FeedCycle&) = delete;
    FeedCycle& operator=(const FeedCycle&) = delete;

    void RefreshOptions();
    // The socket's events (the cycle is the socket's sink).
    void OnConnect() override;
    void OnDataArrival(long bytesTotal) override;
    void OnError() override;
    void OnDataTick();
    void OnIntervalTick();

    // Settings load and save go through these.
    void LoadFeedFields(const AppSettings& s);
    void StoreFeedFields(AppSettings& s) const;

    const std::string& feedServer() const { return feedServer_; }
    const std::string& feedWoeid() const { return feedWoeid_; }
    int16_t feedMetric() const { return feedMetric_; }
    const std::string& feedReply() const { return feedReply_; }
    long feedBytes() const { return feedBytes_; }
    int16_t replyParsed() const { return replyParsed_; }
    int16_t waitTicks() const { return waitTicks_; }
    int hoursElapsed() const { return hoursElapsed_; }
    int minutesElapsed() const { return minutesElapsed_; }
    const std::string& barText() const { return barText_; }

private:
    AppSettings& settings_;
    Socket& socket_;
    Timer& dataTimer_;
    Timer& intervalTimer_;
    FeedView& view_;
    std::string feedHost_;

    std::string feedServer_;
    std::string feedWoeid_;
    int16_t feedMetric_ = 0;
    std::string feedReply_;
    long feedBytes_ = 0;  // saturates instead of wrapping
    int16_t replyParsed_ = 0;
    int16_t waitTicks_ = 0;
    int hoursElapsed_ = 0;
    int minutesElapsed_ = 0;
    std::string barText_;
    unsigned fetchCount_ = 0;  // fetches started so far
};
