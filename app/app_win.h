#pragma once
// What the running program shares between its windows: where it lives, the
// hidden owner window, saving the settings, and the message loop.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <string>

#include "app/settings.h"

std::string ExePath();    // the running exe's full path, whatever the file is called
std::string ExeFolder();  // without the trailing backslash
std::string SettingsPath();


// Reads the settings file into `settings`. A file that is there but cannot
// be read (another program holding it) is tried again for a moment; if it
// stays unreadable, the run goes on with first-run values, the user is told
// once, and no save of this run writes over the file.
void LoadSettingsOrTell(AppSettings& settings);

// Writes the settings file; tells the user when that failed.
void SaveSettingsOrTell(HWND owner, const AppSettings& settings);

// Runs until the last window has closed; returns the exit code.
int RunMessageLoop();
