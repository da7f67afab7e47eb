#pragma once
// The card's weather refresh: connect, send one GET, collect the reply,
// decide completion by byte count on a 100 ms tick, time out after 66
// ticks and start again, and refresh every RefreshHours hours by the clock.
#include <cstdint>
#include <string>
#include <utility>

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
    // A short text saying what is wrong, in the line "network error" uses.
    virtual void ShowProblem(const std::string& text) = 0;
    // Also called again with a newer document while one is shown.
    virtual void ShowForecast(const ForecastResult& result) = 0;
};

// What a whole reply too short to be a document says, as the card words
// it (see ReplyProblem); empty when there is nothing to say.
std::string FeedProblemText(const std::string& reply, bool portTakenByOther);

class FeedCycle : public SocketEvents {
public:
    static constexpr int kTimeoutTicks = 66;
    static constexpr long kCompleteBytes = 2000;
    // Most of one reply the card keeps; the parse needs the first 2 KB.
    static constexpr size_t kMaxReplyBytes = 64 * 1024;
    static constexpr uint64_t kMsPerHour = 3600000;
    // Resume messages closer than this to a fetch start add no fetch.
    static constexpr uint64_t kResumeQuietMs = 10000;

    FeedCycle(AppSettings& settings, Socket& socket, Timer& dataTimer, Timer& intervalTimer,
              FeedView& view, std::string feedHost, const Clock& clock);
    ~FeedCycle() override;
    FeedCycle(const FeedCycle&) = delete;
    FeedCycle& operator=(const FeedCycle&) = delete;

    // The local service, when the card keeps one; null: connect at once.
    void SetServiceLink(ServiceLink* link) { link_ = link; }
    // What the card says instead of asking (`problem`: the configured host
    // cannot be used) or when the host does not resolve (`notFound`; empty:
    // "network error").
    void SetHostWords(std::string problem, std::string notFound) {
        hostProblem_ = std::move(problem);
        hostNotFound_ = std::move(notFound);
    }

    void RefreshOptions();
    // The socket's events (the cycle is the socket's sink).
    void OnConnect() override;
    void OnDataArrival(long bytesTotal) override;
    void OnError() override;
    void OnClose() override;
    void OnDataTick();
    void OnIntervalTick();
    // The computer woke from sleep: refresh, once for a burst of messages.
    void OnResume();
    // The local service listens now: a connect held back goes out.
    void OnServiceReady();

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
    // Whole hours and minutes within the hour since the last fetch start.
    int hoursElapsed() const;
    int minutesElapsed() const;
    const std::string& barText() const { return barText_; }
    // A stale document is shown and fresh weather is being fetched quietly.
    bool retryingQuietly() const { return staleShown_; }
    bool waitingForService() const { return connectHeld_; }

private:
    void StartFetch(bool quiet);
    void ConnectNowOrLater();
    void ResetReply();
    void Complete();
    void ReadEndedReply();

    AppSettings& settings_;
    Socket& socket_;
    Timer& dataTimer_;
    Timer& intervalTimer_;
    FeedView& view_;
    std::string feedHost_;
    const Clock& clock_;
    ServiceLink* link_ = nullptr;

    std::string feedServer_;
    std::string hostProblem_;
    std::string hostNotFound_;
    std::string feedWoeid_;
    int16_t feedMetric_ = 0;
    std::string feedReply_;
    long feedBytes_ = 0;  // saturates instead of wrapping
    int16_t replyParsed_ = 0;
    int16_t waitTicks_ = 0;
    uint64_t fetchStartMs_ = 0;  // the clock at the last fetch start (or creation)
    std::string barText_;
    unsigned fetchCount_ = 0;  // fetches started so far
    bool peerClosed_ = false;  // the server ended this fetch's connection
    bool answered_ = false;    // this fetch's reply has been read
    bool connectHeld_ = false; // waiting for the service before connecting
    bool connected_ = false;   // this fetch's connection was accepted
    unsigned short port_ = 80; // where this fetch connects
    bool staleShown_ = false;  // the shown document came from a last-known copy
    bool quiet_ = false;       // this fetch changes nothing shown unless it brings weather
};
