#pragma once
// The "RC" of a place title: a US state code, else the country code.
#include <string>

// Two-letter postal code of a US state (or DC, PR) from its English name;
// "" when the name is not one.
std::string UsStateCode(const std::string& stateName);

// "IL" for a US place in Illinois, "GB" for a British one, "" when unknown.
std::string RegionCode(const std::string& countryCode, const std::string& admin1);

// True for the postal code of a US state (or DC, PR): "IL", "TX".
bool IsUsStateCode(const std::string& code);
