#pragma once
// What the running program shares between its windows: where it lives, the
// hidden owner window, saving the settings, and the message loop.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <string>

#include "app/settings.h"

#include "app/wide_path_win.h"  // ExePath, ExeFolder: UTF-8, read through the wide calls

// The settings file in use: beside the exe, or, when its folder cannot be
// written, %APPDATA%\Cloudwick\cloudwick.conf (decided when it is loaded).
std::string SettingsPath();

// Reads the settings file into `settings`. A file that is there but cannot
// be read (another program holding it) is tried again for a moment; if it
// stays unreadable, the run goes on with first-run values, the user is told
// once, and no save of this run writes over the file. A file in another
// form (UTF-16, a byte-order mark) is written back in the designed form. A
// save that failed at the end of the last session is told now.
void LoadSettingsOrTell(AppSettings& settings);

// Writes the settings file when what it holds would change; tells the user
// of a failure once, until a save works again. Called whenever the user's
// choices or the card's place change, so a crash loses nothing.
void SaveSettingsOrTell(HWND owner, const AppSettings& settings);

// The same at the end of the session, where no window may wait for the
// user: a failure is kept and told at the next start.
void SaveSettingsAtSessionEnd(const AppSettings& settings);

// Shows `text` in a message box; texts may hold UTF-8 paths.
void TellUser(HWND owner, const std::string& text);

// Runs until the last window has closed; returns the exit code.
int RunMessageLoop();
