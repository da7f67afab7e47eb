#include "app/host_policy.h"

#include <cstring>

bool UsableHostName(const char* name) {
    if (!name || !*name) return false;
    char before = '.';
    unsigned n = 0;
    for (; name[n]; ++n) {
        const char c = name[n];
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && c != '-' && c != '.') return false;
        if (before == '.' && (c == '.' || c == '-')) return false;  // an empty label, or one starting with '-'
        before = c;
    }
    return n <= kMaxHostName && before != '-';
}

namespace {

// The first source that holds a value; false when none does.
bool Choose(const PolicyValue (&values)[kPolicySources], const char* valueName, HostChoice& out) {
    for (int i = 0; i < kPolicySources; ++i) {
        const PolicyValue& v = values[i];
        if (v.kind == PolicyValue::Missing) continue;
        // How the card names the value to the user and the administrator.
        const std::string named = std::string(i < 2 ? "Policy " : "Setting ") + valueName;
        out = HostChoice();
        if (v.kind == PolicyValue::Text && UsableHostName(v.text)) {
            out.name = v.text;
            out.notFound = named + " not found";
        } else if (v.kind == PolicyValue::NotText) {
            out.problem = named + " is not a string";
        } else if (v.kind == PolicyValue::TooLong || (v.text && std::strlen(v.text) > kMaxHostName)) {
            out.problem = named + " is too long";
        } else if (!v.text || !*v.text) {
            out.problem = named + " is empty";
        } else {
            out.problem = named + " is not a host name";
        }
        return true;
    }
    return false;
}

}  // namespace

HostNames ChooseHosts(const PolicyValue (&feed)[kPolicySources], const PolicyValue (&place)[kPolicySources],
                      const char* builtFeed, const char* builtPlaceSearch) {
    HostNames h;
    const bool feedNamed = Choose(feed, "FeedHost", h.feed);
    if (!feedNamed) h.feed.name = builtFeed;
    if (!Choose(place, "PlaceSearchHost", h.placeSearch)) {
        if (feedNamed) {
            h.placeSearch = h.feed;
        } else {
            h.placeSearch.name = builtPlaceSearch;
        }
    }
    return h;
}
