#pragma once
// Reads the query strings of the card's two requests.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/weather_model.h"

// Longer query strings are refused (HTTP 414).
constexpr std::size_t kMaxQueryLength = 2048;

enum class QueryStatus { Ok, Malformed, TooLong };

struct QueryParams {
    QueryStatus status = QueryStatus::Ok;
    std::vector<std::pair<std::string, std::string>> params;  // decoded, in order
};
QueryParams ParseQuery(const std::string& raw);

// "/forecastrss?w=<id>[&u=c]".
struct ForecastQuery {
    QueryStatus status = QueryStatus::Ok;
    bool validId = false;  // w is a decimal id (1 to 10 digits, not 0)
    int64_t id = 0;
    Units units = Units::Imperial;
};
ForecastQuery ReadForecastQuery(const std::string& raw);

// "/v1/public/yql?q=select * from geo.places where text = '<text>'", with
// the text in single quotes (as the card sends it) or double quotes. The
// card puts the typed text into the query unencoded apart from spaces, so
// the q value runs to the end of the query string and the text to the last
// matching quote: apostrophes and ampersands in the text survive, and so
// do a '%' that starts no escape and a '#'. A text whose closing quote is
// missing runs to the end.
struct PlaceQuery {
    QueryStatus status = QueryStatus::Ok;
    std::string text;  // decoded bytes, not yet cleaned
};
PlaceQuery ReadPlaceQuery(const std::string& raw);
