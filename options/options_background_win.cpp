#include "options/options_background_win.h"

#include "resources/resource_ids.h"

HBITMAP LoadOptionsBackground(HINSTANCE instance) {
    return static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_OPTIONS_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}
