#pragma once
// The screen's DPI, and twips turned into its pixels and back, from the true
// DPI and rounded once (see TwipsToPixels).
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The system DPI: what positions stored in twips are converted with, so a
// place saved on one monitor means the same pixel at the next start.
int ScreenDpiX();
int ScreenDpiY();
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
int PixelsToTwipsX(int pixels);
int PixelsToTwipsY(int pixels);

// The DPI a window is laid out at: its monitor's under per-monitor
// awareness (Windows 10 1607 and later), else the system DPI; on 8.1 the
// monitor's DPI arrives with WM_DPICHANGED. The call is looked up at run
// time, so the exe still starts on Windows 7.
int WindowDpi(HWND hwnd);
