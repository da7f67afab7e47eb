#pragma once
// What the installer asks of cloudwick-feed.exe before it removes the program:
//   cloudwick-feed.exe --close       (an upgrade) ends the cards and services
//                               started from this folder; nothing else changes.
//   cloudwick-feed.exe --upgrading (a newer package, before it removes this
//                               version) the same, and tells the removal that
//                               follows to keep what the programs wrote.
//   cloudwick-feed.exe --uninstall   the same, then removes what the programs
//                               wrote themselves: the Run values that point at
//                               this folder's Cloudwick.exe (HKCU, and HKLM where
//                               it may), the settings file, the service's options,
//                               log and state
//                               beside the exe and in %LOCALAPPDATA%\Cloudwick.
// The user's settings in %APPDATA%\Cloudwick stay.
#include <windows.h>

// True when the command line is one of these (the program then ends with
// `exitCode`: 0, or 1 when a process of ours could not be ended). Nothing of
// the service starts: no options are read, no log is written.
bool RunInstallerCommand(const wchar_t* commandLine, int& exitCode);
