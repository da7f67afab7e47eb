#include "feed/feed_cycle.h"

#include "app/get_request.h"
#include "app/reply_buffer.h"
#include "app/short_reply.h"
#include "app/text_scan.h"
#include "feed/feed_request.h"

namespace {
const unsigned short kFeedPort = 80;
const uint64_t kMsPerMinute = 60000;
const int kOkStatus = 200;
}

std::string FeedProblemText(const std::string& reply, bool portTakenByOther) {
    const std::string text = ReplyProblem(reply, portTakenByOther, "Weather service");
    if (text.empty() && ReadShortReply(reply).status == kOkStatus) return "Weather reply too short";
    return text;
}

FeedCycle::FeedCycle(AppSettings& settings, Socket& socket, Timer& dataTimer, Timer& intervalTimer,
                     FeedView& view, std::string feedHost, const Clock& clock)
    : settings_(settings), socket_(socket), dataTimer_(dataTimer), intervalTimer_(intervalTimer),
      view_(view), feedHost_(std::move(feedHost)), clock_(clock), fetchStartMs_(clock.NowMs()) {
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

namespace {
// Milliseconds since `start`, held at 49 days: 32-bit arithmetic needs no
// 64-bit division helpers in the exe.
uint32_t MsSince(uint64_t now, uint64_t start) {
    if (now <= start) return 0;
    const uint64_t d = now - start;
    return d > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(d);
}
}  // namespace

int FeedCycle::hoursElapsed() const {
    return static_cast<int>(MsSince(clock_.NowMs(), fetchStartMs_) / static_cast<uint32_t>(kMsPerHour));
}

int FeedCycle::minutesElapsed() const {
    return static_cast<int>(MsSince(clock_.NowMs(), fetchStartMs_) / static_cast<uint32_t>(kMsPerMinute) % 60);
}

void FeedCycle::RefreshOptions() { StartFetch(false); }

void FeedCycle::StartFetch(bool quiet) {
    ++fetchCount_;
    fetchStartMs_ = clock_.NowMs();
    replyParsed_ = 0;
    quiet_ = quiet;
    if (!quiet) {
        staleShown_ = false;
        view_.ClearDisplay();
    }
    socket_.Close();
    dataTimer_.SetEnabled(false);
    intervalTimer_.SetEnabled(false);
    feedWoeid_ = settings_.LocationWoeid;
    feedMetric_ = settings_.UseCelsius == 1 ? -1 : 0;
    settings_.MainVisible = -1;
    dataTimer_.SetEnabled(true);
    ResetReply();
    connectHeld_ = false;
    connected_ = false;
    feedServer_ = feedHost_;
    if (!hostProblem_.empty()) {
        // Nothing to ask: the line says why, until the options change.
        dataTimer_.SetEnabled(false);
        if (!quiet) view_.ShowProblem(hostProblem_);
        return;
    }
    if (feedWoeid_ != kNoPlaceWoeid && !Trim(feedWoeid_).empty()) {
        ConnectNowOrLater();
        intervalTimer_.SetEnabled(true);
    }
}

void FeedCycle::ResetReply() {
    feedReply_.clear();
    feedBytes_ = 0;
    peerClosed_ = false;
    answered_ = false;
}

void FeedCycle::ConnectNowOrLater() {
    // A service that is starting up would refuse: ask once it listens.
    if (link_ && !link_->MayConnect()) {
        connectHeld_ = true;
        return;
    }
    connectHeld_ = false;
    connected_ = false;
    // The card's own service listens on the port it told; anything else on 80.
    port_ = link_ ? link_->PortFor(feedServer_) : kFeedPort;
    socket_.Connect(feedServer_, port_);
}

void FeedCycle::OnServiceReady() {
    if (connectHeld_) ConnectNowOrLater();
}

void FeedCycle::OnConnect() {
    // Nothing is sent to a listener that is not the card's service.
    if (link_ && !link_->ListenerIsOurs(port_)) {
        socket_.Close();
        ResetReply();
        connectHeld_ = true;
        if (!quiet_) view_.ShowProblem(kForeignListenerText);
        return;
    }
    connected_ = true;
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
    // Nothing listened: when the card keeps the service, it is started
    // again and this fetch connects once it listens, with nothing to report.
    if (link_ && link_->BringBack()) {
        socket_.Close();
        ResetReply();
        connectHeld_ = true;
        return;
    }
    if (quiet_) return;
    // No service at all: its reason when the card knows one.
    const std::string why = ConnectFailureText(socket_, hostNotFound_, link_);
    if (why.empty())
        view_.ShowNetworkError();
    else
        view_.ShowProblem(why);
}

void FeedCycle::OnClose() {
    // Ended before a byte came: the service went (killed, crashed) while
    // this fetch waited; it is brought back as for a refused connect.
    if (feedBytes_ == 0 && feedReply_.empty() && link_ && link_->BringBack()) {
        socket_.Close();
        ResetReply();
        connectHeld_ = true;
        return;
    }
    peerClosed_ = true;
}

void FeedCycle::OnDataTick() {
    if (connectHeld_) OnServiceReady();
    ++waitTicks_;
    barText_ += "-";
    view_.SetBarText(barText_);
    if (waitTicks_ >= kTimeoutTicks) {
        barText_.clear();
        view_.SetBarText(barText_);
        waitTicks_ = 0;
        // Accepted and not a byte since: the service is frozen or not ours;
        // the card's own is ended and started again, and the line says so.
        const bool silent = connected_ && feedBytes_ == 0 && !answered_ && replyParsed_ == 0 && link_ &&
                            link_->NoAnswer();
        // A shown stale document is kept while fresh weather is fetched.
        if (replyParsed_ == 0 || staleShown_) StartFetch(staleShown_);
        if (silent && !quiet_) view_.ShowProblem(kSilentServiceText);
    }
    if (answered_) return;
    if (feedBytes_ > kCompleteBytes) {
        Complete();
    } else if (peerClosed_ || ReplyIsWhole(feedReply_)) {
        ReadEndedReply();
    }
}

void FeedCycle::Complete() {
    barText_.clear();
    view_.SetBarText(barText_);
    socket_.Close();
    replyParsed_ = -1;
    answered_ = true;
    ForecastResult result = ParseForecast(feedReply_, settings_.UseCelsius);
    const bool stale = HasStaleMarker(feedReply_);
    const unsigned fetch = fetchCount_;
    // A quiet fetch replaces the shown document only with weather.
    if (result.ok || !quiet_) view_.ShowForecast(result);
    // Showing can let the window system deliver a sent message, such as
    // "Refresh Now" from another program: a fetch started meanwhile is
    // not this one's to stop.
    if (fetch != fetchCount_) return;
    if (result.ok) {
        // A document served from the service's last copy is shown, and the
        // time-out keeps asking until a fresh one comes.
        staleShown_ = stale;
        if (!stale) dataTimer_.SetEnabled(false);
    } else {
        if (!quiet_ && link_ && link_->PortTakenByOther()) view_.ShowProblem(kPortTakenText);
        // A reply the parser cannot use (an error page from a proxy, a
        // document with tags missing) counts as one that never came: the
        // time-out starts the next fetch, so the card heals by itself.
        replyParsed_ = 0;
        feedReply_.clear();
        feedBytes_ = 0;
    }
}

void FeedCycle::ReadEndedReply() {
    // The server ended a reply too short to be a document: what it says
    // is shown at once; the time-out asks again.
    answered_ = true;
    socket_.Close();
    const std::string text = FeedProblemText(feedReply_, link_ && link_->PortTakenByOther());
    if (!quiet_ && !text.empty()) view_.ShowProblem(text);
}

void FeedCycle::OnIntervalTick() {
    // Measured by the clock, so hours spent asleep count.
    const int hours = settings_.RefreshHours;
    if (hours < 0) return;
    const uint64_t now = clock_.NowMs();
    const uint64_t elapsed = now > fetchStartMs_ ? now - fetchStartMs_ : 0;
    if (elapsed >= static_cast<uint64_t>(hours) * kMsPerHour) RefreshOptions();
}

void FeedCycle::OnResume() {
    // Only a card that has fetched before; a burst of messages is one.
    if (fetchCount_ == 0) return;
    if (clock_.NowMs() < fetchStartMs_ + kResumeQuietMs) return;
    RefreshOptions();
}
