#include "upstream/open_meteo_json.h"

#include "model/place_ids.h"

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

std::optional<double> Number(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
}

std::optional<double> NumberAt(const json& obj, const char* key, std::size_t i) {
    const auto it = obj.find(key);
    if (it == obj.end() || !it->is_array() || i >= it->size() || !(*it)[i].is_number()) return std::nullopt;
    return (*it)[i].get<double>();
}

std::string TextAt(const json& obj, const char* key, std::size_t i) {
    const auto it = obj.find(key);
    if (it == obj.end() || !it->is_array() || i >= it->size() || !(*it)[i].is_string()) return "";
    return (*it)[i].get<std::string>();
}

std::string Text(const json& obj, const char* key) {
    const auto it = obj.find(key);
    return it != obj.end() && it->is_string() ? it->get<std::string>() : "";
}

int64_t Integer(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end() || !it->is_number_integer()) return 0;
    return it->get<int64_t>();
}

// A value outside what the weather can be is a fault of the reply; it is
// dropped rather than written into the card's fixed-size layout.
std::optional<double> Within(std::optional<double> v, double lo, double hi) {
    if (!v || !(*v >= lo && *v <= hi)) return std::nullopt;
    return v;
}

constexpr double kMinTemp = -150, kMaxTemp = 150;  // in either unit

std::optional<int> Code(const std::optional<double>& v) {
    if (!v || *v < 0 || *v > 1000) return std::nullopt;
    return static_cast<int>(*v);
}

Fetched<Place> PlaceFrom(const json& r) {
    if (!r.is_object()) return Fetched<Place>::Failed("place is not an object");
    Place p;
    p.id = Integer(r, "id");
    p.name = Text(r, "name");
    const auto lat = Number(r, "latitude");
    const auto lon = Number(r, "longitude");
    if (p.id <= 0 || p.name.empty() || !lat || !lon) return Fetched<Place>::Failed("place lacks id, name or position");
    // GeoNames ids; from 1e13 on an id would stand for an OpenStreetMap place.
    if (p.id >= kOsmIdBase) return Fetched<Place>::Failed("place id out of range");
    if (!(*lat >= -90 && *lat <= 90 && *lon >= -180 && *lon <= 180))
        return Fetched<Place>::Failed("place position out of range");
    p.latitude = *lat;
    p.longitude = *lon;
    p.countryCode = Text(r, "country_code");
    p.country = Text(r, "country");
    p.countryId = Integer(r, "country_id");
    p.admin1 = Text(r, "admin1");
    p.admin1Id = Integer(r, "admin1_id");
    p.admin2 = Text(r, "admin2");
    p.admin2Id = Integer(r, "admin2_id");
    p.timezone = Text(r, "timezone");
    p.population = Integer(r, "population");
    const auto pc = r.find("postcodes");
    if (pc != r.end() && pc->is_array() && !pc->empty() && pc->front().is_string()) p.postcode = pc->front();
    return Fetched<Place>::Good(p);
}

}  // namespace

Fetched<Weather> ReadForecastJson(const std::string& text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return Fetched<Weather>::Failed("forecast reply is not JSON");
    const auto cur = doc.find("current");
    const auto daily = doc.find("daily");
    if (cur == doc.end() || !cur->is_object() || daily == doc.end() || !daily->is_object())
        return Fetched<Weather>::Failed("forecast reply lacks current or daily data");

    Weather w;
    w.zoneAbbreviation = Text(doc, "timezone_abbreviation");
    w.utcOffsetSeconds = static_cast<int>(Integer(doc, "utc_offset_seconds"));
    w.zoneName = Text(doc, "timezone");
    CurrentWeather& c = w.current;
    c.localTime = Text(*cur, "time");
    const auto temp = Within(Number(*cur, "temperature_2m"), kMinTemp, kMaxTemp);
    if (c.localTime.empty() || !temp) return Fetched<Weather>::Failed("forecast reply lacks the current temperature");
    c.temperature = *temp;
    c.feelsLike = Within(Number(*cur, "apparent_temperature"), kMinTemp, kMaxTemp);
    c.windSpeed = Within(Number(*cur, "wind_speed_10m"), 0, 1000);
    c.windDirection = Within(Number(*cur, "wind_direction_10m"), 0, 360);
    c.humidity = Within(Number(*cur, "relative_humidity_2m"), 0, 100);
    c.pressureHpa = Within(Number(*cur, "pressure_msl"), 100, 2000);
    c.visibilityMetres = Within(Number(*cur, "visibility"), 0, 1e6);
    const auto units = doc.find("current_units");
    if (c.visibilityMetres && units != doc.end() && units->is_object() && Text(*units, "visibility") == "ft")
        *c.visibilityMetres *= 0.3048;
    c.wmoCode = Code(Number(*cur, "weather_code"));
    c.isDay = Number(*cur, "is_day").value_or(1) != 0;

    const auto times = daily->find("time");
    if (times == daily->end() || !times->is_array()) return Fetched<Weather>::Failed("forecast reply lacks days");
    for (std::size_t i = 0; i < times->size() && i < 16; ++i) {
        DailyWeather d;
        d.date = TextAt(*daily, "time", i);
        d.wmoCode = Code(NumberAt(*daily, "weather_code", i));
        d.high = Within(NumberAt(*daily, "temperature_2m_max", i), kMinTemp, kMaxTemp);
        d.low = Within(NumberAt(*daily, "temperature_2m_min", i), kMinTemp, kMaxTemp);
        d.sunrise = TextAt(*daily, "sunrise", i);
        d.sunset = TextAt(*daily, "sunset", i);
        w.days.push_back(d);
    }
    // The card shows two forecast days.
    if (w.days.size() < 2) return Fetched<Weather>::Failed("forecast reply has fewer than two days");
    return Fetched<Weather>::Good(w);
}

Fetched<std::vector<Place>> ReadSearchJson(const std::string& text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return Fetched<std::vector<Place>>::Failed("search reply is not JSON");
    std::vector<Place> places;
    const auto results = doc.find("results");
    if (results == doc.end()) return Fetched<std::vector<Place>>::Good(places);
    if (!results->is_array()) return Fetched<std::vector<Place>>::Failed("search results are not a list");
    for (const json& r : *results) {
        Fetched<Place> p = PlaceFrom(r);
        if (p.ok) places.push_back(std::move(p.value));  // an unreadable entry is skipped, not fatal
    }
    return Fetched<std::vector<Place>>::Good(places);
}

Fetched<Place> ReadPlaceJson(const std::string& text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded()) return Fetched<Place>::Failed("place reply is not JSON");
    return PlaceFrom(doc);
}

std::string ReadErrorReason(const std::string& text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return "";
    return Text(doc, "reason");
}
