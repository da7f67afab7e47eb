// Planted: the service's model/ reaching up to feed/. Must not compile
// against the model library.
#include "feed/feed_service.h"
int PlantedServiceWrongWayInclude() { return kForecastStepSeconds > 0; }
