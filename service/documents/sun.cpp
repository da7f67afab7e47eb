#include "documents/sun.h"

#include <cmath>

#include "model/feed_dates.h"
#include "documents/zone_rules.h"

// The sun's position by the low-precision formulas of the Astronomical
// Almanac (good to about 0.01 degree from 1950 to 2050): ample for times to
// the minute.
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
// Sunrise and sunset: the upper limb on the horizon, with refraction.
constexpr double kHorizon = -0.833;

double Wrap360(double deg) {
    deg = std::fmod(deg, 360.0);
    return deg < 0 ? deg + 360.0 : deg;
}

struct SunPosition {
    double declination;     // degrees
    double equationOfTime;  // minutes: apparent minus mean solar time
};

SunPosition PositionAt(int64_t unixSeconds) {
    const double n = static_cast<double>(unixSeconds) / 86400.0 - 10957.5;  // days from J2000.0
    const double meanLongitude = Wrap360(280.460 + 0.9856474 * n);
    const double meanAnomaly = Wrap360(357.528 + 0.9856003 * n) * kRad;
    const double eclipticLongitude =
        (meanLongitude + 1.915 * std::sin(meanAnomaly) + 0.020 * std::sin(2 * meanAnomaly)) * kRad;
    const double obliquity = (23.439 - 0.0000004 * n) * kRad;
    const double rightAscension =
        std::atan2(std::cos(obliquity) * std::sin(eclipticLongitude), std::cos(eclipticLongitude)) / kRad;
    double difference = meanLongitude - Wrap360(rightAscension);
    if (difference > 180) difference -= 360;
    if (difference < -180) difference += 360;
    return {std::asin(std::sin(obliquity) * std::sin(eclipticLongitude)) / kRad, 4.0 * difference};
}

// Minutes from solar noon to the moment the sun stands at kHorizon, or
// nothing when it stays above (polar day: +1) or below (polar night: -1).
std::optional<double> HalfDayMinutes(double latitude, double declination, int& polar) {
    const double phi = latitude * kRad, delta = declination * kRad;
    const double cosH = (std::sin(kHorizon * kRad) - std::sin(phi) * std::sin(delta)) / (std::cos(phi) * std::cos(delta));
    if (cosH < -1) polar = 1;
    if (cosH > 1) polar = -1;
    if (cosH < -1 || cosH > 1) return std::nullopt;
    return std::acos(cosH) / kRad * 4.0;
}

// The UTC moment of sunrise (sign -1) or sunset (+1), refined once with
// the sun's position at the first estimate.
std::optional<int64_t> Crossing(double latitude, double longitude, int64_t midnightUtc, int sign) {
    double estimate = static_cast<double>(midnightUtc) + (720.0 - 4.0 * longitude) * 60.0;  // mean noon
    for (int pass = 0; pass < 3; ++pass) {
        const SunPosition s = PositionAt(static_cast<int64_t>(estimate));
        int polar = 0;
        const auto half = HalfDayMinutes(latitude, s.declination, polar);
        if (!half) return std::nullopt;
        const double noon = static_cast<double>(midnightUtc) + (720.0 - 4.0 * longitude - s.equationOfTime) * 60.0;
        estimate = noon + sign * *half * 60.0;
    }
    return static_cast<int64_t>(std::floor(estimate + 0.5));
}

std::string LocalMinute(int64_t unixSeconds, int offset) {
    // Rounded to the nearest minute, as sunrise tables are.
    return IsoLocal(FromUnix(unixSeconds + 30, offset));
}

}  // namespace

double SolarElevation(double latitude, double longitude, int64_t unixSeconds) {
    const SunPosition s = PositionAt(unixSeconds);
    const double utcMinutes = static_cast<double>(((unixSeconds % 86400) + 86400) % 86400) / 60.0;
    const double hourAngle = (utcMinutes + s.equationOfTime + 4.0 * longitude) / 4.0 - 180.0;
    const double phi = latitude * kRad, delta = s.declination * kRad;
    const double sinAlt =
        std::sin(phi) * std::sin(delta) + std::cos(phi) * std::cos(delta) * std::cos(hourAngle * kRad);
    return std::asin(std::fmax(-1.0, std::fmin(1.0, sinAlt))) / kRad;
}

bool IsDaylight(double latitude, double longitude, int64_t unixSeconds) {
    return SolarElevation(latitude, longitude, unixSeconds) > kHorizon;
}

SunTimes SunTimesOn(double latitude, double longitude, int64_t days, int utcOffsetSeconds) {
    // The place's local day, in UTC; the sun's noon there is near
    // 12:00 mean solar time whatever the zone.
    const int64_t localMidnight = days * 86400;
    // The solar day that holds local noon: the zone may be far from the
    // place's meridian.
    const int64_t solarMidnight =
        (localMidnight + 43200 - utcOffsetSeconds + static_cast<int64_t>(longitude * 240.0)) / 86400 * 86400;
    SunTimes t;
    t.sunrise = Crossing(latitude, longitude, solarMidnight, -1);
    t.sunset = Crossing(latitude, longitude, solarMidnight, +1);
    if (!t.sunrise && !t.sunset) {
        int polar = 0;
        HalfDayMinutes(latitude, PositionAt(solarMidnight + 43200).declination, polar);
        t.polarNight = polar < 0;
    }
    return t;
}

void AddSunTimes(Weather& w, double latitude, double longitude, const std::string& zone) {
    const int offset = w.utcOffsetSeconds;
    const auto now = ReadIsoLocal(w.current.localTime);
    // The zone's rules, when they agree with the reply at the current time.
    std::optional<ZoneRule> rule;
    if (now && IsZoneName(zone)) rule = ReadZoneRule(SystemZoneRule(zone));
    if (rule && ZoneAt(*rule, UnixFromLocal(*now) - offset).offsetSeconds != offset) rule.reset();
    const auto offsetAt = [&](int64_t unixSeconds) { return rule ? ZoneAt(*rule, unixSeconds).offsetSeconds : offset; };
    for (DailyWeather& d : w.days) {
        d.sunrise.clear();
        d.sunset.clear();
        d.polarNight = false;
        const auto date = ReadIsoLocal(d.date);
        if (!date) continue;
        // The day's offset at its local noon finds the day; each time is
        // then written with the offset in force at that moment.
        const int64_t noon = UnixFromLocal(*date) + 43200;
        const int dayOffset = offsetAt(noon - offset);
        const SunTimes t = SunTimesOn(latitude, longitude, UnixFromLocal(*date) / 86400, dayOffset);
        if (t.sunrise) d.sunrise = LocalMinute(*t.sunrise, offsetAt(*t.sunrise));
        if (t.sunset) d.sunset = LocalMinute(*t.sunset, offsetAt(*t.sunset));
        d.polarNight = t.polarNight;
    }
    if (now) w.current.isDay = IsDaylight(latitude, longitude, UnixFromLocal(*now) - offset);
}
