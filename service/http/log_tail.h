#pragma once
// The Windows program's log file stays small: once a write takes it past
// `cap` bytes, only about the last `keep` bytes are kept, from a line start.
#include <cstddef>
#include <string>

struct LogCap {
    std::size_t cap = 1 << 20;
    std::size_t keep = 256 << 10;
};

// `tail` (the file's last bytes, at most keep) without its first, cut line.
std::string KeptLogTail(const std::string& tail);
