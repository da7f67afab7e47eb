#pragma once
// The upstream client on Linux: libcurl.
#include "upstream/upstream_client.h"

class CurlClient : public UpstreamClient {
public:
    // Sets libcurl up; make one before any thread calls Get.
    CurlClient();
    UpstreamReply Get(const std::string& url, std::chrono::milliseconds timeout) override;
};
