#pragma once
// The one record of user choices, card position and window flags, and its
// eight-line settings file "cloudwick.conf".
#include <cstdint>
#include <string>

#include "app/file_io.h"

struct AppSettings {
    int16_t StartOnWindows = 0;
    int16_t StartInTray = 0;
    int16_t RefreshHours = 0;
    // Twips. In memory the card's real place, which on a wide desktop can lie
    // past the 16-bit range; the file holds them clamped into it.
    int32_t WindowLeft = 0;
    int32_t WindowTop = 0;
    std::string LocationWoeid;
    int16_t UseCelsius = 0;
    std::string LocationName;
    int16_t VisibleBeforeOptions = 0;
    int16_t MainVisible = 0;
    std::string AppVersion;
};

// Values used when there is no settings file (or it cannot be read).
AppSettings FirstRunSettings();

// Copies the eight fields the settings file holds, leaving the window flags
// and the version.
void CopyFileFields(AppSettings& s, const AppSettings& from);

const char* const kSettingsFileName = "cloudwick.conf";
const char* const kNoPlaceWoeid = "99999999";

// Reads the settings text into `s`. Lines that are present replace their
// field; missing lines leave their field as it is. A numeric line that is
// empty, not a whole number or outside the 16-bit range gets the first-run
// value of that field. A text that yields no valid value at all (empty,
// blank lines, zero bytes) gives every field its first-run value. A
// RefreshHours below 1 reads as 1. Only the first eight lines are read.
void ParseSettingsText(const std::string& text, AppSettings& s);

// The eight lines, each ended by CR LF; positions clamped into 16 bits and
// control characters written as blanks, so no value can break its line.
std::string FormatSettingsText(const AppSettings& s);

// A position in twips to the nearest whole number, halves to even.
int32_t RoundTwips(double twips);

// The form a settings file came in: the designed ANSI text, or what an
// editor saved it as (Notepad: "UTF-8" with a byte-order mark, "Unicode"
// as UTF-16). Either is read for its eight lines and written back designed.
enum class SettingsForm { Designed, Utf8WithMark, Utf16 };

// The file's bytes as the designed ANSI text: a UTF-8 byte-order mark
// dropped and the UTF-8 after it spelt in the ANSI code page, UTF-16 (little
// or big endian, with its mark, or little endian without one) likewise.
std::string SettingsBytesAsAnsi(const std::string& bytes, SettingsForm& form);

// Loads the file at `path`. When the file is missing or cannot be read,
// the fields get their first-run values; the result tells which.
FileRead LoadSettingsFile(const std::string& path, AppSettings& s, SettingsForm* form = nullptr);

// Writes a new file beside the old one and replaces it in one step, so a
// failed write leaves the previous settings intact; a failure names its cause.
FileWrite SaveSettingsFile(const std::string& path, const AppSettings& s);

// What the user is told when the settings could not be saved to `path`:
// the real cause and what to do about it.
std::string SaveFailureText(FileWrite cause, const std::string& path);

// What the user is told, once, when the settings move out of the exe's
// folder (which cannot be written) to `path` in their own profile.
std::string SettingsMovedText(const std::string& exeFolder, const std::string& path);
