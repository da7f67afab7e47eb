#pragma once
// Why the service has no document to give: what went wrong with the
// source, or which of this service's own limits said no. Each kind has a
// short line that fits the card's forecast line (at most 40 printable
// ASCII characters), which is the first line of every such reply.
#include <string>

enum class Trouble {
    None,
    Unreachable,      // no answer at all: refused, timed out, name not found
    SourceError,      // an answer of no use: 5xx, an unexpected status, unreadable
    SourcePaused,     // left alone after a 429 or 5xx (its Retry-After) or no answer
    MinuteUsedUp,     // this service's calls to the source, per minute
    HourUsedUp,       // ... per hour
    DayUsedUp,        // ... per day
    Busy,             // calls to the source are queued and the queue is full
    SearchBusy,       // the place search's once-a-second turns are taken
    ClientAllowance,  // this client's allowance of requests for new places
    SystemLacksTls12,  // this Windows cannot speak TLS 1.2, which the source requires
    ProxyNeedsPassword,  // the proxy answered 407 and no logon it accepts was at hand
};

// The longest line a reason may have.
constexpr std::size_t kMaxTroubleLine = 40;

// "Weather source paused for 30 s": the line for `t`, with `seconds` (the
// reply's Retry-After) where the line names a wait.
std::string TroubleLine(Trouble t, int seconds);

// A sentence or two for people who read the whole reply.
const char* TroubleDetail(Trouble t);

// 429 for a client over its own allowance, else 503.
int TroubleStatus(Trouble t);
