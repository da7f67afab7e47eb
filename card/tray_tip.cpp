#include "card/tray_tip.h"

#include "app/text_scan.h"

const char* const kDesignTitle = "options: Select Location";

std::string TrayTipText(const std::string& title, const std::string& temp,
                        const std::string& appVersion) {
    if (Trim(title) != kDesignTitle) return title + " : " + temp;
    return "Cloudwick " + appVersion;
}

std::array<char, 64> TipField(const std::string& text) {
    std::array<char, 64> field;
    field.fill(' ');
    // The shell reads the tip as a C string: keep room for its terminator.
    size_t n = text.size() < field.size() - 1 ? text.size() : field.size() - 1;
    text.copy(field.data(), n);
    field[n] = '\0';
    return field;
}
