#pragma once
// One HTTP(S) GET to the upstream, with a hard time limit.
#include <chrono>
#include <string>

struct HttpReply {
    bool transportOk = false;  // false: no HTTP answer at all (refused, timed out, too big)
    long status = 0;
    std::string body;
    std::string error;         // why, when transportOk is false
};

// Call once at start-up, before any thread uses HttpGet.
void HttpFetchInit();

// GETs `url` (http or https only, no redirects), giving up after `timeout`
// in total; a body over 1 MiB is refused.
HttpReply HttpGet(const std::string& url, std::chrono::milliseconds timeout);

// Percent-encodes everything but unreserved characters (RFC 3986).
std::string UrlEncode(const std::string& s);
