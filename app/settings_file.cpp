#include "app/file_io.h"
#include "app/settings.h"

namespace {
// Eight short lines; anything past this is never read.
const size_t kMaxSettingsBytes = 64 * 1024;

// Copies the eight fields the file holds, leaving the window flags and the version.
void SetFileFields(AppSettings& s, const AppSettings& from) {
    s.StartOnWindows = from.StartOnWindows;
    s.StartInTray = from.StartInTray;
    s.RefreshHours = from.RefreshHours;
    s.WindowLeft = from.WindowLeft;
    s.WindowTop = from.WindowTop;
    s.LocationWoeid = from.LocationWoeid;
    s.UseCelsius = from.UseCelsius;
    s.LocationName = from.LocationName;
}
}  // namespace

FileRead LoadSettingsFile(const std::string& path, AppSettings& s) {
    std::string text;
    const FileRead read = ReadFileStart(path, kMaxSettingsBytes, text);
    if (read != FileRead::Read) {
        SetFileFields(s, FirstRunSettings());
        return read;
    }
    // Lines the file lacks keep the program's start values, not earlier ones.
    SetFileFields(s, AppSettings{});
    ParseSettingsText(text, s);
    return read;
}

bool SaveSettingsFile(const std::string& path, const AppSettings& s) {
    return ReplaceFileWith(path, FormatSettingsText(s));
}
