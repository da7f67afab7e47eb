#include "core/open_meteo_provider.h"

#include <cstdio>

#include "core/open_meteo_json.h"
#include "core/query.h"

namespace {

std::string Failure(const UpstreamReply& r) {
    if (!r.transportOk) return "upstream unreachable: " + r.error;
    std::string why = "upstream HTTP " + std::to_string(r.status);
    const std::string reason = ReadErrorReason(r.body);
    if (!reason.empty()) why += ": " + reason.substr(0, 200);
    return why;
}

std::string Coordinate(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return buf;
}

}  // namespace

OpenMeteoProvider::OpenMeteoProvider(OpenMeteoConfig config, UpstreamClient& client)
    : config_(std::move(config)),
      client_(client),
      budget_(config_.limits, config_.clock ? config_.clock : [] {
          return static_cast<int64_t>(
              std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                  .count());
      }) {}

UpstreamReply OpenMeteoProvider::Call(const std::string& url) {
    if (!budget_.TryTake()) {
        UpstreamReply r;
        r.error = "this service's own limit of upstream calls is used up for now";
        return r;
    }
    return client_.Get(url, config_.timeout);
}

std::string ForecastRequestUrl(const std::string& base, const Place& place, Units units) {
    const bool metric = units == Units::Metric;
    return base + "?latitude=" + Coordinate(place.latitude) + "&longitude=" + Coordinate(place.longitude) +
           "&current=temperature_2m,apparent_temperature,wind_speed_10m,wind_direction_10m,weather_code,is_day,"
           "relative_humidity_2m,pressure_msl,visibility"
           "&daily=weather_code,temperature_2m_max,temperature_2m_min,sunrise,sunset"
           "&temperature_unit=" + (metric ? "celsius" : "fahrenheit") +
           "&wind_speed_unit=" + (metric ? "kmh" : "mph") + "&timezone=auto&forecast_days=5";
}

std::string SearchRequestUrl(const std::string& base, const std::string& text, std::size_t count) {
    return base + "/search?name=" + UrlEncode(text) + "&count=" + std::to_string(count) + "&language=en&format=json";
}

std::string LookupRequestUrl(const std::string& base, int64_t id) {
    return base + "/get?id=" + std::to_string(id);
}

Fetched<std::optional<Place>> OpenMeteoProvider::LookupPlace(int64_t id) {
    const UpstreamReply r = Call(LookupRequestUrl(config_.geocodingUrl, id));
    if (r.transportOk && (r.status == 400 || r.status == 404)) {
        // 400 {"reason":"Location ID not found."} is the source's "no such id".
        const std::string reason = ReadErrorReason(r.body);
        if (r.status == 404 || reason.find("not found") != std::string::npos)
            return Fetched<std::optional<Place>>::Good(std::nullopt);
    }
    if (!r.transportOk || r.status != 200) return Fetched<std::optional<Place>>::Failed(Failure(r));
    Fetched<Place> p = ReadPlaceJson(r.body);
    if (!p.ok) return Fetched<std::optional<Place>>::Failed(p.error);
    if (p.value.id != id) return Fetched<std::optional<Place>>::Failed("upstream answered for another id");
    return Fetched<std::optional<Place>>::Good(std::move(p.value));
}

Fetched<std::vector<Place>> OpenMeteoProvider::SearchPlaces(const std::string& text, std::size_t count) {
    const UpstreamReply r = Call(SearchRequestUrl(config_.geocodingUrl, text, count));
    if (!r.transportOk || r.status != 200) return Fetched<std::vector<Place>>::Failed(Failure(r));
    Fetched<std::vector<Place>> found = ReadSearchJson(r.body);
    if (found.ok && found.value.size() > count) found.value.resize(count);
    return found;
}

Fetched<Weather> OpenMeteoProvider::FetchWeather(const Place& place, Units units) {
    const UpstreamReply r = Call(ForecastRequestUrl(config_.forecastUrl, place, units));
    if (!r.transportOk || r.status != 200) return Fetched<Weather>::Failed(Failure(r));
    return ReadForecastJson(r.body);
}
