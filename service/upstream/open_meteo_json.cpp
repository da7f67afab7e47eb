#include "upstream/open_meteo_json.h"

#include "model/feed_dates.h"
#include "model/place_ids.h"

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

std::optional<double> Number(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
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

// A reply the service cannot read for sure is refused as a whole (the card
// keeps what it showed), never written into a document half-understood.
struct Refusal {
    std::string why;
};

// A value as the reply gives it: null is a missing value; any other
// non-number is a reply this reader does not understand.
std::optional<double> Value(const json& v, const char* what) {
    if (v.is_null()) return std::nullopt;
    if (!v.is_number()) throw Refusal{std::string(what) + " is not a number"};
    return v.get<double>();
}

std::optional<double> ValueOf(const json& obj, const char* key) {
    const auto it = obj.find(key);
    return it == obj.end() ? std::nullopt : Value(*it, key);
}

// One unit conversion to the metric values the documents are built from.
struct Conversion {
    double scale = 1, shift = 0;
    double operator()(double v) const { return v * scale + shift; }
};

// The unit `key` is given in, from the reply's own "*_units" object; a
// variable it does not name is in the unit the request fixed (the source's
// defaults, which the request keeps: °C, km/h, metres). A unit this
// reader does not know is a refusal.
Conversion UnitOf(const json& doc, const char* unitsKey, const char* key) {
    struct Known {
        const char* text;
        Conversion to;
    };
    static const Known kTemperature[] = {{"\xC2\xB0" "C", {1, 0}}, {"\xC2\xB0" "F", {5.0 / 9.0, -32 * 5.0 / 9.0}}};
    static const Known kSpeed[] = {{"km/h", {1, 0}}, {"mp/h", {1.609344, 0}}, {"mph", {1.609344, 0}},
                                   {"m/s", {3.6, 0}}, {"kn", {1.852, 0}}};
    static const Known kDegrees[] = {{"\xC2\xB0", {1, 0}}};
    static const Known kPercent[] = {{"%", {1, 0}}};
    static const Known kPressure[] = {{"hPa", {1, 0}}};
    static const Known kLength[] = {{"m", {1, 0}}, {"ft", {0.3048, 0}}};
    static const Known kCode[] = {{"wmo code", {1, 0}}};
    const std::string k = key;
    const auto pick = [&](const auto& table) -> Conversion {
        const auto units = doc.find(unitsKey);
        if (units == doc.end()) return {};
        if (!units->is_object()) throw Refusal{std::string(unitsKey) + " is not an object"};
        const auto it = units->find(key);
        if (it == units->end()) return {};
        if (it->is_string()) {
            for (const Known& u : table)
                if (*it == u.text) return u.to;
        }
        throw Refusal{std::string("unknown unit for ") + key};
    };
    if (k.rfind("temperature", 0) == 0 || k == "apparent_temperature") return pick(kTemperature);
    if (k == "wind_speed_10m") return pick(kSpeed);
    if (k == "wind_direction_10m") return pick(kDegrees);
    if (k == "relative_humidity_2m") return pick(kPercent);
    if (k == "pressure_msl") return pick(kPressure);
    if (k == "visibility") return pick(kLength);
    return pick(kCode);
}

// The physical records (air -89.2 and +56.7 °C; the strongest gust
// measured 408 km/h) with a margin; anything beyond is a fault of the reply.
struct Range {
    double lo, hi;
};
constexpr Range kAir{-95, 60};
// Open-Meteo's apparent temperature adds humidity and wind to the air's.
constexpr Range kApparent{-150, 130};
constexpr Range kWind{0, 420};
constexpr Range kDirection{0, 360};
constexpr Range kHumidity{0, 100};
constexpr Range kPressureHpa{800, 1100};
constexpr Range kVisibility{0, 1e6};

std::optional<double> Checked(std::optional<double> v, const Conversion& unit, Range r, const char* what) {
    if (!v) return v;
    const double metric = unit(*v);
    if (!(metric >= r.lo && metric <= r.hi)) throw Refusal{std::string(what) + " out of range"};
    return metric;
}

// WMO 4677 present-weather codes: whole numbers 0 to 99.
std::optional<int> Code(const std::optional<double>& v) {
    if (!v) return std::nullopt;
    if (!(*v >= 0 && *v <= 99) || *v != static_cast<double>(static_cast<int>(*v)))
        throw Refusal{"weather code is not a WMO code"};
    return static_cast<int>(*v);
}

bool TwoDigits(const std::string& s, std::size_t at, int& out) {
    if (at + 2 > s.size() || s[at] < '0' || s[at] > '9' || s[at + 1] < '0' || s[at + 1] > '9') return false;
    out = (s[at] - '0') * 10 + (s[at + 1] - '0');
    return true;
}

}  // namespace

std::optional<LocalDateTime> ReadReplyTime(const std::string& text, int utcOffsetSeconds) {
    if (text.size() < 16) return std::nullopt;
    const auto t = ReadIsoLocal(text.substr(0, 16));
    if (!t || t->hour > 23 || t->minute > 59) return std::nullopt;
    std::size_t i = 16;
    int seconds = 0;
    if (i < text.size() && text[i] == ':') {
        if (!TwoDigits(text, i + 1, seconds) || seconds > 59) return std::nullopt;
        i += 3;
    }
    if (i == text.size()) return t;
    int zone = 0;
    if (text[i] == 'Z') {
        ++i;
    } else if (text[i] == '+' || text[i] == '-') {
        const int sign = text[i] == '-' ? -1 : 1;
        int hours = 0, minutes = 0;
        if (!TwoDigits(text, i + 1, hours)) return std::nullopt;
        i += 3;
        if (i < text.size() && text[i] == ':') ++i;
        if (i < text.size() && !TwoDigits(text, i, minutes)) return std::nullopt;
        if (i < text.size()) i += 2;
        if (hours > 18 || minutes > 59) return std::nullopt;
        zone = sign * (hours * 3600 + minutes * 60);
    } else {
        return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    // A time with a zone names a moment: the place's clock at that moment.
    return FromUnix(UnixFromLocal(*t) - zone, utcOffsetSeconds);
}

namespace {

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

Weather ReadForecast(const json& doc, const json& cur, const json& daily) {
    Weather w;
    w.zoneAbbreviation = Text(doc, "timezone_abbreviation");
    w.zoneName = Text(doc, "timezone");
    // The place's offset from UTC, whole seconds within what any zone uses:
    // without it every time of the reply is unknown.
    const auto offset = doc.find("utc_offset_seconds");
    if (offset == doc.end() || !offset->is_number()) throw Refusal{"no UTC offset"};
    const double seconds = offset->get<double>();
    if (!(seconds >= -18 * 3600 && seconds <= 18 * 3600) || seconds != static_cast<double>(static_cast<int>(seconds)))
        throw Refusal{"UTC offset is not a whole number of seconds within 18 hours"};
    w.utcOffsetSeconds = static_cast<int>(seconds);

    CurrentWeather& c = w.current;
    const auto time = cur.find("time");
    const auto now =
        time != cur.end() && time->is_string() ? ReadReplyTime(time->get<std::string>(), w.utcOffsetSeconds) : std::nullopt;
    if (!now) throw Refusal{"current time is not a local date and time"};
    c.localTime = IsoLocal(*now);
    const auto current = [&](const char* key, Range r) {
        return Checked(ValueOf(cur, key), UnitOf(doc, "current_units", key), r, key);
    };
    const auto temp = current("temperature_2m", kAir);
    if (!temp) throw Refusal{"no current temperature"};
    c.temperature = *temp;
    c.feelsLike = current("apparent_temperature", kApparent);
    c.windSpeed = current("wind_speed_10m", kWind);
    c.windDirection = current("wind_direction_10m", kDirection);
    c.humidity = current("relative_humidity_2m", kHumidity);
    c.pressureHpa = current("pressure_msl", kPressureHpa);
    c.visibilityMetres = current("visibility", kVisibility);
    UnitOf(doc, "current_units", "weather_code");
    c.wmoCode = Code(ValueOf(cur, "weather_code"));
    c.isDay = Number(cur, "is_day").value_or(1) != 0;

    const auto times = daily.find("time");
    if (times == daily.end() || !times->is_array()) throw Refusal{"no days"};
    const std::size_t count = times->size();
    // Every list has a value for each day; the days follow one another.
    const auto list = [&](const char* key) -> const json* {
        const auto it = daily.find(key);
        if (it == daily.end()) return nullptr;
        if (!it->is_array() || it->size() != count) throw Refusal{std::string("daily ") + key + " does not match the days"};
        return &*it;
    };
    const json* codes = list("weather_code");
    const json* highs = list("temperature_2m_max");
    const json* lows = list("temperature_2m_min");
    const json* sunrises = list("sunrise");
    const json* sunsets = list("sunset");
    UnitOf(doc, "daily_units", "weather_code");
    const Conversion highUnit = UnitOf(doc, "daily_units", "temperature_2m_max");
    const Conversion lowUnit = UnitOf(doc, "daily_units", "temperature_2m_min");
    const auto at = [](const json* l, std::size_t i) -> const json& {
        static const json kNull;
        return l ? (*l)[i] : kNull;
    };
    const auto textAt = [&](const json* l, std::size_t i) {
        const json& v = at(l, i);
        return v.is_string() ? v.get<std::string>() : std::string();
    };
    // The days start at the place's date of the current values: a reply
    // that starts earlier has the past days dropped; one that starts later
    // or skips a day is refused.
    const int64_t today = UnixFromLocal(LocalDateTime{now->year, now->month, now->day}) / 86400;
    int64_t first = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const json& t = (*times)[i];
        const std::string text = t.is_string() ? t.get<std::string>() : std::string();
        const auto date = text.size() == 10 ? ReadIsoLocal(text) : std::nullopt;
        if (!date) throw Refusal{"a day's date is not a date"};
        const int64_t day = UnixFromLocal(*date) / 86400;
        if (i == 0) first = day;
        if (day != first + static_cast<int64_t>(i)) throw Refusal{"days do not follow one another"};
        if (day < today) continue;
        if (w.days.size() >= 16) continue;
        DailyWeather d;
        d.date = text;
        d.wmoCode = Code(Value(at(codes, i), "weather_code"));
        d.high = Checked(Value(at(highs, i), "temperature_2m_max"), highUnit, kAir, "temperature_2m_max");
        d.low = Checked(Value(at(lows, i), "temperature_2m_min"), lowUnit, kAir, "temperature_2m_min");
        d.sunrise = textAt(sunrises, i);
        d.sunset = textAt(sunsets, i);
        w.days.push_back(d);
    }
    if (count > 0 && first > today) throw Refusal{"days start after the current date"};
    // The card shows two forecast days.
    if (w.days.size() < 2) throw Refusal{"fewer than two days from the current date"};
    return w;
}

}  // namespace

Fetched<Weather> ReadForecastJson(const std::string& text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return Fetched<Weather>::Failed("forecast reply is not JSON");
    const auto cur = doc.find("current");
    const auto daily = doc.find("daily");
    if (cur == doc.end() || !cur->is_object() || daily == doc.end() || !daily->is_object())
        return Fetched<Weather>::Failed("forecast reply lacks current or daily data");
    try {
        Weather w = ReadForecast(doc, *cur, *daily);
        return Fetched<Weather>::Good(std::move(w));
    } catch (const Refusal& r) {
        return Fetched<Weather>::Failed("forecast reply: " + r.why);
    }
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
