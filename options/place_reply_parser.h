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

// A woeid is plain decimal digits, spaces around them ignored; a name holds
// no control character. Both end up on a line of the settings file and in
// the feed's request line, so a reply that breaks either rule is Unusable
// and hands out neither text: the dialog keeps its own woeid.
PlaceReply ParsePlaceReply(const std::string& reply);
