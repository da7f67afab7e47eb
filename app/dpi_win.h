#pragma once
// The screen's twips per pixel, read from its DPI.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

int ScreenDpiY();
int TwipsPerPixelX();
int TwipsPerPixelY();
