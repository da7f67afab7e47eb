#pragma once
// The tray icon's tooltip rules.
#include <array>
#include <string>

extern const char* const kDesignTitle;  // "options: Select Location"

// Title + " : " + temperature once a place has been shown, else
// "Cloudwick " + version.
std::string TrayTipText(const std::string& title, const std::string& temp,
                        const std::string& appVersion);

// The 64-character tip field: the text cut to 63 characters, always
// NUL-terminated, the rest filled with spaces.
std::array<char, 64> TipField(const std::string& text);
