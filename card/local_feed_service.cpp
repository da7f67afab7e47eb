#include "card/local_feed_service.h"

const char* const kLocalServiceExe = "cloudwick-feed.exe";

namespace {
bool IsThisMachine(std::string host) {
    for (char& c : host)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return host == "localhost" || host == "127.0.0.1";
}
}  // namespace

bool UsesLocalService(const std::string& feedHost, const std::string& placeSearchHost) {
    return IsThisMachine(feedHost) || IsThisMachine(placeSearchHost);
}

std::string LocalServiceCommandLine(const std::string& exePath, unsigned long cardPid) {
    // The service ends by itself shortly after the card with this id ends.
    return "\"" + exePath + "\" --parent-pid " + std::to_string(cardPid);
}
