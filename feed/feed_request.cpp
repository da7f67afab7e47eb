#include "feed/feed_request.h"

std::string FeedPath(const std::string& woeid, int16_t useCelsius) {
    std::string path = "/forecastrss?w=" + woeid;
    if (useCelsius == 1) path += "&u=c";
    return path;
}
