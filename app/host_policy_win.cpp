#include "app/host_policy_win.h"

#include <winsock2.h>
#include <windows.h>

namespace {

const char kPolicyKey[] = "Software\\Policies\\Cloudwick";
const char kSettingKey[] = "Software\\Cloudwick";

// What each source holds under `name`; `buf` keeps the texts.
void ReadAll(const char* name, char (&buf)[kPolicySources][kMaxHostName + 2], PolicyValue (&out)[kPolicySources]) {
    static const HKEY roots[kPolicySources] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CURRENT_USER};
    for (int i = 0; i < kPolicySources; ++i) {
        DWORD size = sizeof buf[i];
        const LONG status = RegGetValueA(roots[i], i < 2 ? kPolicyKey : kSettingKey, name, RRF_RT_REG_SZ, nullptr,
                                         buf[i], &size);
        out[i] = PolicyValue();
        if (status == ERROR_SUCCESS) {
            out[i].kind = PolicyValue::Text;
            out[i].text = buf[i];
        } else if (status == ERROR_MORE_DATA) {
            out[i].kind = PolicyValue::TooLong;
        } else if (status == ERROR_UNSUPPORTED_TYPE) {
            out[i].kind = PolicyValue::NotText;
        }
    }
}

}  // namespace

const HostNames& ConfiguredHosts() {
    static const HostNames* hosts = nullptr;
    if (!hosts) {
        char feedBuf[kPolicySources][kMaxHostName + 2], placeBuf[kPolicySources][kMaxHostName + 2];
        PolicyValue feed[kPolicySources], place[kPolicySources];
        ReadAll("FeedHost", feedBuf, feed);
        ReadAll("PlaceSearchHost", placeBuf, place);
        hosts = new HostNames(ChooseHosts(feed, place, CLOUDWICK_FEED_HOST, CLOUDWICK_PLACE_SEARCH_HOST));
    }
    return *hosts;
}
