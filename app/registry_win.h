#pragma once
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <string>

extern const char* const kRunKeyPath;    // "Software\Microsoft\Windows\CurrentVersion\Run"
extern const char* const kRunValueName;  // "Cloudwick"

// Writes `data` as the value; -1 when written, 0 otherwise.
short SetRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                       const std::string& data);
void DeleteRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName);
