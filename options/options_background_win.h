#pragma once
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

// The dialog's map, 571 x 342 at 24 bits, decoded from its PNG resource:
// drawn from the top-left corner.
HBITMAP LoadOptionsBackground(HINSTANCE instance);
