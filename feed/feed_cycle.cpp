#include "feed/feed_cycle.h"

#include "app/reply_buffer.h"
#include "app/get_request.h"
#include "feed/feed_request.h"
#include "app/text_scan.h"

namespace {
const unsigned short kFeedPort = 80;
const int kMinutesPerHour = 60;
}

FeedCycle::FeedCycle(AppSettings& settings, Socket& socket, Timer& dataTimer,
                     Timer& intervalTimer, FeedView& view, std::string feedHost)
    : settings_(settings), socket_(socket), dataTimer_(dataTimer),
      intervalTimer_(intervalTimer), view_(view), feedHost_(std::move(feedHost)) {
    socket_.SetEventSink(this);
}

FeedCycle::~FeedCycle() { socket_.SetEventSink(nullptr); }

void FeedCycle::LoadFeedFields(const AppSettings& s) {
    feedWoeid_ = s.LocationWoeid;
    feedMetric_ = s.UseCelsius == 1 ? -1 : 0;
}

void FeedCycle::StoreFeedFields(AppSettings& s) const {
    s.LocationWoeid = feedWoeid_;
    s.UseCelsius = feedMetric_ != 0 ? 1 : 0;
}

void FeedCycle::RefreshOptions() {
    ++fetchCount_;
    hoursElapsed_ = 0;
    minutesElapsed_ = 0;
    replyParsed_ = 0;
    view_.ClearDisplay();
    socket_.Close();
    dataTimer_.SetEnabled(false);
    intervalTimer_.SetEnabled(false);
    feedWoeid_ = settings_.LocationWoeid;
    feedMetric_ = settings_.UseCelsius == 1 ? -1 : 0;
    settings_.MainVisible = -1;
    dataTimer_.SetEnabled(true);
    feedReply_.clear();
    feedBytes_ = 0;
    feedServer_ = feedHost_;
    if (feedWoeid_ != kNoPlaceWoeid && !Trim(feedWoeid_).empty()) {
        socket_.Connect(feedServer_, kFeedPort);
        intervalTimer_.SetEnabled(true);
    }
}

void FeedCycle::OnConnect() {
    socket_.Send(BuildGetRequest(FeedPath(feedWoeid_, settings_.UseCelsius), feedHost_));
}

void FeedCycle::OnDataArrival(long bytesTotal) {
    if (socket_.State() != Socket::kConnected) return;
    std::string data = socket_.Receive();
    // Only the start of a reply is ever parsed.
    AppendBounded(feedReply_, data, kMaxReplyBytes);
    feedBytes_ = AddSaturating(feedBytes_, bytesTotal);
    // A peer that sends without end would keep the queue full of socket
    // events and hold back the tick that parses: take no more.
    if (feedReply_.size() >= kMaxReplyBytes) socket_.StopReading();
}

void FeedCycle::OnError() {
    view_.ShowNetworkError();
}

void FeedCycle::OnDataTick() {
    ++waitTicks_;
    barText_ += "-";
    view_.SetBarText(barText_);
    if (waitTicks_ >= kTimeoutTicks) {
        barText_.clear();
        view_.SetBarText(barText_);
        waitTicks_ = 0;
        if (replyParsed_ == 0) RefreshOptions();
    }
    if (feedBytes_ > kCompleteBytes) {
        barText_.clear();
        view_.SetBarText(barText_);
        socket_.Close();
        replyParsed_ = -1;
        ForecastResult result = ParseForecast(feedReply_, settings_.UseCelsius);
        const unsigned fetch = fetchCount_;
        view_.ShowForecast(result);
        // Showing can let the window system deliver a sent message, such as
        // "Refresh Now" from another program: a fetch started meanwhile is
        // not this one's to stop.
        if (fetch != fetchCount_) return;
        if (result.ok) {
            dataTimer_.SetEnabled(false);
        } else {
            // A reply the parser cannot use (an error page from a proxy, a
            // document with tags missing) counts as one that never came: the
            // time-out starts the next fetch, so the card heals by itself.
            replyParsed_ = 0;
            feedReply_.clear();
            feedBytes_ = 0;
        }
    }
}

void FeedCycle::OnIntervalTick() {
    ++minutesElapsed_;
    if (minutesElapsed_ == kMinutesPerHour) {
        ++hoursElapsed_;
        minutesElapsed_ = 0;
    }
    if (hoursElapsed_ == settings_.RefreshHours) RefreshOptions();
}
