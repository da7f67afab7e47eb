#pragma once
// A DLL of Windows itself, loaded from the system folder by its full path:
// a file of the same name beside the exe (a download folder holds anything)
// is never loaded in its place. Loaded once by its caller and kept.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

HMODULE LoadSystemLibrary(const char* name);
