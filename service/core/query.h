#pragma once
// Reads the query strings of the card's two requests.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/weather_model.h"

// Longer query strings are refused (HTTP 414).
constexpr std::size_t kMaxQueryLength = 2048;

enum class QueryStatus { Ok, Malformed, TooLong };

// Percent-decoding; '+' is a space. False when a '%' is not followed by two
// hex digits.
bool PercentDecode(const std::string& in, std::string& out);

// Percent-decoding that keeps a '%' without two hex digits after it as
// it is; '+' is a space.
std::string LenientPercentDecode(const std::string& in);

// Percent-encodes everything but unreserved characters (RFC 3986).
std::string UrlEncode(const std::string& s);

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

// What a typed place search asks for. People type a qualifier after the
// name with or without a comma ("Paris TX", "Springfield, IL", "London UK",
// "Paris, Texas"), and postcodes ("60610", "SW1A 1AA").
struct SearchTerms {
    std::string name;             // the text without its qualifier
    std::string qualifier;        // "TX", "UK", "Texas"; "" for none
    bool postcode = false;        // the whole text has the form of a postcode
    std::string postcodeCountry;  // "GB", "CA", "NL" when the form tells; else ""
};
SearchTerms ReadSearchTerms(const std::string& cleanText);

// True when `place` lies where `qualifier` says: a US state by its postal
// code or name, a country by its ISO code ("UK" for GB and "USA" for US
// too) or its English name; case does not matter.
bool InQualifier(const Place& place, const std::string& qualifier);

// The ISO country code a qualifier names ("UK" -> "GB"), "" when it is not
// a two-letter code or one of those spellings.
std::string QualifierCountry(const std::string& qualifier);
