// Fuzzes the settings reader and writer: any bytes must load, in any form an
// editor may leave (a UTF-8 byte-order mark, UTF-16 of either order); what is
// written is always eight lines in the designed form with no other control
// character inside them; and after one write and read, later ones change
// nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/settings.h"

namespace {
bool EightPlainLines(const std::string& text) {
    int lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') return false;
            ++lines;
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return lines == 8 && text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

bool HasControl(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    SettingsForm form = SettingsForm::Designed;
    const std::string text = SettingsBytesAsAnsi(bytes, form);
    // Only an editor's form is changed, and the designed file is read as it is.
    if (form == SettingsForm::Designed && text != bytes) __builtin_trap();
    AppSettings fresh;
    ParseSettingsText(text, fresh);
    AppSettings first = FirstRunSettings();
    ParseSettingsText(text, first);

    for (const AppSettings* s : {&fresh, &first}) {
        if (s->RefreshHours < 1) __builtin_trap();  // the refresh clock always fires
        const std::string written = FormatSettingsText(*s);
        if (!EightPlainLines(written)) __builtin_trap();
        // What the card writes is always read back in the designed form.
        SettingsForm back_form = SettingsForm::Utf16;
        if (SettingsBytesAsAnsi(written, back_form) != written || back_form != SettingsForm::Designed)
            __builtin_trap();
        AppSettings back;
        ParseSettingsText(written, back);
        // Texts without control characters come back exactly.
        if (!HasControl(s->LocationWoeid) && back.LocationWoeid != s->LocationWoeid) __builtin_trap();
        if (!HasControl(s->LocationName) && back.LocationName != s->LocationName) __builtin_trap();
        const std::string again = FormatSettingsText(back);
        AppSettings back2;
        ParseSettingsText(again, back2);
        if (FormatSettingsText(back2) != again) __builtin_trap();
    }
    return 0;
}
