#pragma once
// Windows 7 SP1 and 8.0, where WinHTTP has no automatic proxy: the route
// of one call, chosen from the user's Internet settings the way Internet
// Explorer reads them. The proxy script (WPAD or the PAC file) comes first;
// where there is none, or it could not be fetched or run, the named proxy
// with its exceptions; else a direct call. Free of windows.h, so that the
// choice is tested natively; winhttp_client_win.cpp asks WinHTTP.
#include <string>

namespace user_proxy {

// WINHTTP_CURRENT_USER_IE_PROXY_CONFIG, as plain strings ("" where null).
struct Settings {
    bool autoDetect = false;    // "Automatically detect settings" (WPAD)
    std::wstring autoConfigUrl;  // "Use automatic configuration script"
    std::wstring proxy;          // "Use a proxy server": "host:port", or "http=host:port;https=..."
    std::wstring bypass;         // the names it is not used for, "<local>" among them
};

// What WinHttpGetProxyForUrl gave for the call's URL.
struct ScriptAnswer {
    bool answered = false;  // false: not asked, or the script could not be fetched or run
    std::wstring proxy;     // "": the script said DIRECT
    std::wstring bypass;
};

// Where one call goes: through `proxy`, or direct when it is "".
struct Route {
    std::wstring proxy;
    std::wstring bypass;
    bool operator==(const Route& o) const { return proxy == o.proxy && bypass == o.bypass; }
};

// WinHTTP is to be asked for the proxy script's answer first.
inline bool AsksScript(const Settings& s) { return s.autoDetect || !s.autoConfigUrl.empty(); }

inline Route ChooseRoute(const Settings& s, const ScriptAnswer& script) {
    // The exceptions belong to the named proxy only; a script has its own.
    if (AsksScript(s) && script.answered) return script.proxy.empty() ? Route{} : Route{script.proxy, script.bypass};
    if (!s.proxy.empty()) return Route{s.proxy, s.bypass};
    return Route{};
}

}  // namespace user_proxy
