#pragma once
// Where the card sends its two requests: the host names it was built with
// (FeedHost, PlaceSearchHost), unless an administrator named others. At
// start the card reads the strings FeedHost and PlaceSearchHost from
//   HKLM\Software\Policies\Cloudwick   (Group Policy, for the machine)
//   HKCU\Software\Policies\Cloudwick   (Group Policy, for the user)
//   HKCU\Software\Cloudwick            (the installer's FEEDHOST for one
//                                       user, who cannot write Policies)
// and the first source that holds a value decides. A named host is asked
// on port 80 and no local service is started for it. A FeedHost given
// alone also serves the place search: cloudwick-feed serves both
// documents. A value that cannot be used (empty, not a string, longer than
// a host name can be, or not a host name at all: a URL, a port, spaces)
// is not replaced by another host: the card and the search say what is
// wrong with it, and so they do when a named host cannot be found.
#include <string>

const int kPolicySources = 3;
const unsigned kMaxHostName = 253;  // what DNS allows

// What one source holds under one name.
struct PolicyValue {
    enum Kind { Missing, Text, NotText, TooLong };
    Kind kind = Missing;
    const char* text = nullptr;  // with Text
};

struct HostChoice {
    std::string name;      // the host to ask; empty when `problem` is set
    std::string problem;   // why the value given cannot be used: said instead of asking
    std::string notFound;  // said when `name`, named by a source, does not resolve
};

struct HostNames {
    HostChoice feed;
    HostChoice placeSearch;
};

// A name the card can look up and connect to on port 80: letters, digits,
// '-' and '.', at most 253 characters, no empty label.
bool UsableHostName(const char* name);

// `feed[i]`, `place[i]`: what source i holds, in the order of precedence above.
HostNames ChooseHosts(const PolicyValue (&feed)[kPolicySources], const PolicyValue (&place)[kPolicySources],
                      const char* builtFeed, const char* builtPlaceSearch);
