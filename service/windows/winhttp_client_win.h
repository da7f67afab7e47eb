#pragma once
// The upstream client on Windows: WinHTTP, the system's own HTTPS stack,
// with the system's certificate store and the user's proxy settings.
#include <functional>
#include <string>

#include "upstream/upstream_client.h"

class WinHttpClient : public UpstreamClient {
public:
    // `log` hears, once, when this Windows cannot ask for TLS 1.2 (one line, no end of line).
    explicit WinHttpClient(std::function<void(const std::string&)> log = nullptr);
    ~WinHttpClient() override;
    UpstreamReply Get(const std::string& url, std::chrono::milliseconds timeout) override;

private:
    void* session_ = nullptr;  // HINTERNET
    bool tls12_ = false;       // the session asks for TLS 1.2 (see tls_setup.h)
};
