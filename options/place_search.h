#pragma once
// The options dialog's place search: one GET on the dialog's own socket,
// polled by its 100 ms timer; complete above 1000 bytes, given up after
// 300 ticks.
#include <cstdint>
#include <string>
#include <utility>

#include "app/net_interfaces.h"

extern const char* const kPlaceQueryPrefix;
extern const char* const kNotFoundText;
extern const char* const kTooFastText;

class PlaceSearchView {
public:
    virtual ~PlaceSearchView() = default;
    virtual std::string SearchText() const = 0;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetOkEnabled(bool on) = 0;
    virtual bool OkEnabled() const = 0;
    virtual void FocusOk() = 0;
    virtual void FocusSearchText() = 0;
};

// "'" + text with blanks as %20 (control characters percent-encoded) + "'".
std::string QuotePlaceText(const std::string& text);

class PlaceSearch : public SocketEvents {
public:
    static constexpr long kCompleteBytes = 1000;
    static constexpr int kTimeoutTicks = 300;
    static constexpr size_t kMaxReplyBytes = 64 * 1024;

    PlaceSearch(Socket& socket, Timer& timer, PlaceSearchView& view, std::string host);
    ~PlaceSearch() override;
    PlaceSearch(const PlaceSearch&) = delete;
    PlaceSearch& operator=(const PlaceSearch&) = delete;

    // The local service, when the card keeps one; null: connect at once.
    void SetServiceLink(ServiceLink* link) { link_ = link; }
    // What a search says instead of asking (`problem`: the configured host
    // cannot be used) or when the host does not resolve (`notFound`).
    void SetHostWords(std::string problem, std::string notFound) {
        hostProblem_ = std::move(problem);
        hostNotFound_ = std::move(notFound);
    }

    // Loads the stored place as the dialog's proposal.
    void SetFound(const std::string& woeid, const std::string& name);

    void StartPlaceSearch();
    void OnKeyPress(int keyAscii);
    // The socket's events (the search is the socket's sink).
    void OnConnect() override;
    void OnDataArrival(long bytesTotal) override;
    void OnError() override;
    void OnClose() override;
    void OnTick();
    void Close();

    const std::string& searchHost() const { return searchHost_; }
    const std::string& requestPath() const { return requestPath_; }
    const std::string& quotedText() const { return quotedText_; }
    const std::string& replyText() const { return replyText_; }
    long bytesReceived() const { return bytesReceived_; }
    const std::string& foundWoeid() const { return foundWoeid_; }
    const std::string& foundName() const { return foundName_; }
    int16_t tickCount() const { return tickCount_; }

private:
    void Parse(const std::string& reply);
    void ConnectNowOrLater();
    void AskAgain();  // drops this connection; connects once the service allows
    void Finish(const std::string& status);
    void ReadEndedReply();

    Socket& socket_;
    Timer& timer_;
    PlaceSearchView& view_;
    std::string searchHost_;
    std::string hostProblem_;
    std::string hostNotFound_;
    std::string requestPath_;
    std::string quotedText_;
    std::string replyText_;
    long bytesReceived_ = 0;
    std::string foundWoeid_;
    std::string foundName_;
    int16_t tickCount_ = 0;
    ServiceLink* link_ = nullptr;
    bool peerClosed_ = false;   // the server ended this search's connection
    bool connectHeld_ = false;  // waiting for the service before connecting
    bool connected_ = false;    // this search's connection was accepted
    bool retried_ = false;      // the service was brought back once for this search
    unsigned short port_ = 80;  // where this search connects
};
