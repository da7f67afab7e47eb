#pragma once
// Percent-encoding of URL parts (RFC 3986), both ways.
#include <string>

// What a '+' stands for: a space in a query string (form encoding), itself
// in a path.
enum class Plus { IsSpace, IsPlus };

// `in` with every %XX decoded. A '%' without two hex digits after it is
// kept as it is, and then `*wellFormed` (when given) is false.
std::string PercentDecoded(const std::string& in, Plus plus, bool* wellFormed = nullptr);

// Percent-encodes everything but unreserved characters (RFC 3986).
std::string UrlEncode(const std::string& s);
