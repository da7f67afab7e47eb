// What the core asks of Windows about names and time zones. Windows 10
// 1903 and later ship ICU as icu.dll (1703 to 1809 as icuin.dll), loaded
// here at run time so the program still starts on Windows 7; without it
// the built-in table stands in. Time zones come from the table made from
// the build machine's zoneinfo: Windows has no IANA time-zone files.
#include <windows.h>

#include <string>

#include "documents/icu_transliterator.h"
#include "documents/card_text.h"
#include "documents/script_fallback.h"
#include "documents/zone_rules.h"
#include "documents/zone_table.h"

namespace {

// Windows' own ICU from the system folder only, never a DLL of that name
// beside the program or on the PATH.
HMODULE LoadSystemIcu() {
    char dir[MAX_PATH] = "";
    const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    for (const char* name : {"\\icu.dll", "\\icuin.dll"}) {
        if (HMODULE m = LoadLibraryExA((std::string(dir) + name).c_str(), nullptr, 0)) return m;
    }
    return nullptr;
}

template <typename F>
void Bind(HMODULE m, const char* name, F& f) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

IcuTransliterationApi SystemIcu() {
    IcuTransliterationApi api{};
    HMODULE m = LoadSystemIcu();
    if (!m) return api;
    Bind(m, "utrans_openU", api.open);
    Bind(m, "utrans_transUChars", api.transliterate);
    Bind(m, "utrans_close", api.close);
    return api;
}

}  // namespace

std::string SystemLatinAscii(const std::string& utf8) {
    static IcuTransliterator icu(SystemIcu());
    return icu.Ready() ? icu.ToLatinAscii(utf8) : FallbackLatinAscii(utf8);
}

std::string SystemZoneRule(const std::string& ianaZone) { return BuiltInZoneRule(ianaZone); }
