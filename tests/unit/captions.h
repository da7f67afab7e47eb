#pragma once
// The text a parse result gives one of the card's fields.
#include <string>

#include "feed/forecast_parser.h"

// The field's caption, or "" when the result does not carry it.
inline std::string CaptionOf(const ForecastResult& r, CardField f) {
    std::string text;
    for (const auto& c : r.captions)
        if (c.first == f) text = c.second;
    return text;
}
