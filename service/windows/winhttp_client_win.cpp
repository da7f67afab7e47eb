#include "windows/winhttp_client_win.h"

#include <windows.h>
#include <winhttp.h>

#include <ctime>
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
        case ERROR_WINHTTP_SECURE_FAILURE: return "TLS certificate not accepted";
        default: return "WinHTTP error " + std::to_string(code);
    }
}

// A secure connection that failed before any reply: with a session that
// could not ask for TLS 1.2, the handshake itself is what failed.
bool IsHandshakeFailure(DWORD code) {
    return code == ERROR_WINHTTP_SECURE_FAILURE || code == ERROR_WINHTTP_CONNECTION_ERROR;
}

// Before Windows 8.1: the proxy named in the user's Internet settings, if any.
HINTERNET OpenWithUserProxy() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
    HINTERNET session = nullptr;
    if (WinHttpGetIEProxyConfigForCurrentUser(&ie) && ie.lpszProxy) {
        session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, ie.lpszProxy,
                              ie.lpszProxyBypass ? ie.lpszProxyBypass : WINHTTP_NO_PROXY_BYPASS, 0);
    }
    for (LPWSTR s : {ie.lpszAutoConfigUrl, ie.lpszProxy, ie.lpszProxyBypass}) {
        if (s) GlobalFree(s);
    }
    return session ? session
                   : WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
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
    HINTERNET s = WinHttpOpen(kUserAgent, kAutomaticProxy, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    session_ = s ? s : OpenWithUserProxy();
    if (!session_) return;
    const tls_setup::SessionTls tls = tls_setup::EnableModernTls([this](unsigned protocols) {
        DWORD value = protocols;
        return WinHttpSetOption(static_cast<HINTERNET>(session_), WINHTTP_OPTION_SECURE_PROTOCOLS, &value,
                                sizeof value) != FALSE;
    });
    tls12_ = tls.tls12;
    if (!tls12_ && log) log(tls_setup::NeedsUpdateLog());
}

WinHttpClient::~WinHttpClient() {
    if (session_) WinHttpCloseHandle(session_);
}

UpstreamReply WinHttpClient::Get(const std::string& url, std::chrono::milliseconds timeout) {
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

    Handles h;
    h.connect = WinHttpConnect(static_cast<HINTERNET>(session_), host.c_str(), parts.nPort, 0);
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
    // Every stage may wait only for what is left of the whole time limit;
    // the wait for the reply's headers has an option of its own.
    DWORD t = static_cast<DWORD>(left());
    WinHttpSetTimeouts(h.request, t, t, t, t);
    WinHttpSetOption(h.request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &t, sizeof t);
    if (!WinHttpSendRequest(h.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(h.request, nullptr)) {
        const DWORD code = GetLastError();
        r.error = Why(code);
        if (parts.nScheme == INTERNET_SCHEME_HTTPS && IsHandshakeFailure(code)) {
            r.error = tls_setup::SecureFailureText(tls_setup::SessionTls{tls12_, 0}, r.error);
            if (!tls12_) r.trouble = Trouble::SystemLacksTls12;
        }
        return r;
    }
    DWORD status = 0, size = sizeof status;
    if (!WinHttpQueryHeaders(h.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        r.error = Why(GetLastError());
        return r;
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
            return r;
        }
        WinHttpSetOption(h.request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
        DWORD got = 0;
        if (!WinHttpReadData(h.request, buf.data(), static_cast<DWORD>(buf.size()), &got)) {
            r.error = Why(GetLastError());
            r.body.clear();
            return r;
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
