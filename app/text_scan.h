#pragma once
// The four text operations both replies are read with. Positions are
// 1-based; comparisons are exact and case-sensitive.
#include <string>

// Smallest position p >= from where `what` occurs in `s`; 0 when absent or
// when `from` is below 1.
long Find(const std::string& s, long from, const std::string& what);

// Characters from `from` up to but not including `to`; fewer when `s` ends
// first. Empty when from < 1 or to <= from.
std::string Cut(const std::string& s, long from, long to);

// Removes leading and trailing spaces (only U+0020).
std::string Trim(const std::string& s);

// Removes every double quote.
std::string Unquote(const std::string& s);
