#include "app/registry_win.h"

#include <cstdlib>

namespace {
const DWORD kQueryBufferBytes = 1024;

HKEY RootKey(RunRoot root) { return root == RunRoot::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
}  // namespace

LONG SetRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                      const std::string& data) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS) return result;
    BYTE buffer[kQueryBufferBytes] = {};
    DWORD length = kQueryBufferBytes;
    DWORD type = 0;
    result = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, buffer, &length);
    if (result == ERROR_FILE_NOT_FOUND) type = REG_SZ;
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
        if (type == REG_DWORD) {
            DWORD number = static_cast<DWORD>(std::strtol(data.c_str(), nullptr, 10));
            result = RegSetValueExA(key, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                    sizeof(number));
        } else {
            // Any other type is replaced by the path as a string; the
            // length carries no terminating zero.
            result = RegSetValueExA(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                    static_cast<DWORD>(data.size()));
        }
    }
    RegCloseKey(key);
    return result;
}

LONG DeleteRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;  // no key, no value
    if (result != ERROR_SUCCESS) {
        // Not allowed to change the key: that matters only if the value is there.
        if (RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return result;
        const LONG query = RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return query == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    }
    result = RegDeleteValueA(key, valueName.c_str());
    RegCloseKey(key);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

bool RegistryValueEquals(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                         const std::string& data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char buffer[kQueryBufferBytes] = {};
    DWORD length = kQueryBufferBytes;
    DWORD type = 0;
    const LONG query =
        RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &length);
    RegCloseKey(key);
    if (query != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    std::string text(buffer, length);
    while (!text.empty() && text.back() == '\0') text.pop_back();  // with or without its terminating zero
    return text == data;
}

long Win32RunRegistry::Write(RunRoot root, const std::string& data) {
    return SetRegistryValue(RootKey(root), kRunKeyPath, kRunValueName, data);
}

bool Win32RunRegistry::Holds(RunRoot root, const std::string& data) {
    return RegistryValueEquals(RootKey(root), kRunKeyPath, kRunValueName, data);
}

long Win32RunRegistry::Remove(RunRoot root) {
    return DeleteRegistryValue(RootKey(root), kRunKeyPath, kRunValueName);
}
