#include "app/registry_win.h"

#include "app/wide_path_win.h"

namespace {
const DWORD kQueryBufferBytes = 1024;

HKEY RootKey(RunRoot root) { return root == RunRoot::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
}  // namespace

LONG SetRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                      const std::string& data) {
    // Only the rights the job needs: an account may be allowed to set
    // values under the key without holding every right on it.
    // Wide throughout: the data is the exe's path, which may be in any script.
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(rootKey, WideText(keyPath).c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (result != ERROR_SUCCESS) return result;
    const WideText name(valueName);
    BYTE buffer[kQueryBufferBytes] = {};
    DWORD length = kQueryBufferBytes;
    DWORD type = 0;
    result = RegQueryValueExW(key, name.c_str(), nullptr, &type, buffer, &length);
    if (result == ERROR_MORE_DATA && type != REG_SZ && type != REG_EXPAND_SZ) result = ERROR_SUCCESS;
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
        // Whatever stood under our name (a number, bytes, an expandable
        // string) is replaced by the command as a string: Windows runs only
        // strings. The length counts the terminating zero, as the registry
        // documentation asks of REG_SZ data.
        const WideText text(data);
        result = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return result;
}

LONG DeleteRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    const WideText path(keyPath), name(valueName);
    LONG result = RegOpenKeyExW(rootKey, path.c_str(), 0, KEY_SET_VALUE, &key);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;  // no key, no value
    if (result != ERROR_SUCCESS) {
        // Not allowed to change the key: that matters only if the value is there.
        if (RegOpenKeyExW(rootKey, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return result;
        const LONG query = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return query == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    }
    result = RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

bool RegistryValueEquals(HKEY rootKey, const std::string& keyPath, const std::string& valueName,
                         const std::string& data) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey, WideText(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    wchar_t buffer[kQueryBufferBytes / sizeof(wchar_t)] = {};
    DWORD length = sizeof(buffer);
    DWORD type = 0;
    const LONG query = RegQueryValueExW(key, WideText(valueName).c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(buffer), &length);
    RegCloseKey(key);
    if (query != ERROR_SUCCESS || type != REG_SZ) return false;
    int count = static_cast<int>(length / sizeof(wchar_t));
    while (count > 0 && buffer[count - 1] == L'\0') --count;  // with or without its terminating zero
    return Utf8FromWide(buffer, count) == data;
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
