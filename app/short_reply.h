#pragma once
// Reading a reply that is not a document: when it is whole, its HTTP status,
// the short reason a text/plain body starts with, and the stale marker a
// served-from-last-copy document carries.
#include <string>

// The line shown when another program answers on port 80.
extern const char* const kPortTakenText;
// A listener that is not the card's service; a service that accepted and
// said nothing within the time-out.
extern const char* const kForeignListenerText;  // "Another program answered for Cloudwick"
extern const char* const kSilentServiceText;    // "Weather service did not answer"

// Most characters of a reason the card shows (it fits the forecast line).
constexpr size_t kMaxReasonChars = 40;

struct ShortReply {
    int status = 0;      // 0: no HTTP status line
    std::string reason;  // first line of a text/plain body, cleaned; may be empty
};

// The head has arrived and so has the whole body its Content-Length names.
// A reply without a length is whole only when the server closes.
bool ReplyIsWhole(const std::string& reply);

// Status and reason of a reply as far as it has arrived.
ShortReply ReadShortReply(const std::string& reply);

// The head carries `Warning: 110 ...` ("Response is Stale").
bool HasStaleMarker(const std::string& reply);

// A text made fit for one line: control and non-ASCII bytes dropped,
// spaces trimmed, cut to kMaxReasonChars.
std::string CleanReason(const std::string& line);

class Socket;
class ServiceLink;

// Why a connect failed, when the card knows: `notFound` for a host name
// that did not resolve (where the host was configured), else the local
// service's reason. Empty: "network error".
std::string ConnectFailureText(const Socket& socket, const std::string& notFound, ServiceLink* link);

// What a whole reply that is not a document says, in the card's words: the
// port-80 text when another program answers, else the text/plain reason,
// else `service` + " error " + the status. Empty for a 200 reply without a
// reason and for bytes without a status line.
std::string ReplyProblem(const std::string& reply, bool portTakenByOther, const std::string& service);
