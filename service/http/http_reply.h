#pragma once
// The bytes of a reply on the wire: status line, headers and body in one
// piece, written by the server in one write.
#include <string>

#include "http/service_reply.h"

// What the Keep-Alive header tells the client (connection_policy.h keeps it).
struct ConnectionRules {
    int keepAliveSeconds = 2;  // an idle connection is closed after this
    int maxRequests = 100;     // requests on one connection; the last reply says "Connection: close"
};

// "OK", "Not Found", ...
const char* ReasonPhrase(int status);

// Status line, headers by name in alphabetical order, and, unless `head`
// (a HEAD request), the body. The headers for HTTP caches: Cache-Control
// (public, max-age=N; no-store for errors, health and refusals), Date,
// Last-Modified, Retry-After; and the X-Cache note. Never a
// Content-Encoding: replies are never compressed, so no Vary is needed.
// `close`: the connection ends after it.
std::string ReplyBytes(const ServiceReply& reply, bool head, bool close, const ConnectionRules& rules = {});
