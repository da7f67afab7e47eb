#include "upstream/sample_provider.h"

#include <cctype>

#include "model/feed_dates.h"
#include "model/ascii.h"

namespace {

// Weather of one sample place, in metric units (the service converts for imperial).
struct SampleWeather {
    int utcOffsetSeconds;
    const char* zone;
    double temperature, feelsLike, windKmh, windDirection, humidity, pressureHpa, visibilityMetres;
    int wmo;
    int dailyWmo[5];
    double highs[5], lows[5];
    const char* sunrise;  // local clock times, "HH:MM"
    const char* sunset;
};

struct SampleEntry {
    Place place;
    SampleWeather weather;
};

Place MakePlace(int64_t id, const char* name, const char* cc, const char* country, int64_t countryId,
                const char* admin1, int64_t admin1Id, const char* admin2, const char* postcode, const char* tz,
                double lat, double lon, int64_t population) {
    Place p;
    p.id = id;
    p.name = name;
    p.countryCode = cc;
    p.country = country;
    p.countryId = countryId;
    p.admin1 = admin1;
    p.admin1Id = admin1Id;
    p.admin2 = admin2;
    p.postcode = postcode;
    p.timezone = tz;
    p.latitude = lat;
    p.longitude = lon;
    p.population = population;
    return p;
}

const std::vector<SampleEntry>& Entries() {
    static const std::vector<SampleEntry> entries = {
        {MakePlace(4250542, "Springfield", "US", "United States", 6252001, "Illinois", 4896861, "Sangamon County",
                   "62701", "America/Chicago", 39.80172, -89.64371, 116250),
         {-6 * 3600, "CST", -1.4, -5.2, 16.1, 250, 78, 1021.3, 16093, 2, {2, 71, 3, 0, 1},
          {3.3, 0.6, 2.2, 4.4, 6.1}, {-3.9, -6.1, -4.4, -2.8, -1.1}, "07:08", "16:39"}},
        {MakePlace(4409896, "Springfield", "US", "United States", 6252001, "Missouri", 4398678, "Greene County",
                   "65801", "America/Chicago", 37.21533, -93.29824, 166810),
         {-6 * 3600, "CST", 4.2, 1.9, 11.3, 190, 64, 1018.0, 16093, 1, {1, 2, 61, 80, 3},
          {9.4, 8.3, 6.7, 5.0, 7.2}, {-1.7, 0.6, 2.2, -0.6, -2.2}, "07:12", "17:02"}},
        {MakePlace(2643743, "London", "GB", "United Kingdom", 2635167, "England", 6269131, "Greater London",
                   "EC1A", "Europe/London", 51.50853, -0.12574, 8961989),
         {0, "GMT", 8.6, 6.1, 19.8, 230, 87, 1004.6, 9000, 61, {61, 80, 3, 53, 2},
          {10.1, 9.2, 8.0, 7.4, 8.8}, {5.3, 4.1, 3.9, 2.6, 4.0}, "07:54", "15:51"}},
        {MakePlace(2950159, "Berlin", "DE", "Germany", 2921044, "Land Berlin", 2950157, "", "10115",
                   "Europe/Berlin", 52.52437, 13.41053, 3426354),
         {3600, "CET", -2.7, -7.4, 14.5, 80, 91, 1012.2, 3500, 73, {73, 85, 71, 3, 45},
          {-0.5, -1.2, 0.3, 1.8, 2.0}, {-5.1, -6.8, -4.0, -3.2, -1.5}, "08:06", "15:53"}},
        {MakePlace(1850147, "Tokyo", "JP", "Japan", 1861060, "Tokyo", 1850144, "", "", "Asia/Tokyo", 35.6895,
                   139.69171, 9733276),
         {9 * 3600, "JST", 9.8, 8.1, 7.2, 340, 55, 1020.1, 24000, 0, {0, 1, 2, 95, 63},
          {13.2, 12.8, 11.5, 10.9, 12.1}, {4.6, 5.0, 6.2, 7.1, 5.5}, "06:39", "16:28"}},
        {MakePlace(2147714, "Sydney", "AU", "Australia", 2077456, "New South Wales", 2155400, "Sydney", "2000",
                   "Australia/Sydney", -33.86785, 151.20732, 4627345),
         {11 * 3600, "AEDT", 27.4, 29.0, 22.5, 45, 62, 1009.8, 20000, 95, {96, 95, 80, 2, 0},
          {31.0, 29.4, 26.1, 25.3, 27.0}, {20.2, 19.8, 18.5, 17.9, 19.0}, "05:37", "19:58"}},
    };
    return entries;
}

const SampleEntry* Find(int64_t id) {
    for (const SampleEntry& e : Entries()) {
        if (e.place.id == id) return &e;
    }
    return nullptr;
}


}  // namespace

const std::vector<Place>& SamplePlaces() {
    static const std::vector<Place> places = [] {
        std::vector<Place> v;
        for (const SampleEntry& e : Entries()) v.push_back(e.place);
        return v;
    }();
    return places;
}

SampleProvider::SampleProvider(std::function<int64_t()> nowUnix) : nowUnix_(std::move(nowUnix)) {}

Fetched<std::optional<Place>> SampleProvider::LookupPlace(int64_t id, const CallFor&) {
    const SampleEntry* e = Find(id);
    return Fetched<std::optional<Place>>::Good(e ? std::optional<Place>(e->place) : std::nullopt);
}

Fetched<std::vector<Place>> SampleProvider::SearchPlaces(const std::string& text, std::size_t count, const CallFor&) {
    // A match is a place whose name starts with the text, ignoring case; a
    // trailing ", region" part of the text is ignored ("Springfield, IL").
    std::string want = AsciiLower(text.substr(0, text.find(',')));
    while (!want.empty() && want.back() == ' ') want.pop_back();
    std::vector<Place> found;
    if (want.empty()) return Fetched<std::vector<Place>>::Good(found);
    for (const SampleEntry& e : Entries()) {
        if (found.size() < count && AsciiLower(e.place.name).rfind(want, 0) == 0) found.push_back(e.place);
    }
    return Fetched<std::vector<Place>>::Good(found);
}

Fetched<Weather> SampleProvider::FetchWeather(const Place& place, const CallFor&) {
    const SampleEntry* e = Find(place.id);
    if (!e) return Fetched<Weather>::Failed("no sample weather for this place");
    const SampleWeather& s = e->weather;
    const auto temp = [](double c) { return c; };

    Weather w;
    w.zoneAbbreviation = s.zone;
    w.utcOffsetSeconds = s.utcOffsetSeconds;
    const LocalDateTime now = FromUnix(nowUnix_(), s.utcOffsetSeconds);
    w.current.localTime = IsoLocal(now);
    w.current.temperature = temp(s.temperature);
    w.current.feelsLike = temp(s.feelsLike);
    w.current.windSpeed = s.windKmh;
    w.current.windDirection = s.windDirection;
    w.current.humidity = s.humidity;
    w.current.pressureHpa = s.pressureHpa;
    w.current.visibilityMetres = s.visibilityMetres;
    w.current.wmoCode = s.wmo;
    const int minutes = now.hour * 60 + now.minute;
    const auto minutesOf = [](const char* hhmm) { return ((hhmm[0] - '0') * 10 + hhmm[1] - '0') * 60 + (hhmm[3] - '0') * 10 + hhmm[4] - '0'; };
    w.current.isDay = minutes >= minutesOf(s.sunrise) && minutes < minutesOf(s.sunset);
    for (int i = 0; i < 5; ++i) {
        const LocalDateTime day = AddDays(now, i);
        DailyWeather d;
        d.date = IsoLocal(day).substr(0, 10);
        d.wmoCode = s.dailyWmo[i];
        d.high = temp(s.highs[i]);
        d.low = temp(s.lows[i]);
        d.sunrise = d.date + "T" + s.sunrise;
        d.sunset = d.date + "T" + s.sunset;
        w.days.push_back(d);
    }
    return Fetched<Weather>::Good(w);
}
