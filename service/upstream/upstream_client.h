#pragma once
// The one thing the core asks of the platform about the upstream: a GET.
// Linux answers it with libcurl, Windows with WinHTTP.
#include <chrono>
#include <string>

#include "model/trouble_kinds.h"

struct UpstreamReply {
    bool transportOk = false;  // false: no HTTP answer at all (refused, timed out, too big)
    long status = 0;
    std::string body;
    std::string error;         // why, when transportOk is false
    int retryAfter = 0;        // the reply's Retry-After in seconds (0: none or unreadable)
    bool refused = false;      // not sent: this service's own limits said no (error says which)
    Trouble trouble = Trouble::None;  // for a refusal or a failure: which, in the reply's terms
    // The call never reached the source (a proxy refused it): it is not
    // counted against the source's budget.
    bool notSent = false;
};

// Upstream bodies larger than this are refused.
constexpr std::size_t kMaxUpstreamBody = 1 << 20;

class UpstreamClient {
public:
    virtual ~UpstreamClient() = default;
    // GETs `url` (http or https only, no redirects), giving up after
    // `timeout` in total; a body over kMaxUpstreamBody is refused. Called
    // from many threads at once.
    virtual UpstreamReply Get(const std::string& url, std::chrono::milliseconds timeout) = 0;

    // The User-Agent of every request: the service's name, and the
    // operator's contact when one is given (Nominatim's usage policy asks
    // for both). Set before any thread calls Get.
    void SetUserAgent(std::string userAgent) { userAgent_ = std::move(userAgent); }
    const std::string& UserAgent() const { return userAgent_; }

    // The proxy every call goes through, and the hosts reached without it
    // (--proxy, --no-proxy); empty: the system's settings. Set before any
    // thread calls Get.
    void SetProxy(std::string proxy, std::string noProxy) {
        proxy_ = std::move(proxy);
        noProxy_ = std::move(noProxy);
    }
    const std::string& Proxy() const { return proxy_; }
    const std::string& NoProxy() const { return noProxy_; }

private:
    std::string userAgent_ = "cloudwick-feed/1.0";
    std::string proxy_, noProxy_;
};
