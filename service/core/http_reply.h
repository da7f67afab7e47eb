#pragma once
// The bytes of a reply on the wire, and the connection rules both servers
// keep. The Linux server (cpp-httplib) is set up with the same rules and
// writes the same bytes for the same answer; a test holds it to that.
#include <string>
#include <utility>
#include <vector>

#include "core/feed_service.h"

struct ConnectionRules {
    int keepAliveSeconds = 2;  // an idle connection is closed after this
    int maxRequests = 100;     // requests on one connection; the last reply says "Connection: close"
    int requestSeconds = 5;    // a request must arrive whole within this, from its first byte
    int writeSeconds = 5;      // a reply must be taken by the client within this
};

// "OK", "Not Found", ...
const char* ReasonPhrase(int status);

// The headers for HTTP caches, and the X-Cache note, in the order written:
// Cache-Control (public, max-age=N; no-store for errors, health and
// refusals), Date, Last-Modified, Retry-After. Replies are never
// compressed, so no Vary is needed.
std::vector<std::pair<std::string, std::string>> CachingHeaders(const ServiceReply& reply);

// Status line, headers (in the order cpp-httplib writes them) and, unless
// `head` (a HEAD request), the body. `close`: the connection ends after it.
std::string ReplyBytes(const ServiceReply& reply, bool head, bool close, const ConnectionRules& rules = {});
