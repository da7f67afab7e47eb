// What the core asks of Linux about names and time zones: ICU from
// Debian's libicu, and the footers of the system's TZif files.
#include <unicode/utrans.h>

#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "documents/icu_transliterator.h"
#include "documents/card_text.h"
#include "documents/zone_rules.h"

namespace {

IcuTransliterationApi LinkedIcu() {
    IcuTransliterationApi api;
    api.open = [](const char16_t* id, int32_t idLength, int direction, const char16_t* rules, int32_t rulesLength,
                  void*, int* status) -> void* {
        UErrorCode s = U_ZERO_ERROR;
        UTransliterator* t = utrans_openU(id, idLength, static_cast<UTransDirection>(direction), rules, rulesLength,
                                          nullptr, &s);
        *status = s;
        return t;
    };
    api.transliterate = [](const void* trans, char16_t* text, int32_t* textLength, int32_t textCapacity,
                           int32_t start, int32_t* limit, int* status) {
        UErrorCode s = U_ZERO_ERROR;
        utrans_transUChars(static_cast<const UTransliterator*>(trans), text, textLength, textCapacity, start, limit,
                           &s);
        *status = s;
    };
    api.close = [](void* trans) { utrans_close(static_cast<UTransliterator*>(trans)); };
    return api;
}

// The last line of a TZif file of version 2 or later; "" for anything else.
std::string TzifFooter(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return "";
    std::string data;
    data.reserve(4096);
    char buf[4096];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) {
        data.append(buf, static_cast<std::size_t>(f.gcount()));
        if (data.size() > (1 << 20)) return "";
    }
    if (data.size() < 8 || data.compare(0, 4, "TZif") != 0 || data[4] < '2' || data.back() != '\n') return "";
    const std::size_t start = data.rfind('\n', data.size() - 2);
    if (start == std::string::npos) return "";
    return data.substr(start + 1, data.size() - start - 2);
}

}  // namespace

std::string SystemLatinAscii(const std::string& utf8) {
    static IcuTransliterator icu(LinkedIcu());
    return icu.ToLatinAscii(utf8);
}

std::string SystemZoneRule(const std::string& ianaZone) {
    if (!IsZoneName(ianaZone)) return "";
    // A zone's rule is read once; the data changes only with a tzdata
    // update, which a restart picks up. Unknown names are remembered too,
    // up to a bound, so odd names cannot make the map grow without end.
    static std::mutex mutex;
    static std::map<std::string, std::string> known;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = known.find(ianaZone);
        if (it != known.end()) return it->second;
    }
    const std::string rule = TzifFooter("/usr/share/zoneinfo/" + ianaZone);
    std::lock_guard<std::mutex> lock(mutex);
    if (known.size() < 2000) known.emplace(ianaZone, rule);
    return rule;
}
