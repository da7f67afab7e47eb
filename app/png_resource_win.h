#pragma once
// Pictures the exe stores as PNG resources (resource type "PNG"), decoded by
// the Windows Imaging Component (Windows 7 and later, and Wine) when first
// needed. They are opaque: the condition pictures come composed on the white
// of the card's picture box.
#include <windows.h>

// PNG resource `id` as a top-down 24-bit DIB section, or null when the
// resource is missing or does not decode.
HBITMAP LoadPngResource(HINSTANCE instance, int id);
