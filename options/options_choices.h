#pragma once
// What the options dialog shows and what "Okay" stores, apart from the
// controls themselves.
#include <cstdint>
#include <string>

#include "app/settings.h"

struct OptionsChoices {
    int startOnWindows = 0;  // check box: 1 checked, 0 unchecked
    int startInTray = 0;
    int refreshEntry = -1;   // 0..3, -1 when nothing is selected
    bool celsius = false;
    std::string locationText;  // shown in the status line
    bool okEnabled = false;
};

extern const char* const kRefreshEntries[4];
int RefreshHoursForEntry(int entry);  // 1, 3, 6, 12; 0 for none
int EntryForRefreshHours(int hours);  // -1 when not one of the four

// "none", "" or blanks around "none" mean no place is chosen.
bool IsNoPlaceName(const std::string& name);

OptionsChoices FillOptions(const AppSettings& s);

// Copies the choices into the settings; the registry is the caller's.
void ApplyOptions(const OptionsChoices& c, const std::string& foundWoeid,
                  const std::string& foundName, AppSettings& s);

// The twelve-line about text.
std::string AboutText(const std::string& appVersion);
