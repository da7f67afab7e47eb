#pragma once
// Collecting a reply on a socket: bounded text and a byte count that never
// wraps, so a peer that keeps sending cannot grow the program or fool its
// completion test.
#include <climits>
#include <string>

inline void AppendBounded(std::string& reply, const std::string& data, size_t cap) {
    if (reply.size() < cap) reply.append(data, 0, cap - reply.size());
}

inline long AddSaturating(long total, long bytes) {
    if (bytes <= 0) return total;
    return bytes > LONG_MAX - total ? LONG_MAX : total + bytes;
}
