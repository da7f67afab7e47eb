#include "options/options_choices.h"

#include "app/text_scan.h"

const char* const kRefreshEntries[4] = {"Every Hour", "Every 3 Hrs", "Every 6 Hrs", "Every 12 Hrs"};

namespace {
const int kRefreshHours[4] = {1, 3, 6, 12};
}

int RefreshHoursForEntry(int entry) {
    return entry >= 0 && entry < 4 ? kRefreshHours[entry] : 0;
}

int EntryForRefreshHours(int hours) {
    for (int i = 0; i < 4; ++i)
        if (kRefreshHours[i] == hours) return i;
    return -1;
}

bool IsNoPlaceName(const std::string& name) {
    std::string t = Trim(name);
    return t.empty() || t == "none";
}

OptionsChoices FillOptions(const AppSettings& s) {
    OptionsChoices c;
    c.startOnWindows = s.StartOnWindows != 0 ? 1 : 0;
    c.startInTray = s.StartInTray != 0 ? 1 : 0;
    c.refreshEntry = EntryForRefreshHours(s.RefreshHours);
    c.locationText = s.LocationName;
    c.celsius = s.UseCelsius != 0;
    c.okEnabled = !IsNoPlaceName(s.LocationName);
    return c;
}

void ApplyOptions(const OptionsChoices& c, const std::string& foundWoeid,
                  const std::string& foundName, AppSettings& s) {
    s.StartOnWindows = c.startOnWindows == 1 ? 1 : 0;
    s.StartInTray = c.startInTray == 1 ? 1 : 0;
    int hours = RefreshHoursForEntry(c.refreshEntry);
    if (hours != 0) s.RefreshHours = static_cast<int16_t>(hours);
    s.UseCelsius = c.celsius ? 1 : 0;
    s.LocationName = foundName;
    s.LocationWoeid = foundWoeid;
}

std::string AboutText(const std::string& appVersion) {
    const std::string lines[12] = {
        "Cloudwick " + appVersion,
        "______________",
        "",
        "Enter your location like...",
        "Tokyo, 60610, Eiffel Tower ...",
        "Hit Find (or ENTER key) and Okay ! ",
        "Hover on system tray to quick look temp.",
        "", "", "", "", "",
    };
    std::string text;
    for (int i = 0; i < 12; ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return text;
}
