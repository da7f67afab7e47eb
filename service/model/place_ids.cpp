#include "model/place_ids.h"

OsmRef OsmRefOf(int64_t placeId) {
    const int64_t kind = placeId / kOsmIdBase, osm = placeId % kOsmIdBase;
    if (placeId <= 0 || kind < 1 || kind > 3 || osm == 0) return {};
    return {"NWR"[kind - 1], osm};
}

bool IsOsmPlaceId(int64_t placeId) { return OsmRefOf(placeId).type != 0; }

int64_t OsmPlaceId(char type, int64_t osmId) {
    const int kind = type == 'N' ? 1 : type == 'W' ? 2 : type == 'R' ? 3 : 0;
    if (kind == 0 || osmId <= 0 || osmId >= kOsmIdBase) return 0;
    return kind * kOsmIdBase + osmId;
}
