#pragma once
// What the server is set up with: its threads and the limits every
// connection and request is held to.
#include <string>
#include <vector>

#include "http/connection_policy.h"
#include "http/request_screen.h"

struct FeedServerOptions {
    int networkThreads = 0;  // 0: one per core
    int workers = 32;        // at most, for requests that may call the source
    ConnectionLimits limits;
    ScreenRules screen;
    std::vector<std::string> trustedProxies;  // their X-Forwarded-For names the client
};
