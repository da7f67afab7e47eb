// Any bytes found in the state folder: a file cut short, damaged, from
// another version or not ours at all. No crash; what is read is a whole
// record (a place with an id and a position on Earth, both documents, a
// budget), and writing it again reads back the same.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "state/state_file.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    for (const char* kind : {"place", "budget", "other"}) {
        if (const auto fields = ReadStateFile(bytes, kind)) {
            Check(bytes.size() <= kMaxStateFile);
            StateFields again(fields->begin(), fields->end());
            const auto back = ReadStateFile(WriteStateFile(kind, again), kind);
            Check(back && *back == *fields);
        }
    }

    if (const auto k = ReadKeptForecast(bytes)) {
        Check(k->place.id > 0 && !k->place.name.empty() && !k->imperial.empty() && !k->metric.empty());
        Check(std::fabs(k->place.latitude) <= 90 && std::fabs(k->place.longitude) <= 180 && k->storedUnix > 0);
        const std::string written = WriteKeptForecast(*k);
        const auto back = ReadKeptForecast(written);
        Check(back && back->place.id == k->place.id && back->place.name == k->place.name &&
              back->imperial == k->imperial && back->metric == k->metric && back->storedUnix == k->storedUnix);
        Check(WriteKeptForecast(*back) == written);
    }

    if (const auto g = ReadGateSnapshot(bytes)) {
        const auto back = ReadGateSnapshot(WriteGateSnapshot(*g));
        Check(back && back->pausedUntil == g->pausedUntil && back->windows.dayUsed == g->windows.dayUsed &&
              back->windows.minute == g->windows.minute);
    }
    return 0;
}
