#pragma once
// What a typed place search asks for, and where a qualifier points.
#include <string>

#include "model/weather_model.h"

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
