#pragma once
// One line per request, the same on every platform:
//   2026-12-08T09:50:01Z 127.0.0.1 "GET /forecastrss?w=4250542" 200 2421 cache=hit
// Every 503 and 429, and every stale document or refusal, says why:
//   ... 429 75 reason="this client's allowance of requests that need the source is used up"
// Every byte a client chose that is not printable ASCII is escaped (\xHH),
// so a line can never carry a line end, an escape sequence or a quote.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "http/service_reply.h"

// Text made printable for the log (control, quote, backslash and non-ASCII
// bytes escaped as \xHH, cut to `max` characters).
std::string LoggableTarget(const std::string& target, std::size_t max);

// "2026-12-08T09:50:01Z".
std::string UtcStamp(int64_t unixSeconds);

// The line for one answered request, with its line end. `method` and
// `target` are the client's bytes; `remote` the client's address.
std::string RequestLogLine(int64_t unixSeconds, const std::string& remote, const std::string& method,
                           const std::string& target, const ServiceReply& reply);

// Folds the lines of a client that sends many requests: within each
// interval the first `perInterval` lines of an address are written, and the
// rest only counted, in one line per address at the interval's end:
//   2026-12-08T09:50:10Z 192.0.2.7 23843 more requests in 10 s not logged one by one (200: 23800, 429: 43)
// The table of addresses is bounded; addresses past it are folded together.
// When an interval has ended, every address is written again (the count
// line of the last one comes with the next Summaries()).
class LogFolder {
public:
    struct Rules {
        int intervalSeconds = 10;
        int perInterval = 20;
        std::size_t maxAddresses = 10000;
    };
    LogFolder() : LogFolder(Rules{}) {}
    explicit LogFolder(Rules rules) : rules_(rules) {}

    // True when this request's line is to be written; otherwise it is counted.
    bool Admit(const std::string& address, int status, int64_t unixSeconds);
    // The count lines of intervals that have ended by `unixSeconds` (all of
    // them with `all`), each with its line end.
    std::string Summaries(int64_t unixSeconds, bool all = false);
    // True while some lines are counted and not yet written as a count line.
    bool HasFolded();

private:
    struct Counts {
        int logged = 0;
        long long folded = 0;
        std::map<int, long long> byStatus;
    };
    // The count lines of what is folded, dated `stampUnix`; clears the counts.
    std::string SumUp(int64_t stampUnix);

    const Rules rules_;
    std::mutex mutex_;
    std::string ended_;  // count lines of an interval that ended with an Admit()
    int64_t intervalStart_ = 0;
    std::map<std::string, Counts> counts_;
};
