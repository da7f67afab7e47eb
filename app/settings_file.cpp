#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/file_replace.h"
#include "app/settings.h"

namespace {
// Eight short lines; anything past this is never read.
const std::streamsize kMaxSettingsBytes = 64 * 1024;

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

bool LoadSettingsFile(const std::string& path, AppSettings& s) {
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<size_t>(kMaxSettingsBytes), '\0');
    if (in) in.read(&text[0], kMaxSettingsBytes);
    // A folder opens but cannot be read: that is an unreadable file too.
    if (!in && !in.eof()) {
        SetFileFields(s, FirstRunSettings());
        return false;
    }
    text.resize(static_cast<size_t>(in.gcount()));
    // Lines the file lacks keep the program's start values, not earlier ones.
    SetFileFields(s, AppSettings{});
    ParseSettingsText(text, s);
    return true;
}

bool SaveSettingsFile(const std::string& path, const AppSettings& s) {
    const std::string temp = path + ".new";
    const std::string text = FormatSettingsText(s);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (!ReplaceFileAtomically(temp, path)) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
