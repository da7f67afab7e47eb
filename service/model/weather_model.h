#pragma once
// Plain data the providers deliver and the document builders read.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/trouble_kinds.h"

enum class Units { Imperial, Metric };

struct Place {
    int64_t id = 0;            // GeoNames id; the card's place id
    std::string name;          // UTF-8 as the source gave it
    std::string countryCode;   // two letters, e.g. "US"
    std::string country;       // full English name
    int64_t countryId = 0;
    std::string admin1;        // state or province name
    int64_t admin1Id = 0;
    std::string admin2;
    int64_t admin2Id = 0;
    std::string postcode;      // first postcode, if any
    std::string timezone;      // e.g. "Europe/London"
    double latitude = 0;
    double longitude = 0;
    int64_t population = 0;
};

// Current conditions. Providers deliver metric values (°C, km/h);
// InUnits (weather_units.h) makes the imperial ones.
struct CurrentWeather {
    std::string localTime;     // "YYYY-MM-DDTHH:MM", local to the place
    double temperature = 0;
    std::optional<double> feelsLike;
    std::optional<double> windSpeed;      // mph or km/h
    std::optional<double> windDirection;  // degrees
    std::optional<double> humidity;       // percent
    std::optional<double> pressureHpa;
    std::optional<double> visibilityMetres;
    std::optional<int> wmoCode;
    bool isDay = true;
};

struct DailyWeather {
    std::string date;          // "YYYY-MM-DD"
    std::optional<int> wmoCode;
    std::optional<double> high;
    std::optional<double> low;
    std::string sunrise;       // "YYYY-MM-DDTHH:MM" or ""
    std::string sunset;
    bool polarNight = false;   // the sun does not rise all day: the night's wording
};

struct Weather {
    std::string zoneAbbreviation;  // e.g. "CET"
    std::string zoneName;          // the IANA zone the source used, e.g. "Europe/Berlin"
    int utcOffsetSeconds = 0;
    CurrentWeather current;
    std::vector<DailyWeather> days;  // today first
};

// Outcome of one call to a data source: `ok` false means the source failed
// (unreachable, rate-limited, overloaded, unreadable answer), not "no match",
// or that this service did not ask it (`asked` false: its own limits said
// no, and the source is not to blame). `trouble` says which, in the terms
// the reply's reason line uses.
template <typename T>
struct Fetched {
    bool ok = false;
    T value{};
    std::string error;  // for the log
    bool asked = true;
    int retryAfter = 0;  // seconds to wait before asking again, when known
    Trouble trouble = Trouble::None;

    static Fetched Good(T v) { return Fetched{true, std::move(v), {}}; }
    static Fetched Failed(std::string why, int retryAfter = 0, Trouble trouble = Trouble::SourceError) {
        Fetched f{false, T{}, std::move(why)};
        f.retryAfter = retryAfter;
        f.trouble = trouble;
        return f;
    }
    static Fetched NotAsked(std::string why, int retryAfter, Trouble trouble) {
        Fetched f = Failed(std::move(why), retryAfter, trouble);
        f.asked = false;
        return f;
    }
    // The same failure, for another kind of value.
    template <typename U>
    static Fetched Like(const Fetched<U>& other) {
        Fetched f = Failed(other.error, other.retryAfter, other.trouble);
        f.asked = other.asked;
        return f;
    }
};
