#pragma once
// The upstream client on Windows: WinHTTP, the system's own HTTPS stack,
// with the system's certificate store and the user's proxy settings.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "upstream/upstream_client.h"
#include "windows/user_proxy.h"

class WinHttpClient : public UpstreamClient {
public:
    // `log` hears, once, when this Windows cannot ask for TLS 1.2 (one line, no end of line).
    explicit WinHttpClient(std::function<void(const std::string&)> log = nullptr);
    ~WinHttpClient() override;
    UpstreamReply Get(const std::string& url, std::chrono::milliseconds timeout) override;

private:
    // Windows 7 and 8.0 without --proxy: the session for one call to `url`
    // (its scheme, host and port in `origin`) and the proxy it goes through
    // ("": direct), from the user's Internet settings (WPAD, the PAC file,
    // the named proxy, direct), worked out again after every failed call.
    // Null: WinHTTP could not open it.
    std::shared_ptr<void> UserRouteSession(const std::wstring& url, const std::wstring& origin, std::wstring& proxy);
    void* Session();  // the session for this call: the named proxy's, or the system's
    UpstreamReply GetOnce(const std::string& url, std::chrono::milliseconds timeout);

    void* session_ = nullptr;  // HINTERNET
    void* named_ = nullptr;    // HINTERNET of --proxy's session, opened at the first call
    bool tls12_ = false;       // the session asks for TLS 1.2 (see tls_setup.h)
    unsigned protocols_ = 0;   // the TLS versions it asks for
    bool automatic_ = false;   // Windows 8.1 and later: WinHTTP's automatic proxy
    std::mutex mutex_;         // guards the routes found and their sessions
    std::map<std::wstring, user_proxy::Route> routes_;  // by origin, until a call fails
    // One session per route, named by "proxy\nbypass"; a call holds its own.
    std::map<std::wstring, std::shared_ptr<void>> routeSessions_;
};
