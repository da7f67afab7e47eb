#include "options/place_reply_parser.h"

#include "app/text_scan.h"

namespace {
const long kWoeidTag = 7;      // length of "<woeid>"
const long kLocalitySkip = 23; // "<locality1 type=" and the four-letter type in quotes plus a blank
const long kAttributeLead = 8; // position after a five-letter attribute name, "=" and the quote
}

PlaceReply ParsePlaceReply(const std::string& reply) {
    PlaceReply r;
    long i = Find(reply, 1, "<woeid>");
    long j = Find(reply, 1, "</woeid>");
    // A reply without a usable woeid element has nothing to offer.
    if (i == 0 || j <= i + kWoeidTag) return r;
    r.woeid = Cut(reply, i + kWoeidTag, j);
    r.woeidCut = true;

    long b = Find(reply, i + kWoeidTag, "<locality1 type=");
    if (b == 0) return r;
    long e = Find(reply, b, "</locality1>");
    if (e < b + kLocalitySkip) return r;
    std::string cut = Cut(reply, b + kLocalitySkip, e);
    r.name = cut;
    r.nameCut = true;

    std::string value;
    long d = Find(cut, 1, ">");
    if (d != 0) {
        // A ">" before the attribute value's place would give a negative cut.
        if (d < kAttributeLead + 1) return r;
        value = Cut(cut, kAttributeLead, d - 1);
        r.name = Cut(cut, d + 1, static_cast<long>(cut.size()) + 1);
    }
    r.outcome = value.empty() ? PlaceReply::Rejected : PlaceReply::Found;
    return r;
}
