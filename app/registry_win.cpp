#include "app/registry_win.h"

#include <cstdlib>

const char* const kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunValueName = "Cloudwick";

namespace {
const DWORD kQueryBufferBytes = 1024;
}

short SetRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                       const std::string& data) {
    HKEY key = nullptr;
    short result = 0;
    if (RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        BYTE buffer[kQueryBufferBytes] = {};
        DWORD length = kQueryBufferBytes;
        DWORD type = 0;
        LONG query = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, buffer, &length);
        if (query == ERROR_FILE_NOT_FOUND) type = REG_SZ;
        if (query == ERROR_SUCCESS || query == ERROR_FILE_NOT_FOUND) {
            LONG set;
            if (type == REG_DWORD) {
                DWORD number = static_cast<DWORD>(std::strtol(data.c_str(), nullptr, 10));
                set = RegSetValueExA(key, valueName.c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&number), sizeof(number));
            } else {
                // Any other type is replaced by the path as a string; the
                // length carries no terminating zero.
                set = RegSetValueExA(key, valueName.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(data.c_str()),
                                     static_cast<DWORD>(data.size()));
            }
            if (set == ERROR_SUCCESS) result = -1;
        }
        RegCloseKey(key);
    }
    return result;
}

void DeleteRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, valueName.c_str());
    RegCloseKey(key);
}
