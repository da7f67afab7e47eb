#include "app/host_policy.h"

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

const char* First(const char* const (&values)[kPolicySources]) {
    for (const char* v : values)
        if (UsableHostName(v)) return v;
    return nullptr;
}

}  // namespace

HostNames ChooseHosts(const char* const (&feed)[kPolicySources], const char* const (&place)[kPolicySources],
                      const char* builtFeed, const char* builtPlaceSearch) {
    const char* f = First(feed);
    const char* p = First(place);
    return HostNames{f ? f : builtFeed, p ? p : f ? f : builtPlaceSearch};
}
