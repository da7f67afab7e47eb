#pragma once
// The owner of the card and the dialogs: a window that is never shown, so
// that no shell gives them a taskbar button (some list unowned tool windows).
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

HWND HiddenOwner();
