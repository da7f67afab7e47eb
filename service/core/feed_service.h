#pragma once
// What the service answers, independent of the HTTP server: the card's two
// documents and the health report, with the caches in front of the source.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/cache.h"
#include "core/provider.h"

struct ServiceReply {
    int status = 200;
    std::string contentType = "text/xml;charset=UTF-8";
    std::string body;
    std::string cache;  // "hit", "miss", "stale", "failed" or "" (nothing cached)
};

struct ServiceRules {
    CacheRules forecasts{std::chrono::seconds(600), std::chrono::seconds(6 * 3600), std::chrono::seconds(30), 10000};
    CacheRules places{std::chrono::seconds(86400), std::chrono::seconds(7 * 86400), std::chrono::seconds(30), 20000};
    CacheRules searches{std::chrono::seconds(86400), std::chrono::seconds(7 * 86400), std::chrono::seconds(30), 20000};
};

class FeedService {
public:
    FeedService(Provider& provider, ServiceRules rules, CacheClock clock, std::function<int64_t()> nowUnix);

    ServiceReply Weather(const std::string& rawQuery);  // /forecastrss
    ServiceReply Places(const std::string& rawQuery);   // /v1/public/yql
    ServiceReply Health();                               // /health

private:
    template <typename T>
    Fetched<T> Track(Fetched<T> f);

    Provider& provider_;
    CacheClock clock_;
    std::function<int64_t()> nowUnix_;
    Cache<std::optional<Place>> places_;
    Cache<std::vector<Place>> searches_;
    Cache<std::string> forecasts_;

    std::mutex upstreamMutex_;
    std::optional<std::chrono::steady_clock::time_point> lastSuccess_, lastFailure_;
    std::string lastError_;
};
