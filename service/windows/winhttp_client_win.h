#pragma once
// The upstream client on Windows: WinHTTP, the system's own HTTPS stack,
// with the system's certificate store and the user's proxy settings.
#include "core/upstream_client.h"

class WinHttpClient : public UpstreamClient {
public:
    WinHttpClient();
    ~WinHttpClient() override;
    UpstreamReply Get(const std::string& url, std::chrono::milliseconds timeout) override;

private:
    void* session_ = nullptr;  // HINTERNET
};
