#pragma once
// One answer of the service, before it is written as HTTP: status, type,
// body and what the head says about caching and retrying.
#include <cstdint>
#include <string>

struct ServiceReply {
    int status = 200;
    std::string contentType = "text/xml;charset=UTF-8";
    std::string body;
    std::string cache;  // "hit", "miss", "stale", "failed" or "" (nothing cached)
    // For HTTP caches (http_reply.h writes them).
    int64_t date = 0;          // Date, unix seconds; 0: the server's clock
    int maxAge = -1;           // Cache-Control: public, max-age=N; -1: no-store
    int64_t lastModified = 0;  // Last-Modified; 0: none
    int retryAfter = 0;        // Retry-After in seconds, on 503 and 429; 0: none
    std::string reason;        // why a 503 or 429, for the log line
    // A forecast answered from the last good copy while the source cannot
    // be reached: the head says `Warning: 110 - "Response is Stale"`.
    bool stale = false;
    // How long the same request is answered from memory alone, without the
    // source (the fresher of what it rests on); -1: as long as maxAge.
    int memoryFor = -1;
};

// The head line a stale forecast carries (ServiceReply::stale).
constexpr char kStaleWarningName[] = "Warning";
constexpr char kStaleWarningValue[] = "110 - \"Response is Stale\"";
