#include "app/host_policy_win.h"

#include <winsock2.h>
#include <windows.h>

#include <string>

namespace {

const char kPolicyKey[] = "Software\\Policies\\Cloudwick";
const char kSettingKey[] = "Software\\Cloudwick";

// Each source's string, or null where it is missing, not a string or
// longer than a host name.
void ReadAll(const char* name, char (&buf)[kPolicySources][kMaxHostName + 2], const char* (&out)[kPolicySources]) {
    static const HKEY roots[kPolicySources] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CURRENT_USER};
    for (int i = 0; i < kPolicySources; ++i) {
        DWORD size = sizeof buf[i];
        out[i] = RegGetValueA(roots[i], i < 2 ? kPolicyKey : kSettingKey, name, RRF_RT_REG_SZ, nullptr, buf[i],
                              &size) == ERROR_SUCCESS ? buf[i] : nullptr;
    }
}

}  // namespace

const HostNames& ConfiguredHosts() {
    // The chosen names are kept on the heap: static buffers would sit in the exe.
    static HostNames hosts;
    if (!hosts.feed) {
        char feedBuf[kPolicySources][kMaxHostName + 2], placeBuf[kPolicySources][kMaxHostName + 2];
        const char* feed[kPolicySources];
        const char* place[kPolicySources];
        ReadAll("FeedHost", feedBuf, feed);
        ReadAll("PlaceSearchHost", placeBuf, place);
        const HostNames chosen = ChooseHosts(feed, place, CLOUDWICK_FEED_HOST, CLOUDWICK_PLACE_SEARCH_HOST);
        hosts.feed = (new std::string(chosen.feed))->c_str();
        hosts.placeSearch = (new std::string(chosen.placeSearch))->c_str();
    }
    return hosts;
}
