// Fuzzes the settings reader: any text must load, and what it loads must
// survive a write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    AppSettings fresh;
    ParseSettingsText(text, fresh);
    AppSettings first = FirstRunSettings();
    ParseSettingsText(text, first);

    for (const AppSettings* s : {&fresh, &first}) {
        const std::string written = FormatSettingsText(*s);
        AppSettings back;
        ParseSettingsText(written, back);
        if (FormatSettingsText(back) != written) __builtin_trap();
        if (back.LocationWoeid != s->LocationWoeid || back.LocationName != s->LocationName)
            __builtin_trap();
    }
    return 0;
}
