#pragma once
// Dates as HTTP writes them ("Tue, 08 Dec 2026 09:50:01 GMT"), for Date,
// Last-Modified and Retry-After.
#include <cstdint>
#include <optional>
#include <string>

std::string HttpDate(int64_t unixSeconds);

// Reads the IMF-fixdate form above; nothing for anything else.
std::optional<int64_t> ReadHttpDate(const std::string& text);

// Seconds from a Retry-After value: a number of seconds, or an HTTP date
// measured against `nowUnix`; 0 when unreadable or already past. Capped at a day.
int ReadRetryAfter(const std::string& value, int64_t nowUnix);
