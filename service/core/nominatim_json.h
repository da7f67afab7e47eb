#pragma once
// Places from OpenStreetMap, as Nominatim's search and lookup give them,
// and the card's place ids for them.
//
// Place ids of OpenStreetMap objects are 1e13 + the node id, 2e13 + the
// way id and 3e13 + the relation id: 14 decimal digits, far above any
// GeoNames id (GeoNames counts from 1 and is near 13 million; its ids fit
// 32 bits), so the two never meet, and the OSM object, and with it the
// same place and name, can be looked up again from the id alone.
#include <cstdint>
#include <string>
#include <vector>

#include "core/weather_model.h"

constexpr int64_t kOsmIdBase = 10000000000000;  // 1e13

// 'N', 'W' or 'R' and the OSM id; 0 when `id` is not an OSM place id.
struct OsmRef {
    char type = 0;
    int64_t id = 0;
};
OsmRef OsmRefOf(int64_t placeId);
bool IsOsmPlaceId(int64_t placeId);
// The place id of an OSM object; 0 when the type or id is out of range.
int64_t OsmPlaceId(char type, int64_t osmId);

// A /search or /lookup reply (format=jsonv2 or json, with addressdetails):
// a list of places. The place's name is the town it lies in ("Paris" for
// the Eiffel Tower, "London" for the postcode SW1A 1AA), else its own.
// Entries without a position, or with an OSM reference that cannot be a
// place id, are skipped; entries without any OSM reference (postcodes
// Nominatim takes from other sources) are kept with id 0.
Fetched<std::vector<Place>> ReadNominatimJson(const std::string& text);
