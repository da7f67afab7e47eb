#include "app/settings.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <utility>

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

void PutUnit(std::string& out, uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

// UTF-8 as UTF-16 little endian; a byte that starts no valid sequence
// stands for one unknown character.
std::string Utf8ToUtf16(const std::string& text, size_t from) {
    std::string out;
    size_t i = from;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t code = extra == 0 ? c : extra == 1 ? (c & 0x1Fu) : extra == 2 ? (c & 0x0Fu) : (c & 0x07u);
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char t = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((t & 0xC0) != 0x80) ok = false;
            code = (code << 6) | (t & 0x3Fu);
        }
        if (ok && (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) ok = false;
        if (!ok) {
            PutUnit(out, 0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            PutUnit(out, 0xD800 + (code >> 10));
            PutUnit(out, 0xDC00 + (code & 0x3FF));
        } else {
            PutUnit(out, code);
        }
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

// UTF-16 from `from` on, as little endian.
std::string Utf16LittleEndian(const std::string& bytes, size_t from, bool bigEndian) {
    std::string out = bytes.substr(from < bytes.size() ? from : bytes.size());
    if (bigEndian)
        for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    return out;
}

int16_t ClampInto16(int32_t v) {
    return static_cast<int16_t>(v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v);
}

}  // namespace

std::string SettingsBytesAsAnsi(const std::string& bytes, SettingsForm& form) {
    const auto at = [&bytes](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        form = SettingsForm::Utf8WithMark;
        return UnicodeToAnsi(Utf8ToUtf16(bytes, 3));
    }
    if ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF)) {
        form = SettingsForm::Utf16;
        return UnicodeToAnsi(Utf16LittleEndian(bytes, 2, at(0) == 0xFE));
    }
    // The designed file begins with a digit; its second byte is never zero.
    // A first character followed by a zero byte is UTF-16 without its mark.
    if (at(0) != 0 && at(0) < 0x80 && at(1) == 0) {
        form = SettingsForm::Utf16;
        return UnicodeToAnsi(Utf16LittleEndian(bytes, 0, false));
    }
    form = SettingsForm::Designed;
    return bytes;
}

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
