#include "options/options_background_win.h"

#include "app/png_resource_win.h"
#include "resources/resource_ids.h"

HBITMAP LoadOptionsBackground(HINSTANCE instance) { return LoadPngResource(instance, IDB_OPTIONS_BACKGROUND); }
