#include "options/place_reply_parser.h"

#include "app/text_scan.h"

namespace {
const long kWoeidTag = 7;      // length of "<woeid>"
const long kLocalitySkip = 23; // "<locality1 type=" and the four-letter type in quotes plus a blank
const long kAttributeLead = 8; // position after a five-letter attribute name, "=" and the quote

bool IsDecimal(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool HasControl(const std::string& s) {
    for (char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return true;
    }
    return false;
}
}  // namespace

PlaceReply ParsePlaceReply(const std::string& reply) {
    PlaceReply r;
    long i = Find(reply, 1, "<woeid>");
    long j = Find(reply, 1, "</woeid>");
    // A reply without a usable woeid element has nothing to offer.
    if (i == 0 || j <= i + kWoeidTag) return r;
    const std::string woeid = Trim(Cut(reply, i + kWoeidTag, j));
    if (!IsDecimal(woeid)) return r;
    r.woeid = woeid;
    r.woeidCut = true;

    long b = Find(reply, i + kWoeidTag, "<locality1 type=");
    if (b == 0) return r;
    long e = Find(reply, b, "</locality1>");
    if (e < b + kLocalitySkip) return r;
    const std::string cut = Cut(reply, b + kLocalitySkip, e);
    std::string name = cut;
    std::string value;
    bool usable = true;
    long d = Find(cut, 1, ">");
    if (d != 0) {
        // A ">" before the attribute value's place would give a negative cut.
        if (d < kAttributeLead + 1) {
            usable = false;
        } else {
            value = Cut(cut, kAttributeLead, d - 1);
            name = Cut(cut, d + 1, static_cast<long>(cut.size()) + 1);
        }
    }
    // Neither text is handed out: a woeid without its name is no place.
    if (HasControl(name)) return PlaceReply();
    r.name = name;
    r.nameCut = true;
    if (usable) r.outcome = value.empty() ? PlaceReply::Rejected : PlaceReply::Found;
    return r;
}
