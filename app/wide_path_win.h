#pragma once
// Paths through Windows' wide (UTF-16) calls. Inside the program a path is
// UTF-8 text, so a folder named in any script ("Погода", "天气", "Łukasz")
// survives every step exactly; the ANSI calls would turn each letter the
// code page lacks into '?'. Window texts and the settings file's contents
// stay in the ANSI code page.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The running exe's full path and its folder (no trailing backslash), wide;
// empty when Windows does not say.
std::wstring ExePathW();
std::wstring ExeFolderW();

// The user's roaming and local application data folders (%APPDATA%,
// %LOCALAPPDATA%), wide, no trailing backslash; empty when unknown.
std::wstring AppDataFolderW();
std::wstring LocalAppDataFolderW();

// Creates `folder` and any missing folders above it; true when it exists.
bool MakeFolders(const std::wstring& folder);
