#pragma once
// The upstream client on Windows: WinHTTP, the system's own HTTPS stack,
// with the system's certificate store and the user's proxy settings.
#include <functional>
#include <mutex>
#include <string>

#include "upstream/upstream_client.h"

class WinHttpClient : public UpstreamClient {
public:
    // `log` hears, once, when this Windows cannot ask for TLS 1.2 (one line, no end of line).
    explicit WinHttpClient(std::function<void(const std::string&)> log = nullptr);
    ~WinHttpClient() override;
    UpstreamReply Get(const std::string& url, std::chrono::milliseconds timeout) override;

private:
    // The proxy for one call to `url`, when Windows does not choose it
    // itself: --proxy (or the policy), else on Windows 7 the user's
    // Internet settings (WPAD, the PAC file, the named proxy, direct),
    // worked out again after every failed call. False: leave it to Windows.
    bool ProxyFor(const std::wstring& url, std::wstring& proxy, std::wstring& bypass);
    void* Session();  // the session for this call: the named proxy's, or the system's
    UpstreamReply GetOnce(const std::string& url, std::chrono::milliseconds timeout);

    void* session_ = nullptr;  // HINTERNET
    void* named_ = nullptr;    // HINTERNET of --proxy's session, opened at the first call
    bool tls12_ = false;       // the session asks for TLS 1.2 (see tls_setup.h)
    unsigned protocols_ = 0;   // the TLS versions it asks for
    bool automatic_ = false;   // Windows 8.1 and later: WinHTTP's automatic proxy
    std::mutex mutex_;         // guards the proxy found last
    bool haveFound_ = false;
    std::wstring found_, foundBypass_;  // "" : direct
};
