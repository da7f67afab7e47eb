#pragma once
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <string>

#include "app/run_value.h"

// Writes `data` as the value; ERROR_SUCCESS, or the error of the step that
// failed (opening the key, reading the value there, writing it).
LONG SetRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                      const std::string& data);
// ERROR_SUCCESS when the value is gone (or was never there), else the error.
LONG DeleteRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName);
// The value is a string holding exactly `data`; reading needs no write access.
bool RegistryValueEquals(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                         const std::string& data);

// The Run value under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
class Win32RunRegistry : public RunRegistry {
public:
    long Write(RunRoot root, const std::string& data) override;
    bool Holds(RunRoot root, const std::string& data) override;
    long Remove(RunRoot root) override;
};
