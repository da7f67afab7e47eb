#pragma once
// Places and weather shared by the document tests.
#include <string>

#include "model/weather_model.h"

inline Place SpringfieldIl() {
    Place p;
    p.id = 4250542;
    p.name = "Springfield";
    p.countryCode = "US";
    p.country = "United States";
    p.countryId = 6252001;
    p.admin1 = "Illinois";
    p.admin1Id = 4896861;
    p.admin2 = "Sangamon County";
    p.postcode = "62701";
    p.timezone = "America/Chicago";
    p.latitude = 39.80172;
    p.longitude = -89.64371;
    p.population = 116250;
    return p;
}

// The card's worked example: chill 28, wind 50 deg at 10, Fair 34 at 31,
// then Mon Partly Cloudy 38/25 and Tue Mostly Sunny 41/29 (codes 1 and 2
// become Fair and Partly Cloudy here, as the service words them).
inline Weather ExampleWeather() {
    Weather w;
    w.zoneAbbreviation = "CST";
    w.utcOffsetSeconds = -6 * 3600;
    w.current.localTime = "2026-12-07T09:50";
    w.current.temperature = 31.2;
    w.current.feelsLike = 27.6;
    w.current.windSpeed = 10.4;
    w.current.windDirection = 50;
    w.current.humidity = 81;
    w.current.pressureHpa = 1019.5;
    w.current.visibilityMetres = 16093;
    w.current.wmoCode = 1;
    w.current.isDay = true;
    const char* dates[] = {"2026-12-07", "2026-12-08", "2026-12-09", "2026-12-10", "2026-12-11"};
    const int codes[] = {2, 1, 3, 71, 0};
    const double highs[] = {38.3, 41.0, 35.6, 30.2, 33.0};
    const double lows[] = {25.1, 28.9, 22.0, 19.4, 20.6};
    for (int i = 0; i < 5; ++i) {
        DailyWeather d;
        d.date = dates[i];
        d.wmoCode = codes[i];
        d.high = highs[i];
        d.low = lows[i];
        d.sunrise = std::string(dates[i]) + "T07:08";
        d.sunset = std::string(dates[i]) + "T16:39";
        w.days.push_back(d);
    }
    return w;
}

// Every text at its longest: the layout must still hold.
inline Place LongestPlace() {
    Place p = SpringfieldIl();
    p.id = 9999999999;
    p.name = std::string(200, 'N');
    p.countryCode = "ZZ";
    p.country = std::string(200, 'C');
    p.countryId = 9999999999;
    p.admin1 = std::string(200, 'A');
    p.admin1Id = 9999999999;
    p.admin2 = std::string(200, 'B');
    p.admin2Id = 9999999999;
    p.postcode = std::string(50, '9');
    p.timezone = std::string(100, 'T');
    p.latitude = -89.999999;
    p.longitude = -179.999999;
    p.population = 99999999999;
    return p;
}

inline Weather LongestWeather() {
    Weather w = ExampleWeather();
    w.zoneAbbreviation = std::string(30, 'Z');
    w.utcOffsetSeconds = 10 * 3600 + 1800;  // the longest zone text: "GMT+10:30"
    w.current.temperature = -120.4;
    w.current.feelsLike = -130.4;
    w.current.windSpeed = 333.333;
    w.current.windDirection = 359.6;
    w.current.wmoCode = 86;  // the longest condition text
    for (DailyWeather& d : w.days) {
        d.wmoCode = 86;
        d.high = -110.4;
        d.low = -120.4;
        d.date = "2026-12-10";  // the longest date spelling
    }
    return w;
}

// Reply headers as the service sends them, with the longest values: a
// weather document's (a stale one's, with its Warning), and a place
// search's (no Last-Modified, no Warning).
inline std::string LongestHeaders() {
    return "HTTP/1.1 200 OK\r\n"
           "Cache-Control: public, max-age=86400\r\n"
           "Content-Length: 99999\r\n"
           "Content-Type: text/xml;charset=UTF-8\r\n"
           "Date: Wed, 08 Dec 2026 09:50:01 GMT\r\n"
           "Keep-Alive: timeout=5, max=100\r\n"
           "Last-Modified: Wed, 08 Dec 2026 09:50:01 GMT\r\n"
           "Warning: 110 - \"Response is Stale\"\r\n"
           "X-Cache: failed\r\n\r\n";
}

inline std::string LongestPlaceHeaders() {
    std::string h = LongestHeaders();
    h.erase(h.find("Last-Modified"), 46);
    h.erase(h.find("Warning"), h.find("X-Cache") - h.find("Warning"));  // a place search is never marked stale
    return h;
}
