#include "documents/zone_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct ZoneEntry {
    const char* name;
    int rule;  // index into kZoneRules
};

#include "zone_table.inc"

}  // namespace

std::string BuiltInZoneRule(const std::string& ianaZone) {
    const auto it = std::lower_bound(std::begin(kZones), std::end(kZones), ianaZone,
                                     [](const ZoneEntry& e, const std::string& n) { return std::strcmp(e.name, n.c_str()) < 0; });
    if (it == std::end(kZones) || ianaZone != it->name) return "";
    return kZoneRules[it->rule];
}
