// Planted: feed/ is below options/ and must not see its headers. Built only
// by the layers test, which expects this file to fail to compile.
#include "options/place_search.h"

int PlantedWrongWayInclude() { return 0; }
