#pragma once
// The time-zone rules built into cloudwick-feed.exe, which cannot count on
// IANA time-zone files on Windows: the TZif footers of the build machine's
// zoneinfo (service/gen/zone_table.py), about 600 names and 20 KB.
#include <string>

// The POSIX TZ rule of `ianaZone`, "" when the table has no such zone.
std::string BuiltInZoneRule(const std::string& ianaZone);
