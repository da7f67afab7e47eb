#include "feed/feed_service.h"

#include <algorithm>
#include <cctype>

#include <nlohmann/json.hpp>

#include "documents/feed_document.h"
#include "documents/place_document.h"
#include "documents/card_text.h"
#include "http/request_query.h"
#include "documents/weather_units.h"
#include "model/ascii.h"

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

// A document that never changes: cached by anyone for a day.
ServiceReply Constant(std::string body) {
    ServiceReply r;
    r.body = std::move(body);
    r.cache = CacheSourceName(CacheSource::Fresh);
    r.maxAge = 86400;
    return r;
}

std::size_t CodePoints(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

nlohmann::json CountsJson(const CacheCounts& c) {
    return {{"entries", c.entries}, {"hits", c.fresh},   {"fetched", c.fetched},          {"stale_served", c.stale},
            {"failed", c.failed},   {"coalesced", c.coalesced}, {"source_calls", c.sourceCalls}};
}

// The gate in front of the source: calls in flight and waiting, the pause
// after a refusal, and the budget's use against its limits, in calls.
nlohmann::json GateJson(const std::optional<UpstreamGate::State>& g) {
    if (!g) return nullptr;
    const auto calls = [](int64_t thousandths) { return static_cast<double>(thousandths) / kOneCall; };
    return {{"in_flight", g->inFlight},
            {"waiting", g->waiting},
            {"paused_for_seconds", g->pausedFor},
            {"calls_used", {{"minute", calls(g->used.minute)}, {"hour", calls(g->used.hour)}, {"day", calls(g->used.day)}}},
            {"calls_allowed",
             {{"minute", g->limits.perMinute}, {"hour", g->limits.perHour}, {"day", g->limits.perDay}}},
            {"new_places_share_percent", g->limits.newShare}};
}

}  // namespace

FeedService::FeedService(Provider& provider, ServiceRules rules, CacheClock clock, std::function<int64_t()> nowUnix,
                         StateStore* state)
    : provider_(provider),
      clock_(clock),
      nowUnix_(std::move(nowUnix)),
      places_(rules.places, clock, nowUnix_),
      searches_(rules.searches, clock, nowUnix_),
      forecasts_(rules.forecasts, clock, nowUnix_,
                 [](const ForecastDocuments&, int64_t storedUnix) {
                     return std::chrono::seconds((storedUnix / kForecastStepSeconds + 1) * kForecastStepSeconds -
                                                 storedUnix);
                 }),
      clients_(rules.clients, clock),
      state_(state && state->Keeps() ? state : nullptr) {}

template <typename T, typename Call>
Fetched<T> FeedService::Asking(const std::string& client, Call call) {
    int wait = 0;
    if (!client.empty() && !clients_.TryTake(client, wait))
        return Fetched<T>::NotAsked("this client's allowance of requests that need the source is used up", wait,
                                    Trouble::ClientAllowance);
    return Track(call());
}

template <typename T>
ServiceReply FeedService::Stamped(std::string body, const typename Cache<T>::Answer& a) {
    ServiceReply r;
    r.body = std::move(body);
    r.cache = CacheSourceName(a.source);
    r.date = nowUnix_();
    r.lastModified = a.storedUnix;
    // Until the document runs out here; a stale one is not to be kept.
    // Never longer than the value's own freshness, whatever the clock did.
    const int64_t left = std::min(a.freshUntilUnix - r.date, a.freshUntilUnix - a.storedUnix);
    r.maxAge = a.source == CacheSource::Stale ? 0 : static_cast<int>(std::max<int64_t>(0, left));
    if (a.source == CacheSource::Stale) r.reason = a.error;
    return r;
}

// The reply when there is nothing to give: its first line is the short
// reason the card shows, its Retry-After the time the line names.
template <typename T>
ServiceReply FeedService::Unavailable(const typename Cache<T>::Answer& a) {
    const Trouble t = a.trouble == Trouble::None ? Trouble::SourceError : a.trouble;
    const int wait = std::max(1, a.retryAfter);
    ServiceReply r = Text(TroubleStatus(t), TroubleLine(t, wait) + "\n" + TroubleDetail(t));
    r.date = nowUnix_();
    r.retryAfter = wait;
    r.reason = a.error;
    return r;
}

void FeedService::RestoreKept(int64_t id) {
    if (!state_) return;
    {
        std::lock_guard<std::mutex> lock(restoredMutex_);
        if (restored_.size() >= 100000) restored_.clear();
        if (!restored_.insert(id).second) return;
    }
    const std::string key = std::to_string(id);
    if (forecasts_.Holds(key)) return;
    std::optional<KeptForecast> kept = state_->LoadForecast(id);
    if (!kept) return;
    // The place is as good as new; the forecast is as old as it is.
    places_.Restore(key, std::optional<Place>(kept->place), nowUnix_());
    forecasts_.Restore(key, ForecastDocuments{std::move(kept->imperial), std::move(kept->metric)}, kept->storedUnix);
}

template <typename T>
Fetched<T> FeedService::Track(Fetched<T> f) {
    if (!f.asked) return f;  // a refusal of our own says nothing about the source
    std::lock_guard<std::mutex> lock(upstreamMutex_);
    if (f.ok) {
        lastSuccess_ = clock_();
    } else {
        lastFailure_ = clock_();
        lastError_ = f.error;
    }
    return f;
}

ServiceReply FeedService::Weather(const std::string& rawQuery, const std::string& client) {
    const ForecastQuery q = ReadForecastQuery(rawQuery);
    if (q.status != QueryStatus::Ok) return Refused(q.status);
    if (!q.validId) return Constant(NotFoundDocument());

    const std::string key = std::to_string(q.id);
    RestoreKept(q.id);
    // A place with a forecast cached (even a stale one) is in use: its
    // calls go before new places' and may use the budget kept for that.
    const CallFor who{forecasts_.Holds(key) ? CallPurpose::Refresh : CallPurpose::New, client};
    const auto place = places_.Get(key, [&] {
        return Asking<std::optional<Place>>(client, [&] { return provider_.LookupPlace(q.id, who); });
    });
    if (place.source == CacheSource::Failed) return Unavailable<std::optional<Place>>(place);
    if (!*place.value) return Stamped<std::optional<Place>>(NotFoundDocument(), place);
    const Place& p = **place.value;
    // One forecast serves both units.
    const auto docs = forecasts_.Get(key, [&]() -> Fetched<ForecastDocuments> {
        Fetched<::Weather> w = Asking<::Weather>(client, [&] { return provider_.FetchWeather(p, who); });
        if (!w.ok) return Fetched<ForecastDocuments>::Like(w);
        ForecastDocuments d{WeatherDocument(p, InUnits(w.value, Units::Imperial), Units::Imperial),
                            WeatherDocument(p, w.value, Units::Metric)};
        if (state_) state_->SaveForecast({p, nowUnix_(), d.imperial, d.metric});
        return Fetched<ForecastDocuments>::Good(std::move(d));
    });
    if (docs.source == CacheSource::Failed) return Unavailable<ForecastDocuments>(docs);
    // A kept forecast served on a later day starts its lines at that day;
    // past its last kept days it is not served.
    std::optional<std::string> body = DocumentServedAt(
        q.units == Units::Metric ? docs.value->metric : docs.value->imperial, docs.storedUnix, nowUnix_());
    if (!body) {
        auto gone = docs;
        if (gone.error.empty()) gone.error = "the kept forecast does not reach today";
        return Unavailable<ForecastDocuments>(gone);
    }
    ServiceReply r = Stamped<ForecastDocuments>(std::move(*body), docs);
    r.stale = docs.source == CacheSource::Stale;
    // The place's lookup runs out too (once a day): until then only.
    r.memoryFor = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(r.maxAge, place.freshUntilUnix - r.date)));
    return r;
}

ServiceReply FeedService::Places(const std::string& rawQuery, const std::string& client) {
    const PlaceQuery q = ReadPlaceQuery(rawQuery);
    if (q.status != QueryStatus::Ok) return Refused(q.status);
    const std::string text = SearchText(q.text, kMaxSearchBytes);
    // The source matches nothing for fewer than two characters; don't ask.
    if (CodePoints(text) < 2) return Constant(PlaceSearchDocument({}, nowUnix_()));

    const auto found = searches_.Get(AsciiLower(text), [&] {
        return Asking<std::vector<Place>>(client,
                                          [&] { return provider_.SearchPlaces(text, kMaxPlaces, {CallPurpose::New, client}); });
    });
    if (found.source == CacheSource::Failed) return Unavailable<std::vector<Place>>(found);
    // The card asks for the weather of a found place next: spare it a lookup.
    if (found.source == CacheSource::Fetched) {
        for (const Place& p : *found.value) places_.Put(std::to_string(p.id), p);
    }
    ServiceReply r = Stamped<std::vector<Place>>(PlaceSearchDocument(*found.value, nowUnix_()), found);
    // The document is dated afresh for every reply (yahoo:created), so it
    // has no Last-Modified; and the card reads its first place from the
    // first 1000 bytes, headers included, where the room is short.
    r.lastModified = 0;
    return r;
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
        {"gate", GateJson(provider_.GateState())},
        {"state_folder", state_ ? nlohmann::json(state_->Folder()) : nlohmann::json(nullptr)},
        {"cache",
         {{"forecasts", CountsJson(forecasts_.Counts())},
          {"places", CountsJson(places_.Counts())},
          {"searches", CountsJson(searches_.Counts())}}},
    };
    ServiceReply r;
    r.contentType = "application/json";
    r.body = body.dump(2, ' ', true, nlohmann::json::error_handler_t::replace) + "\n";
    r.date = nowUnix_();
    return r;
}
