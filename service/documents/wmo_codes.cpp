#include "documents/wmo_codes.h"

namespace {

struct Row {
    int wmo;
    int dayCode;
    int nightCode;
    const char* dayText;
    const char* nightText;
};

// Wording is kept short: the card's condition label is narrow and the
// forecast line grows taller past 39 characters.
const Row kRows[] = {
    {0, 32, 31, "Sunny", "Clear"},
    {1, 34, 33, "Mostly Sunny", "Mostly Clear"},
    {2, 30, 29, "Partly Cloudy", "Partly Cloudy"},
    {3, 26, 26, "Cloudy", "Cloudy"},
    {45, 20, 20, "Foggy", "Foggy"},
    {48, 20, 20, "Freezing Fog", "Freezing Fog"},
    {51, 9, 9, "Light Drizzle", "Light Drizzle"},
    {53, 9, 9, "Drizzle", "Drizzle"},
    {55, 9, 9, "Heavy Drizzle", "Heavy Drizzle"},
    {56, 8, 8, "Freezing Drizzle", "Freezing Drizzle"},
    {57, 8, 8, "Freezing Drizzle", "Freezing Drizzle"},
    {61, 11, 11, "Light Rain", "Light Rain"},
    {63, 12, 12, "Rain", "Rain"},
    {65, 12, 12, "Heavy Rain", "Heavy Rain"},
    {66, 10, 10, "Freezing Rain", "Freezing Rain"},
    {67, 10, 10, "Freezing Rain", "Freezing Rain"},
    {71, 14, 14, "Light Snow", "Light Snow"},
    {73, 16, 16, "Snow", "Snow"},
    {75, 41, 41, "Heavy Snow", "Heavy Snow"},
    {77, 13, 13, "Snow Grains", "Snow Grains"},
    {80, 40, 40, "Scattered Showers", "Scattered Showers"},
    {81, 11, 11, "Showers", "Showers"},
    {82, 12, 12, "Heavy Showers", "Heavy Showers"},
    {85, 46, 46, "Snow Showers", "Snow Showers"},
    {86, 43, 43, "Heavy Snow Showers", "Heavy Snow Showers"},
    {95, 4, 4, "Thunderstorms", "Thunderstorms"},
    {96, 3, 3, "Thunderstorms, Hail", "Thunderstorms, Hail"},
    {99, 3, 3, "Thunderstorms, Hail", "Thunderstorms, Hail"},
};

}  // namespace

Condition ConditionFromWmo(std::optional<int> wmo, bool isDay) {
    if (!wmo) return {};
    for (const Row& r : kRows) {
        if (r.wmo == *wmo) return isDay ? Condition{r.dayCode, r.dayText} : Condition{r.nightCode, r.nightText};
    }
    return {};
}
