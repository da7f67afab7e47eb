#include "options/place_search.h"

#include "app/reply_buffer.h"
#include "app/get_request.h"
#include "app/short_reply.h"
#include "options/place_reply_parser.h"

const char* const kPlaceQueryPrefix =
    "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20";
const char* const kNotFoundText = "Not found. Please change zip/ town/ location and try again.";
const char* const kTooFastText = "Easy boy. Not so fast !!!";

namespace {
const unsigned short kSearchPort = 80;
const int kEnterKey = 13;
}

std::string QuotePlaceText(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "'";
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            out += "%20";
        } else if (c < 0x20 || c == 0x7F) {
            // A typed or pasted line break must never end the request line.
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out + "'";
}

PlaceSearch::PlaceSearch(Socket& socket, Timer& timer, PlaceSearchView& view, std::string host)
    : socket_(socket), timer_(timer), view_(view), searchHost_(std::move(host)) {
    socket_.SetEventSink(this);
}

PlaceSearch::~PlaceSearch() { socket_.SetEventSink(nullptr); }

void PlaceSearch::SetFound(const std::string& woeid, const std::string& name) {
    foundWoeid_ = woeid;
    foundName_ = name;
}

void PlaceSearch::StartPlaceSearch() {
    socket_.Close();
    replyText_.clear();
    tickCount_ = 0;
    timer_.SetEnabled(false);
    foundName_.clear();
    const std::string text = view_.SearchText();
    view_.SetStatus("searching " + text + "... ");
    bytesReceived_ = 0;
    view_.SetOkEnabled(false);
    quotedText_ = QuotePlaceText(text);
    requestPath_ = kPlaceQueryPrefix + quotedText_;
    peerClosed_ = false;
    retried_ = false;
    if (!hostProblem_.empty()) {
        Finish(hostProblem_);
        return;
    }
    timer_.SetEnabled(true);
    ConnectNowOrLater();
}

void PlaceSearch::ConnectNowOrLater() {
    // A service that is starting up would refuse: ask once it listens.
    connectHeld_ = link_ && !link_->MayConnect();
    if (connectHeld_) return;
    connected_ = false;
    port_ = link_ ? link_->PortFor(searchHost_) : kSearchPort;
    socket_.Connect(searchHost_, port_);
}

void PlaceSearch::AskAgain() {
    socket_.Close();
    replyText_.clear();
    bytesReceived_ = 0;
    peerClosed_ = false;
    connected_ = false;
    connectHeld_ = true;
}

void PlaceSearch::OnKeyPress(int keyAscii) {
    if (keyAscii == kEnterKey) StartPlaceSearch();
}

void PlaceSearch::OnConnect() {
    // The search text goes to the card's service only.
    if (link_ && !link_->ListenerIsOurs(port_)) {
        AskAgain();
        view_.SetStatus(kForeignListenerText);
        return;
    }
    connected_ = true;
    socket_.Send(BuildGetRequest(requestPath_, searchHost_));
}

void PlaceSearch::OnDataArrival(long bytesTotal) {
    if (socket_.State() != Socket::kConnected) return;
    std::string data = socket_.Receive();
    AppendBounded(replyText_, data, kMaxReplyBytes);
    bytesReceived_ = AddSaturating(bytesReceived_, bytesTotal);
    // Enough for any answer: an endless sender must not hold back the tick.
    if (replyText_.size() >= kMaxReplyBytes) socket_.StopReading();
}

void PlaceSearch::OnError() {
    // Nothing listened: the service is started again and the search asks
    // once it listens.
    if (link_ && link_->BringBack()) {
        AskAgain();
        return;
    }
    const std::string why = ConnectFailureText(socket_, hostNotFound_, link_);
    view_.SetStatus(why.empty() ? "network error" : why);
}

void PlaceSearch::OnClose() {
    // Ended before a byte came: the service went during the search; it is
    // started again and asked once more.
    if (bytesReceived_ == 0 && replyText_.empty() && !retried_ && link_ && link_->BringBack()) {
        retried_ = true;
        AskAgain();
        return;
    }
    peerClosed_ = true;
}

void PlaceSearch::Finish(const std::string& status) {
    timer_.SetEnabled(false);
    socket_.Close();
    view_.SetStatus(status);
    view_.SetOkEnabled(false);
    view_.FocusSearchText();
    replyText_.clear();
    bytesReceived_ = 0;
    tickCount_ = 0;
}

void PlaceSearch::ReadEndedReply() {
    // A whole reply too short to hold a place: our service's reason, or
    // another program on the port, is said at once.
    const std::string problem = ReplyProblem(replyText_, link_ && link_->PortTakenByOther(), "Place search");
    if (!problem.empty()) {
        Finish(problem);
    } else if (ReadShortReply(replyText_).status != 0) {
        Finish(kNotFoundText);  // a short document holds no place
    }
    // Bytes without a status line: the time-out has the last word.
}

void PlaceSearch::Parse(const std::string& reply) {
    PlaceReply r = ParsePlaceReply(reply);
    if (r.woeidCut) foundWoeid_ = r.woeid;
    if (r.nameCut) foundName_ = r.name;
    switch (r.outcome) {
    case PlaceReply::Found:
        view_.SetStatus(foundName_ + " Found  !");
        view_.SetOkEnabled(true);
        break;
    case PlaceReply::Rejected:
        view_.SetStatus(kTooFastText);
        view_.SetOkEnabled(false);
        break;
    case PlaceReply::Unusable:
        view_.SetStatus(kNotFoundText);
        view_.SetOkEnabled(false);
        break;
    }
}

void PlaceSearch::OnTick() {
    if (connectHeld_ && (!link_ || link_->MayConnect())) ConnectNowOrLater();
    ++tickCount_;
    if (bytesReceived_ <= kCompleteBytes && (peerClosed_ || ReplyIsWhole(replyText_))) {
        ReadEndedReply();
        if (!timer_.Enabled()) return;
    }
    if (bytesReceived_ > kCompleteBytes) {
        timer_.SetEnabled(false);
        Parse(replyText_);
        if (view_.OkEnabled())
            view_.FocusOk();
        else
            view_.FocusSearchText();
        replyText_.clear();
        bytesReceived_ = 0;
        tickCount_ = 0;
    }
    if (tickCount_ > kTimeoutTicks) {
        // Nothing came: a service fault is never "Not found". A silent
        // service of the card's is replaced (the next search finds the new
        // one); one that never came is named.
        if (bytesReceived_ == 0 && link_) {
            if (connected_ && link_->NoAnswer()) {
                Finish(kSilentServiceText);
                return;
            }
            const std::string why = link_->WhyNoService();
            if (!why.empty()) {
                Finish(why);
                return;
            }
        }
        bytesReceived_ = 0;
        tickCount_ = 0;
        timer_.SetEnabled(false);
        view_.SetStatus(kNotFoundText);
    }
}

void PlaceSearch::Close() {
    connectHeld_ = false;
    socket_.Close();
    timer_.SetEnabled(false);
}
