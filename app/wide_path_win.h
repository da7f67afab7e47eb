#pragma once
// Paths through Windows' wide (UTF-16) calls. Inside the program a path is
// UTF-8 text, so a folder named in any script ("Погода", "天气", "Łukasz")
// survives every step exactly; the ANSI calls would turn each letter the
// code page lacks into '?'. Window texts and the settings file's contents
// stay in the ANSI code page.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <string>

// UTF-8 text as a wide string for one call: WideText(path).c_str().
class WideText {
public:
    explicit WideText(const std::string& utf8);
    ~WideText() { delete[] text_; }
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    const wchar_t* c_str() const { return text_; }
    int size() const { return size_; }  // characters, without the terminating zero

private:
    wchar_t* text_;
    int size_ = 0;
};

// Wide text (`count` characters, or up to its zero when -1) as UTF-8.
std::string Utf8FromWide(const wchar_t* text, int count = -1);

// The running exe's full path and its folder (no trailing backslash), read
// with GetModuleFileNameW; empty when Windows does not say. For a wide call
// (CreateProcessW, CreateFileW): WideText(ExeFolder()).c_str().
std::string ExePath();
std::string ExeFolder();

// The user's roaming and local application data folders (%APPDATA%,
// %LOCALAPPDATA%), no trailing backslash; empty when unknown.
std::string AppDataFolder();
std::string LocalAppDataFolder();

// Creates `folder` (the one above it exists); true when it exists.
bool MakeFolder(const std::string& folder);
