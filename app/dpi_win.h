#pragma once
// The screen's DPI, and twips turned into its pixels and back, from the true
// DPI and rounded once (see TwipsToPixels).
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

int ScreenDpiX();
int ScreenDpiY();
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
int PixelsToTwipsX(int pixels);
int PixelsToTwipsY(int pixels);
