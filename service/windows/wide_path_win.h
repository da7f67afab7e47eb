#pragma once
// The service keeps paths as UTF-8 text and hands them to Windows through
// the wide (W) calls, so a folder named in any language works.
#include <string>

std::wstring WidePath(const std::string& utf8);
std::string Utf8Path(const std::wstring& wide);
// The folder cloudwick-feed.exe runs from, without a trailing backslash.
std::wstring ProgramFolderWide();
