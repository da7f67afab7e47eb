#pragma once
// One line per request, the same on every platform:
//   2026-12-08T09:50:01Z 127.0.0.1 "GET /forecastrss?w=4250542" 200 2421 cache=hit
// Every 503 and 429, and every stale document, says why:
//   ... 429 75 reason="this client's allowance of requests that need the source is used up"
#include <cstdint>
#include <string>

#include "core/feed_service.h"

// A request target made printable for the log (control and non-ASCII bytes
// escaped, cut to `max` characters).
std::string LoggableTarget(const std::string& target, std::size_t max);

// "2026-12-08T09:50:01Z".
std::string UtcStamp(int64_t unixSeconds);

// The line for one answered request, with its line end.
std::string RequestLogLine(int64_t unixSeconds, const std::string& remote, const std::string& method,
                           const std::string& target, const ServiceReply& reply);
