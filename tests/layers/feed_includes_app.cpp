// The control beside the planted file: feed/ may include app/.
#include "app/text_scan.h"

int PlantedRightWayInclude() { return static_cast<int>(Trim(" x ").size()); }
