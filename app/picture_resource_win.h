#pragma once
// Pictures stored compressed in the exe's resources, decoded into top-down
// 24-bit DIB sections that GDI draws directly. They are opaque: the
// condition pictures come composed on the white of the card's picture box.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

// A PNG resource (type "PNG"), decoded by the Windows Imaging Component
// (Windows 7 and later, and Wine). Null if missing or undecodable.
HBITMAP LoadPngPicture(HINSTANCE instance, int id);

// An RLE8 bitmap resource (RT_BITMAP, BI_RLE8), decoded by GDI itself: no
// COM and no codec to load, for the picture the card's first paint needs.
// Null if missing or not RLE8.
HBITMAP LoadRlePicture(HINSTANCE instance, int id);
