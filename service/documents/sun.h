#pragma once
// Where the sun is, from a place's coordinates and the time: enough to tell
// day from night and to give sunrise and sunset to the minute, so the
// forecast request need not ask the source for them.
#include <cstdint>
#include <optional>
#include <string>

#include "model/weather_model.h"

// The sun's elevation above the horizon in degrees, at `unixSeconds` (UTC),
// seen from `latitude`, `longitude` (degrees, east and north positive).
double SolarElevation(double latitude, double longitude, int64_t unixSeconds);

// True while the sun's upper edge is above the horizon (refraction
// included): the source's own meaning of daylight.
bool IsDaylight(double latitude, double longitude, int64_t unixSeconds);

struct SunTimes {
    std::optional<int64_t> sunrise, sunset;  // UTC seconds; none in polar day or night
    bool polarNight = false;                 // the sun stays below the horizon all day
};

// Sunrise and sunset of the local calendar day `days` (days since
// 1970-01-01 in the place's local time) at a place whose clocks run
// `utcOffsetSeconds` ahead of UTC.
SunTimes SunTimesOn(double latitude, double longitude, int64_t days, int utcOffsetSeconds);

// Fills each day's sunrise and sunset ("YYYY-MM-DDTHH:MM", local; "" in
// polar day or night), whether it is a polar night, and whether it is
// daylight now, from the place's position and the dates the weather
// carries. Each day's times use the offset in force on that day by the
// rules of `zone` (the place's IANA zone), as long as those rules agree
// with the reply's offset at the current time; else the reply's offset.
void AddSunTimes(Weather& weather, double latitude, double longitude, const std::string& zone = "");
