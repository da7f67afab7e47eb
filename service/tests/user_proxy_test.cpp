// Windows 7 and 8.0: the route of a call from the user's Internet settings,
// as Internet Explorer chooses it: the proxy script's answer, else the named
// proxy with its exceptions, else direct.
#include <gtest/gtest.h>

#include "windows/user_proxy.h"

using namespace user_proxy;

TEST(UserProxy, TheScriptComesFirstThenTheNamedProxyThenDirect) {
    const Settings none;
    const Settings named{false, L"", L"proxy.corp:8080", L"<local>;*.corp"};
    const Settings pac{false, L"http://wpad.corp/proxy.pac", L"", L""};
    const Settings pacAndNamed{false, L"http://wpad.corp/proxy.pac", L"proxy.corp:8080", L"<local>"};
    const Settings wpadAndNamed{true, L"", L"proxy.corp:8080", L"<local>"};
    const ScriptAnswer failed;  // not fetched, threw, or not asked at all
    const ScriptAnswer viaPac{true, L"pac-proxy.corp:3128", L""};
    const ScriptAnswer direct{true, L"", L"ignored"};
    const struct {
        const char* what;
        Settings settings;
        ScriptAnswer script;
        Route route;
    } cases[] = {
        {"nothing set", none, failed, Route{}},
        {"a named proxy, with its exceptions", named, failed, Route{L"proxy.corp:8080", L"<local>;*.corp"}},
        {"a PAC file's proxy", pac, viaPac, Route{L"pac-proxy.corp:3128", L""}},
        {"a PAC file's proxy over the named one", pacAndNamed, viaPac, Route{L"pac-proxy.corp:3128", L""}},
        {"a PAC file's DIRECT over the named one", pacAndNamed, direct, Route{}},
        {"a PAC file that failed: the named proxy", pacAndNamed, failed, Route{L"proxy.corp:8080", L"<local>"}},
        {"a PAC file that failed, nothing named: direct", pac, failed, Route{}},
        {"WPAD's proxy over the named one", wpadAndNamed, viaPac, Route{L"pac-proxy.corp:3128", L""}},
        {"WPAD found nothing: the named proxy", wpadAndNamed, failed, Route{L"proxy.corp:8080", L"<local>"}},
        // An answer for settings that ask no script is not WinHTTP's to give.
        {"no script asked: the named proxy", named, viaPac, Route{L"proxy.corp:8080", L"<local>;*.corp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Route got = ChooseRoute(c.settings, c.script);
        EXPECT_TRUE(got == c.route) << std::string(got.proxy.begin(), got.proxy.end());
    }
    EXPECT_FALSE(AsksScript(named));
    EXPECT_TRUE(AsksScript(pac));
    EXPECT_TRUE(AsksScript(wpadAndNamed));
}
