#pragma once
// Cuts the WOEID and the place name out of a place-search reply.
#include <string>

struct PlaceReply {
    enum Outcome { Found, Rejected, Unusable };
    Outcome outcome = Unusable;
    bool woeidCut = false;  // a woeid was cut (it replaces the dialog's)
    std::string woeid;
    bool nameCut = false;   // a name was cut (it replaces the dialog's)
    std::string name;
};

PlaceReply ParsePlaceReply(const std::string& reply);
