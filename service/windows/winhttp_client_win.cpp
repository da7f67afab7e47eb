#include "windows/winhttp_client_win.h"

#include <windows.h>
#include <versionhelpers.h>
#include <winhttp.h>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <thread>
#include <vector>

#include "http/http_dates.h"
#include "windows/tls_setup.h"

namespace {

// Windows 8.1 and later: the proxy the user's settings give, auto-configuration included.
constexpr DWORD kAutomaticProxy = 4;  // WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY

const wchar_t kUserAgent[] = L"cloudwick-feed/1.0";

std::wstring Wide(const std::string& s) {
    if (s.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Why(DWORD code) {
    switch (code) {
        case ERROR_WINHTTP_TIMEOUT: return "timed out";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "host name not found";
        case ERROR_WINHTTP_CANNOT_CONNECT: return "cannot connect";
        case ERROR_WINHTTP_CONNECTION_ERROR: return "connection broken";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return "no valid reply";
        case ERROR_WINHTTP_SECURE_FAILURE: return "TLS certificate not accepted";
        default: return "WinHTTP error " + std::to_string(code);
    }
}

// A secure connection that failed before any reply: with a session that
// could not ask for TLS 1.2, the handshake itself is what failed.
bool IsHandshakeFailure(DWORD code) {
    return code == ERROR_WINHTTP_SECURE_FAILURE || code == ERROR_WINHTTP_CONNECTION_ERROR;
}

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += static_cast<char>(c < 128 ? c : '?');
    return s;
}

// "a,b" (the service's list) as WinHTTP's "a;b".
std::wstring Bypass(const std::string& list) {
    std::wstring w = Wide(list);
    for (wchar_t& c : w)
        if (c == L',') c = L';';
    return w;
}

// A string WinHTTP allocated, as a copy; the original is freed.
std::wstring Take(LPWSTR& s) {
    std::wstring w = s ? s : L"";
    if (s) GlobalFree(s);
    s = nullptr;
    return w;
}

// One run of the proxy script, shared by the call that waits for it and the
// thread that runs it; whichever is last frees it.
struct ScriptRun {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    user_proxy::ScriptAnswer answer;
};

// Scripts still running after their call stopped waiting.
std::atomic<int> scriptsRunning{0};

// The proxy script's answer for `url`, waited for at most kScriptWait, well
// inside a call's time limit (5 s unless --upstream-timeout-ms says
// otherwise). A script that loops is given up on (Windows ends it after
// 60 s; Wine never does): the call takes the named proxy or goes direct,
// and no other script is started while one still runs.
constexpr std::chrono::seconds kScriptWait{2};

user_proxy::ScriptAnswer AskScript(HINTERNET session, const std::wstring& url, const user_proxy::Settings& settings) {
    if (scriptsRunning.load() > 0) return user_proxy::ScriptAnswer{};
    auto run = std::make_shared<ScriptRun>();
    ++scriptsRunning;
    std::thread([run, session, url, settings] {
        WINHTTP_AUTOPROXY_OPTIONS options{};
        options.dwFlags = (settings.autoDetect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0) |
                          (settings.autoConfigUrl.empty() ? 0 : WINHTTP_AUTOPROXY_CONFIG_URL);
        options.dwAutoDetectFlags =
            settings.autoDetect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
        options.lpszAutoConfigUrl = settings.autoConfigUrl.empty() ? nullptr : settings.autoConfigUrl.c_str();
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO info{};
        user_proxy::ScriptAnswer answer;
        // A PAC file that cannot be fetched, or throws, fails here, and the
        // named proxy or a direct call is next.
        answer.answered = WinHttpGetProxyForUrl(session, url.c_str(), &options, &info) != FALSE;
        const bool named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        answer.proxy = Take(info.lpszProxy);
        answer.bypass = Take(info.lpszProxyBypass);
        if (!named) answer.proxy.clear();
        {
            std::lock_guard<std::mutex> lock(run->mutex);
            run->answer = answer;
            run->finished = true;
        }
        run->done.notify_all();
        --scriptsRunning;
    }).detach();
    std::unique_lock<std::mutex> lock(run->mutex);
    if (!run->done.wait_for(lock, kScriptWait, [&run] { return run->finished; })) return user_proxy::ScriptAnswer{};
    return run->answer;
}

// Windows 7's and 8.0's route for `url` from the user's Internet settings:
// WPAD and the PAC file through WinHttpGetProxyForUrl, then the named
// proxy, then direct.
user_proxy::Route FindUserRoute(HINTERNET session, const std::wstring& url) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&ie)) return user_proxy::Route{};
    user_proxy::Settings settings;
    settings.autoDetect = ie.fAutoDetect != FALSE;
    settings.autoConfigUrl = Take(ie.lpszAutoConfigUrl);
    settings.proxy = Take(ie.lpszProxy);
    settings.bypass = Take(ie.lpszProxyBypass);
    const user_proxy::ScriptAnswer script =
        user_proxy::AsksScript(settings) ? AskScript(session, url, settings) : user_proxy::ScriptAnswer{};
    return user_proxy::ChooseRoute(settings, script);
}

// Closes the handles of one request, in any state.
struct Handles {
    HINTERNET connect = nullptr, request = nullptr;
    ~Handles() {
        if (request) WinHttpCloseHandle(request);
        if (connect) WinHttpCloseHandle(connect);
    }
};

}  // namespace

WinHttpClient::WinHttpClient(std::function<void(const std::string&)> log) {
    // The automatic proxy where Windows has it: 8.1 or later (feed.manifest
    // declares 8.1 and 10, so that the version check sees them as they are)
    // and a WinHTTP that takes it. Before, a direct session, and each call
    // takes the route the user's Internet settings give (UserRouteSession).
    HINTERNET s = IsWindows8Point1OrGreater()
                      ? WinHttpOpen(kUserAgent, kAutomaticProxy, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)
                      : nullptr;
    automatic_ = s != nullptr;
    session_ = s ? s
                 : WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session_) return;
    const tls_setup::SessionTls tls = tls_setup::EnableModernTls([this](unsigned protocols) {
        DWORD value = protocols;
        return WinHttpSetOption(static_cast<HINTERNET>(session_), WINHTTP_OPTION_SECURE_PROTOCOLS, &value,
                                sizeof value) != FALSE;
    });
    tls12_ = tls.tls12;
    protocols_ = tls.protocols;
    if (!tls12_ && log) log(tls_setup::NeedsUpdateLog());
}

WinHttpClient::~WinHttpClient() {
    if (named_) WinHttpCloseHandle(named_);
    if (session_) WinHttpCloseHandle(session_);
}

void* WinHttpClient::Session() {
    if (Proxy().empty()) return session_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!named_) {
        // --proxy or the policy: a session of its own that names it.
        const std::wstring proxy = Wide(Proxy()), bypass = Bypass(NoProxy());
        named_ = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(),
                             bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : bypass.c_str(), 0);
        if (named_ && protocols_) {
            DWORD value = protocols_;  // what the system's session could ask for
            WinHttpSetOption(static_cast<HINTERNET>(named_), WINHTTP_OPTION_SECURE_PROTOCOLS, &value, sizeof value);
        }
    }
    return named_ ? named_ : session_;
}

std::shared_ptr<void> WinHttpClient::UserRouteSession(const std::wstring& url, const std::wstring& origin,
                                                        std::wstring& proxy) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = routes_.find(origin);
    if (found == routes_.end()) found = routes_.emplace(origin, FindUserRoute(static_cast<HINTERNET>(session_), url)).first;
    const user_proxy::Route& route = found->second;
    proxy = route.proxy;
    // A session that names the route's proxy, rather than WINHTTP_OPTION_PROXY
    // on each request: both work on Windows, and Wine's WinHTTP takes only the first.
    std::shared_ptr<void>& session = routeSessions_[route.proxy + L'\n' + route.bypass];
    if (!session) {
        HINTERNET h = route.proxy.empty()
                          ? WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                        WINHTTP_NO_PROXY_BYPASS, 0)
                          : WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, route.proxy.c_str(),
                                        route.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : route.bypass.c_str(), 0);
        if (!h) return nullptr;
        if (protocols_) {
            DWORD value = protocols_;  // what the system's session could ask for
            WinHttpSetOption(h, WINHTTP_OPTION_SECURE_PROTOCOLS, &value, sizeof value);
        }
        session.reset(h, [](void* p) { WinHttpCloseHandle(static_cast<HINTERNET>(p)); });
    }
    return session;
}

UpstreamReply WinHttpClient::Get(const std::string& url, std::chrono::milliseconds timeout) {
    UpstreamReply r = GetOnce(url, timeout);
    if (!r.transportOk && !automatic_ && Proxy().empty()) {
        // Windows 7 and 8.0: the user may have moved between networks; the
        // next call reads the Internet settings again. A call still running
        // keeps its own session.
        std::lock_guard<std::mutex> lock(mutex_);
        routes_.clear();
        routeSessions_.clear();
    }
    return r;
}

UpstreamReply WinHttpClient::GetOnce(const std::string& url, std::chrono::milliseconds timeout) {
    UpstreamReply r;
    if (!session_) {
        r.error = "cannot start WinHTTP";
        return r;
    }
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    const auto left = [deadline]() -> int {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline ? 0 : static_cast<int>(deadline - now);
    };

    std::wstring wide = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        r.error = "not an http or https URL";
        return r;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    // The session: --proxy's, Windows' automatic one, or on Windows 7 and
    // 8.0 the one of the route the user's Internet settings give for this
    // host; and the proxy's name for the log.
    HINTERNET session = static_cast<HINTERNET>(Session());
    std::string proxyName = Proxy().empty() ? "Windows' automatic proxy settings" : Proxy();
    std::shared_ptr<void> routeSession;  // held until the call is over
    if (!automatic_ && Proxy().empty()) {
        const std::wstring origin = std::wstring(parts.nScheme == INTERNET_SCHEME_HTTPS ? L"https://" : L"http://") +
                                    host + L":" + std::to_wstring(parts.nPort);
        std::wstring proxy;
        routeSession = UserRouteSession(wide, origin, proxy);
        if (!routeSession) {
            r.error = "cannot start WinHTTP";
            return r;
        }
        session = static_cast<HINTERNET>(routeSession.get());
        proxyName = Narrow(proxy);
    }
    Handles h;
    h.connect = WinHttpConnect(session, host.c_str(), parts.nPort, 0);
    if (h.connect) {
        h.request = WinHttpOpenRequest(h.connect, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                       WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    }
    if (!h.request) {
        r.error = Why(GetLastError());
        return r;
    }
    const std::wstring agent = L"User-Agent: " + Wide(UserAgent());
    WinHttpAddRequestHeaders(h.request, agent.c_str(), static_cast<DWORD>(-1),
                             WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(h.request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    const auto named = [&proxyName](UpstreamReply& reply) -> UpstreamReply& {
        if (!proxyName.empty()) reply.error += " (proxy " + proxyName + ")";
        return reply;
    };
    // A proxy that asks for a logon gets the user's Windows logon
    // (NTLM or Negotiate), and nothing else.
    DWORD autoLogon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
    WinHttpSetOption(h.request, WINHTTP_OPTION_AUTOLOGON_POLICY, &autoLogon, sizeof autoLogon);
    // Every stage may wait only for what is left of the whole time limit;
    // the wait for the reply's headers has an option of its own.
    DWORD t = static_cast<DWORD>(left());
    WinHttpSetTimeouts(h.request, t, t, t, t);
    WinHttpSetOption(h.request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &t, sizeof t);
    DWORD status = 0;
    for (int attempt = 0;; ++attempt) {
        if (!WinHttpSendRequest(h.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !WinHttpReceiveResponse(h.request, nullptr)) {
            const DWORD code = GetLastError();
            r.error = Why(code);
            if (parts.nScheme == INTERNET_SCHEME_HTTPS && IsHandshakeFailure(code)) {
                r.error = tls_setup::SecureFailureText(tls_setup::SessionTls{tls12_, 0}, r.error);
                if (!tls12_) r.trouble = Trouble::SystemLacksTls12;
            }
            return named(r);
        }
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(h.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            r.error = Why(GetLastError());
            return named(r);
        }
        if (status != HTTP_STATUS_PROXY_AUTH_REQ) break;
        DWORD schemes = 0, first = 0, target = 0;
        const bool logonOffered = attempt == 0 && WinHttpQueryAuthSchemes(h.request, &schemes, &first, &target) &&
                                  (schemes & (WINHTTP_AUTH_SCHEME_NEGOTIATE | WINHTTP_AUTH_SCHEME_NTLM)) &&
                                  WinHttpSetCredentials(h.request, WINHTTP_AUTH_TARGET_PROXY,
                                                        (schemes & WINHTTP_AUTH_SCHEME_NEGOTIATE)
                                                            ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                                                            : WINHTTP_AUTH_SCHEME_NTLM,
                                                        nullptr, nullptr, nullptr);
        if (!logonOffered || left() == 0) {
            // The proxy's answer, not the source's: the call never got there.
            r.notSent = true;
            r.trouble = Trouble::ProxyNeedsPassword;
            r.error = "the proxy asks for a password (407)";
            return named(r);
        }
    }
    // A 429 or 503 may say when to ask again.
    wchar_t retry[64];
    DWORD retrySize = sizeof retry;
    if (WinHttpQueryHeaders(h.request, WINHTTP_QUERY_RETRY_AFTER, WINHTTP_HEADER_NAME_BY_INDEX, retry, &retrySize,
                            WINHTTP_NO_HEADER_INDEX)) {
        std::string value;
        for (DWORD i = 0; i < retrySize / sizeof(wchar_t); ++i) value += static_cast<char>(retry[i] < 128 ? retry[i] : '?');
        r.retryAfter = ReadRetryAfter(value, static_cast<int64_t>(std::time(nullptr)));
    }
    std::vector<char> buf(16384);
    for (;;) {
        // Each read may wait only for what is left of the whole time limit.
        DWORD wait = static_cast<DWORD>(left());
        if (wait == 0) {
            r.error = "timed out";
            r.body.clear();
            return named(r);
        }
        WinHttpSetOption(h.request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
        DWORD got = 0;
        if (!WinHttpReadData(h.request, buf.data(), static_cast<DWORD>(buf.size()), &got)) {
            r.error = Why(GetLastError());
            r.body.clear();
            return named(r);
        }
        if (got == 0) break;
        if (r.body.size() + got > kMaxUpstreamBody) {
            r.error = "reply larger than 1 MiB";
            r.body.clear();
            return r;
        }
        r.body.append(buf.data(), got);
    }
    r.transportOk = true;
    r.status = static_cast<long>(status);
    return r;
}
