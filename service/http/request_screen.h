#pragma once
// What a request head must pass before it is answered, the same on every
// platform: the message framing (no body on what the service answers, no
// doubtful lengths, which could let a second request ride in the first
// one's body), the Host it is meant for, and no marks of a web page (a page
// in the user's browser must not reach the local service, nor spend its
// calls to the source). A refusal never reaches the router.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/service_reply.h"

// The facts of one request head that the rules look at.
struct RequestFacts {
    bool http11 = true;
    std::vector<std::string_view> hosts;  // every Host header's value
    int contentLengths = 0;               // Content-Length headers
    bool nonZeroLength = false;           // one of them is not 0 (or not a number)
    bool transferEncoding = false;
    bool origin = false, referer = false;
    std::optional<std::string_view> secFetchSite;
};

struct ScreenRules {
    // Host names the service answers for, lower case, without a port.
    std::vector<std::string> allowedHosts{"localhost", "127.0.0.1", "[::1]"};
};

struct Refusal {
    ServiceReply reply;
    bool close = false;  // the connection ends after it
};

// nullopt: the request may be answered.
std::optional<Refusal> ScreenRequest(const RequestFacts& facts, const ScreenRules& rules);

// "localhost:8080" -> "localhost", "[::1]:80" -> "[::1]", in lower case.
std::string HostName(std::string_view host);

// A short refusal: text/plain whose first line is `reason`, never cached.
ServiceReply RefusalReply(int status, const std::string& reason);
