#pragma once
#include <string>

// The GET request for `path` with the card's fixed headers, CR LF lines,
// ending in an empty line. Shared by the feed and the place search.
std::string BuildGetRequest(const std::string& path, const std::string& host);
