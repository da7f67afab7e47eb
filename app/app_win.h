#pragma once
// Process-wide state of the running program.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <string>
#include <vector>

#include "app/settings.h"

class CardWindow;

struct App {
    HINSTANCE instance = nullptr;
    AppSettings settings;
    CardWindow* card = nullptr;    // null once the card has closed
    std::vector<HWND> dialogs;     // open options dialogs, for keyboard navigation
    int liveWindows = 0;           // the program ends when this falls to 0
    HWND hiddenOwner = nullptr;
    std::string SettingsPath() const;
};

App& TheApp();
void WindowOpened();

// The owner of the card and the dialogs: a window that is never shown, so
// that no shell gives them a taskbar button (some list unowned tool windows).
HWND HiddenOwner();
void WindowClosed();

// Writes the settings file; tells the user when that failed.
void SaveSettingsOrTell(HWND owner);
