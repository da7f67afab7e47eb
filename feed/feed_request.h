#pragma once
#include <cstdint>
#include <string>

// "/forecastrss?w=" + woeid as stored (+ "&u=c" when useCelsius is exactly 1).
std::string FeedPath(const std::string& woeid, int16_t useCelsius);

// The GET request for `path` with the card's fixed headers, CR LF lines,
// ending in an empty line. Shared by the feed and the place search.
std::string BuildGetRequest(const std::string& path, const std::string& host);
