// The control: the service's documents/ using model/, as it may.
#include "model/weather_model.h"
int PlantedServiceRightWayInclude() { return static_cast<int>(sizeof(Place) > 0); }
