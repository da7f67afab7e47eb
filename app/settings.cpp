#include "app/settings.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "app/text_scan.h"

AppSettings FirstRunSettings() {
    AppSettings s;
    s.StartOnWindows = 0;
    s.StartInTray = 0;
    s.RefreshHours = 1;
    s.WindowLeft = 7155;
    s.WindowTop = 3555;
    s.LocationWoeid = kNoPlaceWoeid;
    s.UseCelsius = 0;
    s.LocationName = "none";
    return s;
}

namespace {

// A whole number in the 16-bit range, or the fallback; `valid` is set when
// the text was such a number.
int16_t ToInt16(const std::string& text, int16_t fallback, bool& valid) {
    if (text.empty()) return fallback;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) return fallback;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return fallback;
    if (text.size() - i > 6) return fallback;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < INT16_MIN || v > INT16_MAX) return fallback;
    valid = true;
    return static_cast<int16_t>(v);
}

// A text line counts as a value when it holds something printable and no
// control character (a file of zero bytes, left by a crash, holds none).
bool IsTextValue(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

int16_t ClampInto16(int32_t v) {
    return static_cast<int16_t>(v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v);
}

}  // namespace

void ParseSettingsText(const std::string& text, AppSettings& s) {
    const AppSettings first = FirstRunSettings();
    AppSettings read = s;
    bool anyValue = false;
    size_t pos = 0;
    for (int line = 1; line <= 8 && pos < text.size(); ++line) {
        // A line ends at CR, LF or CR LF.
        size_t end = text.find_first_of("\r\n", pos);
        std::string value = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (end == std::string::npos) {
            pos = text.size();
        } else {
            pos = end + 1;
            if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        }
        value = Trim(value);
        switch (line) {
        case 1: read.StartOnWindows = ToInt16(value, first.StartOnWindows, anyValue); break;
        case 2: read.StartInTray = ToInt16(value, first.StartInTray, anyValue); break;
        case 3: read.RefreshHours = ToInt16(value, first.RefreshHours, anyValue); break;
        case 4: read.WindowLeft = ToInt16(value, static_cast<int16_t>(first.WindowLeft), anyValue); break;
        case 5: read.WindowTop = ToInt16(value, static_cast<int16_t>(first.WindowTop), anyValue); break;
        case 6: read.LocationWoeid = value; anyValue = anyValue || IsTextValue(value); break;
        case 7: read.UseCelsius = ToInt16(value, first.UseCelsius, anyValue); break;
        case 8: read.LocationName = value; anyValue = anyValue || IsTextValue(value); break;
        }
    }
    if (!anyValue) {
        // An empty file, blank lines, zero bytes, noise: nothing in it was
        // meant, and every field takes its first-run value (not the zeros
        // that would put the card at 0,0 with a clock that never fires).
        CopyFileFields(read, first);
    }
    // The clock counts whole hours up to this number: below 1 it would
    // never fire. Other positive numbers (a hand-edited 2) keep working.
    if (read.RefreshHours < 1) read.RefreshHours = 1;
    s = read;
}

std::string FormatSettingsText(const AppSettings& s) {
    std::string out;
    // Every control character of a value is written as a blank, so a text
    // can never break its line and shift the ones after it. A blank keeps
    // words apart ("New\r\nYork" is written "New  York"), and one at either
    // end is trimmed on reading; bytes from 0x80 up are letters and stay.
    auto line = [&out](const std::string& v) {
        for (char c : v) {
            const unsigned char u = static_cast<unsigned char>(c);
            out += (u < 0x20 || u == 0x7F) ? ' ' : c;
        }
        out += "\r\n";
    };
    line(std::to_string(s.StartOnWindows));
    line(std::to_string(s.StartInTray));
    line(std::to_string(s.RefreshHours));
    line(std::to_string(ClampInto16(s.WindowLeft)));
    line(std::to_string(ClampInto16(s.WindowTop)));
    line(s.LocationWoeid);
    line(std::to_string(s.UseCelsius));
    line(s.LocationName);
    return out;
}

int32_t RoundTwips(double twips) {
    if (std::isnan(twips)) return 0;
    if (twips <= INT32_MIN) return INT32_MIN;
    if (twips >= INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(std::nearbyint(twips));  // default rounding: halves to even
}

void CopyFileFields(AppSettings& s, const AppSettings& from) {
    s.StartOnWindows = from.StartOnWindows;
    s.StartInTray = from.StartInTray;
    s.RefreshHours = from.RefreshHours;
    s.WindowLeft = from.WindowLeft;
    s.WindowTop = from.WindowTop;
    s.LocationWoeid = from.LocationWoeid;
    s.UseCelsius = from.UseCelsius;
    s.LocationName = from.LocationName;
}
