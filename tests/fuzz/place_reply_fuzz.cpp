// Fuzzes the place-search reply parser, directly and through the search's
// completion tick, so the outcome handling sees every kind of reply.
#include <cstddef>
#include <cstdint>
#include <string>

#include "options/place_reply_parser.h"
#include "options/place_search.h"

namespace {

// What the dialog may hand to the settings: digits only, no control characters.
bool Digits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool Printable(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

class QuietSocket : public Socket {
public:
    void SetEventSink(SocketEvents*) override {}
    void StopReading() override {}
    void Connect(const std::string&, unsigned short) override { state = kConnected; }
    void Send(const std::string&) override {}
    std::string Receive() override { return std::move(pending); }
    void Close() override { state = kClosed; }
    int State() const override { return state; }
    bool HostNotFound() const override { return false; }
    int state = kClosed;
    std::string pending;
};

class QuietTimer : public Timer {
public:
    void SetEnabled(bool on) override { on_ = on; }
    bool Enabled() const override { return on_; }

private:
    bool on_ = false;
};

class QuietView : public PlaceSearchView {
public:
    std::string SearchText() const override { return "Springfield"; }
    void SetStatus(const std::string& text) override { status = text; }
    void SetOkEnabled(bool on) override { ok = on; }
    bool OkEnabled() const override { return ok; }
    void FocusOk() override {}
    void FocusSearchText() override {}
    std::string status;
    bool ok = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const PlaceReply r = ParsePlaceReply(reply);
    if (r.outcome == PlaceReply::Found && (!r.woeidCut || !r.nameCut)) __builtin_trap();
    if (r.woeid.size() > reply.size() || r.name.size() > reply.size()) __builtin_trap();
    if (r.woeidCut && !Digits(r.woeid)) __builtin_trap();
    if (r.nameCut && !Printable(r.name)) __builtin_trap();

    QuietSocket socket;
    QuietTimer timer;
    QuietView view;
    PlaceSearch search(socket, timer, view, "places.example.test");
    search.StartPlaceSearch();
    search.OnConnect();
    socket.pending = reply;
    search.OnDataArrival(static_cast<long>(reply.size()) + 1001);  // always past the threshold
    search.OnTick();
    if (timer.Enabled()) __builtin_trap();
    // "Okay" is enabled by a found place only.
    if (view.ok != (r.outcome == PlaceReply::Found)) __builtin_trap();
    if (r.outcome == PlaceReply::Unusable && view.status != kNotFoundText) __builtin_trap();
    if (r.outcome == PlaceReply::Rejected && view.status != kTooFastText) __builtin_trap();
    // The proposal the dialog would store keeps the settings file's lines whole.
    if (view.ok && (!Digits(search.foundWoeid()) || !Printable(search.foundName()))) __builtin_trap();
    return 0;
}
