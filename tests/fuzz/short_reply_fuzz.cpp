// Fuzzes the reading of replies that are not documents: whether a reply is
// whole, its status and reason, the stale marker, and the text the card and
// the search would show, which must fit the forecast line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/short_reply.h"

namespace {
bool FitsTheLine(const std::string& s) {
    if (s.size() > 60) return false;  // the longest wording: a service name, " error ", a status
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) return false;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    ReplyIsWhole(reply);
    HasStaleMarker(reply);
    const ShortReply r = ReadShortReply(reply);
    if (r.status < 0 || r.status > 999) __builtin_trap();
    if (r.reason.size() > kMaxReasonChars || !FitsTheLine(r.reason)) __builtin_trap();
    if (!r.reason.empty() && (r.reason.front() == ' ' || r.reason.back() == ' ')) __builtin_trap();
    for (bool taken : {false, true}) {
        const std::string shown = ReplyProblem(reply, taken, "Weather service");
        if (!FitsTheLine(shown)) __builtin_trap();
        if (taken && shown != kPortTakenText) __builtin_trap();
    }
    if (CleanReason(reply).size() > kMaxReasonChars) __builtin_trap();
    return 0;
}
