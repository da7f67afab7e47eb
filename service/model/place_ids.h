#pragma once
// The card's place ids: GeoNames ids as they are, and OpenStreetMap objects.
//
// Place ids of OpenStreetMap objects are 1e13 + the node id, 2e13 + the
// way id and 3e13 + the relation id: 14 decimal digits, far above any
// GeoNames id (GeoNames counts from 1 and is near 13 million; its ids fit
// 32 bits), so the two never meet, and the OSM object, and with it the
// same place and name, can be looked up again from the id alone.
#include <cstdint>

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
