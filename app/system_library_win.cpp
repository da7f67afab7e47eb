#include "app/system_library_win.h"

#include <string>

HMODULE LoadSystemLibrary(const char* name) {
    char folder[MAX_PATH];
    const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    const std::string path = std::string(folder, n) + "\\" + name;
    return LoadLibraryA(path.c_str());
}
