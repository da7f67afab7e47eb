#pragma once
// What the service answers, independent of the HTTP server: the card's two
// documents and the health report, with the caches in front of the source.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "feed/source_cache.h"
#include "upstream/client_limits.h"
#include "http/service_reply.h"
#include "upstream/provider.h"
#include "state/state_store.h"

struct ServiceRules {
    // Forecasts are fresh until the source's next 15-minute step; the last
    // good one is served for a day while the source cannot be reached.
    CacheRules forecasts{std::chrono::seconds(900), std::chrono::seconds(24 * 3600), std::chrono::seconds(30), 10000};
    CacheRules places{std::chrono::seconds(86400), std::chrono::seconds(7 * 86400), std::chrono::seconds(30), 20000};
    CacheRules searches{std::chrono::seconds(86400), std::chrono::seconds(7 * 86400), std::chrono::seconds(30), 20000};
    ClientRules clients;
};

// The source's current values change every 15 minutes, on the quarter hour.
constexpr int64_t kForecastStepSeconds = 900;

// Both documents of a place, from one forecast.
struct ForecastDocuments {
    std::string imperial, metric;
};

class FeedService {
public:
    // `state` (may be null; must outlive the service) keeps the last good
    // forecast of each place across restarts.
    FeedService(Provider& provider, ServiceRules rules, CacheClock clock, std::function<int64_t()> nowUnix,
                StateStore* state = nullptr);

    // `client` is the asking address, for its allowance of requests that
    // need the source; "" for none (the service's own callers).
    ServiceReply Weather(const std::string& rawQuery, const std::string& client = "");  // /forecastrss
    ServiceReply Places(const std::string& rawQuery, const std::string& client = "");   // /v1/public/yql
    ServiceReply Health();                                                              // /health

    // The service's clock (unix seconds), for the replies' Date.
    int64_t Now() const { return nowUnix_(); }

private:
    template <typename T>
    Fetched<T> Track(Fetched<T> f);
    // Calls the source for `client` if its allowance has room.
    template <typename T, typename Call>
    Fetched<T> Asking(const std::string& client, Call call);
    // Puts a place's kept forecast, from an earlier run, into the caches.
    void RestoreKept(int64_t id);
    // A document from a cache answer, with its caching headers.
    template <typename T>
    ServiceReply Stamped(std::string body, const typename Cache<T>::Answer& a);
    template <typename T>
    ServiceReply Unavailable(const typename Cache<T>::Answer& a);

    Provider& provider_;
    CacheClock clock_;
    std::function<int64_t()> nowUnix_;
    Cache<std::optional<Place>> places_;
    Cache<std::vector<Place>> searches_;
    Cache<ForecastDocuments> forecasts_;
    ClientLimits clients_;
    StateStore* const state_;
    std::mutex restoredMutex_;
    std::set<int64_t> restored_;  // ids whose kept forecast was looked for

    std::mutex upstreamMutex_;
    std::optional<std::chrono::steady_clock::time_point> lastSuccess_, lastFailure_;
    std::string lastError_;
};
