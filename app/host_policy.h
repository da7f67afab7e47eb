#pragma once
// Where the card sends its two requests: the host names it was built with
// (FeedHost, PlaceSearchHost), unless an administrator named others. At
// start the card reads the strings FeedHost and PlaceSearchHost from
//   HKLM\Software\Policies\Cloudwick   (Group Policy, for the machine)
//   HKCU\Software\Policies\Cloudwick   (Group Policy, for the user)
//   HKCU\Software\Cloudwick            (the installer's FEEDHOST for one
//                                       user, who cannot write Policies)
// and the first usable value of each wins. A named host is asked on port 80
// and no local service is started for it. A FeedHost given alone also
// serves the place search: cloudwick-feed serves both documents.
// A value that is missing, not a string, empty, longer than a host name
// can be, or not a host name at all (a URL, a port, spaces) is passed over.
struct HostNames {
    const char* feed;
    const char* placeSearch;
};

const int kPolicySources = 3;
const unsigned kMaxHostName = 253;  // what DNS allows

// A name the card can look up and connect to on port 80: letters, digits,
// '-' and '.', at most 253 characters, no empty label.
bool UsableHostName(const char* name);

// `feed[i]`, `place[i]`: what source i holds (null where it holds no
// string), in the order of precedence above.
HostNames ChooseHosts(const char* const (&feed)[kPolicySources], const char* const (&place)[kPolicySources],
                      const char* builtFeed, const char* builtPlaceSearch);
