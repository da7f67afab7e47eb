#include "core/feed_service.h"

#include <cctype>

#include <nlohmann/json.hpp>

#include "core/feed_document.h"
#include "core/place_document.h"
#include "core/plain_text.h"
#include "core/query.h"

namespace {

constexpr std::size_t kMaxSearchBytes = 100;

ServiceReply Text(int status, const std::string& text) {
    ServiceReply r;
    r.status = status;
    r.contentType = "text/plain; charset=us-ascii";
    r.body = text + "\n";
    return r;
}

ServiceReply Refused(QueryStatus s) {
    return s == QueryStatus::TooLong ? Text(414, "Query string too long.") : Text(400, "Malformed query string.");
}

ServiceReply Unavailable() {
    return Text(503, "The weather source is not answering and nothing is cached yet. Try again in a few minutes.");
}

ServiceReply Xml(std::string body, CacheSource source) {
    ServiceReply r;
    r.body = std::move(body);
    r.cache = CacheSourceName(source);
    return r;
}

std::size_t CodePoints(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

std::string LowerAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

nlohmann::json CountsJson(const CacheCounts& c) {
    return {{"entries", c.entries}, {"hits", c.fresh},   {"fetched", c.fetched},          {"stale_served", c.stale},
            {"failed", c.failed},   {"coalesced", c.coalesced}, {"source_calls", c.sourceCalls}};
}

}  // namespace

FeedService::FeedService(Provider& provider, ServiceRules rules, CacheClock clock, std::function<int64_t()> nowUnix)
    : provider_(provider),
      clock_(clock),
      nowUnix_(std::move(nowUnix)),
      places_(rules.places, clock),
      searches_(rules.searches, clock),
      forecasts_(rules.forecasts, clock) {}

template <typename T>
Fetched<T> FeedService::Track(Fetched<T> f) {
    std::lock_guard<std::mutex> lock(upstreamMutex_);
    if (f.ok) {
        lastSuccess_ = clock_();
    } else {
        lastFailure_ = clock_();
        lastError_ = f.error;
    }
    return f;
}

ServiceReply FeedService::Weather(const std::string& rawQuery) {
    const ForecastQuery q = ReadForecastQuery(rawQuery);
    if (q.status != QueryStatus::Ok) return Refused(q.status);
    if (!q.validId) return Xml(NotFoundDocument(), CacheSource::Fresh);

    const auto place = places_.Get(std::to_string(q.id), [&] { return Track(provider_.LookupPlace(q.id)); });
    if (place.source == CacheSource::Failed) return Unavailable();
    if (!*place.value) return Xml(NotFoundDocument(), place.source);
    const Place& p = **place.value;
    const std::string key = std::to_string(q.id) + (q.units == Units::Metric ? ":c" : ":f");
    const auto doc = forecasts_.Get(key, [&]() -> Fetched<std::string> {
        Fetched<::Weather> w = Track(provider_.FetchWeather(p, q.units));
        if (!w.ok) return Fetched<std::string>::Failed(w.error);
        return Fetched<std::string>::Good(WeatherDocument(p, w.value, q.units));
    });
    if (doc.source == CacheSource::Failed) return Unavailable();
    return Xml(*doc.value, doc.source);
}

ServiceReply FeedService::Places(const std::string& rawQuery) {
    const PlaceQuery q = ReadPlaceQuery(rawQuery);
    if (q.status != QueryStatus::Ok) return Refused(q.status);
    const std::string text = SearchText(q.text, kMaxSearchBytes);
    // The source matches nothing for fewer than two characters; don't ask.
    if (CodePoints(text) < 2) return Xml(PlaceSearchDocument({}, nowUnix_()), CacheSource::Fresh);

    const auto found = searches_.Get(LowerAscii(text), [&] { return Track(provider_.SearchPlaces(text, kMaxPlaces)); });
    if (found.source == CacheSource::Failed) return Unavailable();
    // The card asks for the weather of a found place next: spare it a lookup.
    if (found.source == CacheSource::Fetched) {
        for (const Place& p : *found.value) places_.Put(std::to_string(p.id), p);
    }
    return Xml(PlaceSearchDocument(*found.value, nowUnix_()), found.source);
}

ServiceReply FeedService::Health() {
    nlohmann::json upstream;
    {
        std::lock_guard<std::mutex> lock(upstreamMutex_);
        const auto now = clock_();
        const auto ago = [&](const auto& t) -> nlohmann::json {
            if (!t) return nullptr;
            return std::chrono::duration_cast<std::chrono::seconds>(now - *t).count();
        };
        std::string state = "unknown";
        if (lastSuccess_ && (!lastFailure_ || *lastSuccess_ >= *lastFailure_)) state = "ok";
        if (lastFailure_ && (!lastSuccess_ || *lastFailure_ > *lastSuccess_)) state = "failing";
        upstream = {{"state", state},
                    {"seconds_since_success", ago(lastSuccess_)},
                    {"seconds_since_failure", ago(lastFailure_)},
                    {"last_error", lastError_}};
    }
    const nlohmann::json body = {
        {"provider", provider_.Name()},
        {"upstream", upstream},
        {"cache",
         {{"forecasts", CountsJson(forecasts_.Counts())},
          {"places", CountsJson(places_.Counts())},
          {"searches", CountsJson(searches_.Counts())}}},
    };
    ServiceReply r;
    r.contentType = "application/json";
    r.body = body.dump(2, ' ', true, nlohmann::json::error_handler_t::replace) + "\n";
    return r;
}
