#include "options/options_background_win.h"

#include "app/picture_resource_win.h"
#include "resources/resource_ids.h"

HBITMAP LoadOptionsBackground(HINSTANCE instance) { return LoadPngPicture(instance, IDB_OPTIONS_BACKGROUND); }
