#pragma once
// Maps WMO weather codes (as Open-Meteo reports them) to the feed's
// condition codes and wording.
#include <optional>
#include <string>

struct Condition {
    int code = 3200;                  // feed condition code, 3200 = not available
    std::string text = "Not Available";
};

// `isDay` picks the day or night variant where the feed has both.
// A missing or unknown WMO code gives 3200 "Not Available".
Condition ConditionFromWmo(std::optional<int> wmo, bool isDay);
