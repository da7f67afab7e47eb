#include "upstream/open_meteo_provider.h"

#include <cstdio>

#include "upstream/open_meteo_json.h"
#include "model/url_encoding.h"
#include "documents/sun.h"

namespace {

std::string Failure(const UpstreamReply& r) {
    if (!r.transportOk) return "upstream unreachable: " + r.error;
    std::string why = "upstream HTTP " + std::to_string(r.status);
    const std::string reason = ReadErrorReason(r.body);
    if (!reason.empty()) why += ": " + reason.substr(0, 200);
    return why;
}

template <typename T>
Fetched<T> CallFailed(const UpstreamReply& r) {
    if (r.refused) return Fetched<T>::NotAsked(r.error, r.retryAfter, r.trouble);
    const Trouble t = r.trouble != Trouble::None ? r.trouble : r.transportOk ? Trouble::SourceError : Trouble::Unreachable;
    return Fetched<T>::Failed(Failure(r), r.retryAfter, t);
}

constexpr char kCurrentVariables[] =
    "temperature_2m,apparent_temperature,wind_speed_10m,wind_direction_10m,weather_code,relative_humidity_2m,"
    "pressure_msl";
constexpr char kDailyVariables[] = "weather_code,temperature_2m_max,temperature_2m_min";

constexpr int Count(const char* list) {
    int n = 1;
    for (const char* c = list; *c; ++c) n += *c == ',';
    return n;
}
static_assert(Count(kCurrentVariables) + Count(kDailyVariables) == kForecastVariables,
              "the forecast asks for kForecastVariables variables");

std::string Coordinate(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return buf;
}

}  // namespace

OpenMeteoProvider::OpenMeteoProvider(OpenMeteoConfig config, UpstreamClient& client)
    : config_(std::move(config)),
      client_(client),
      gate_(config_.gate,
            config_.clock ? config_.clock
                          : [] {
                                return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                                                std::chrono::system_clock::now().time_since_epoch())
                                                                .count());
                            },
            config_.memory) {}

UpstreamReply OpenMeteoProvider::Call(const std::string& url, const CallFor& who, int weight) {
    return gate_.Call(client_, url, config_.timeout, weight, who);
}

std::string UrlWith(const std::string& base, const std::string& path, const std::string& params) {
    const std::size_t q = base.find('?');
    if (q == std::string::npos) return base + path + "?" + params;
    const std::string kept = base.substr(q + 1);
    return base.substr(0, q) + path + "?" + params + (kept.empty() ? "" : "&" + kept);
}

std::string ForecastRequestUrl(const std::string& base, const Place& place) {
    return UrlWith(base, "",
                   "latitude=" + Coordinate(place.latitude) + "&longitude=" + Coordinate(place.longitude) +
                       "&current=" + kCurrentVariables + "&daily=" + kDailyVariables +
                       "&timezone=auto&forecast_days=" + std::to_string(kForecastDays));
}

std::string SearchRequestUrl(const std::string& base, const std::string& text, std::size_t count) {
    return UrlWith(base, "/search",
                   "name=" + UrlEncode(text) + "&count=" + std::to_string(count) + "&language=en&format=json");
}

std::string LookupRequestUrl(const std::string& base, int64_t id) {
    return UrlWith(base, "/get", "id=" + std::to_string(id));
}

Fetched<std::optional<Place>> OpenMeteoProvider::LookupPlace(int64_t id, const CallFor& who) {
    const UpstreamReply r = Call(LookupRequestUrl(config_.geocodingUrl, id), who);
    if (r.transportOk && (r.status == 400 || r.status == 404)) {
        // 400 {"reason":"Location ID not found."} is the source's "no such id".
        const std::string reason = ReadErrorReason(r.body);
        if (r.status == 404 || reason.find("not found") != std::string::npos)
            return Fetched<std::optional<Place>>::Good(std::nullopt);
    }
    if (!r.transportOk || r.status != 200) return CallFailed<std::optional<Place>>(r);
    Fetched<Place> p = ReadPlaceJson(r.body);
    if (!p.ok) return Fetched<std::optional<Place>>::Failed(p.error);
    if (p.value.id != id) return Fetched<std::optional<Place>>::Failed("upstream answered for another id");
    return Fetched<std::optional<Place>>::Good(std::move(p.value));
}

Fetched<std::vector<Place>> OpenMeteoProvider::SearchPlaces(const std::string& text, std::size_t count,
                                                            const CallFor& who) {
    const UpstreamReply r = Call(SearchRequestUrl(config_.geocodingUrl, text, count), who);
    if (!r.transportOk || r.status != 200) return CallFailed<std::vector<Place>>(r);
    Fetched<std::vector<Place>> found = ReadSearchJson(r.body);
    if (found.ok && found.value.size() > count) found.value.resize(count);
    return found;
}

Fetched<Weather> OpenMeteoProvider::FetchWeather(const Place& place, const CallFor& who) {
    const UpstreamReply r =
        Call(ForecastRequestUrl(config_.forecastUrl, place), who, CallWeight(kForecastVariables, kForecastDays));
    if (!r.transportOk || r.status != 200) return CallFailed<Weather>(r);
    Fetched<Weather> w = ReadForecastJson(r.body);
    if (w.ok) AddSunTimes(w.value, place.latitude, place.longitude, place.timezone.empty() ? w.value.zoneName : place.timezone);
    return w;
}
