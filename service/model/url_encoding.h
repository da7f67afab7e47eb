#pragma once
// Percent-encoding of URL parts (RFC 3986), both ways.
#include <string>

// Percent-decoding; '+' is a space. False when a '%' is not followed by two
// hex digits.
bool PercentDecode(const std::string& in, std::string& out);

// Percent-decoding that keeps a '%' without two hex digits after it as
// it is; '+' is a space.
std::string LenientPercentDecode(const std::string& in);

// Percent-encodes everything but unreserved characters (RFC 3986).
std::string UrlEncode(const std::string& s);
