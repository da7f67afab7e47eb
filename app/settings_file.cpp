#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/file_replace.h"
#include "app/settings.h"

namespace {
// Eight short lines; anything past this is never read.
const std::streamsize kMaxSettingsBytes = 64 * 1024;
}

bool LoadSettingsFile(const std::string& path, AppSettings& s) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        AppSettings first = FirstRunSettings();
        s.StartOnWindows = first.StartOnWindows;
        s.StartInTray = first.StartInTray;
        s.RefreshHours = first.RefreshHours;
        s.WindowLeft = first.WindowLeft;
        s.WindowTop = first.WindowTop;
        s.LocationWoeid = first.LocationWoeid;
        s.UseCelsius = first.UseCelsius;
        s.LocationName = first.LocationName;
        return false;
    }
    std::string text(static_cast<size_t>(kMaxSettingsBytes), '\0');
    in.read(&text[0], kMaxSettingsBytes);
    text.resize(static_cast<size_t>(in.gcount()));
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
