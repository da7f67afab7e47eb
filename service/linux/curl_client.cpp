#include "linux/curl_client.h"

#include <cstdlib>
#include <cstring>

#include <curl/curl.h>
#include <strings.h>

#include <ctime>

#include "http/http_dates.h"

namespace {

size_t Collect(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<std::string*>(user);
    const size_t n = size * count;
    if (body->size() + n > kMaxUpstreamBody) return 0;  // makes curl fail the transfer
    body->append(data, n);
    return n;
}

// Keeps the Retry-After of the reply (a 429 or 503 may carry one).
size_t Header(char* data, size_t size, size_t count, void* user) {
    const size_t n = size * count;
    static const char kName[] = "retry-after:";
    if (n > sizeof kName - 1 && strncasecmp(data, kName, sizeof kName - 1) == 0) {
        std::string value(data + sizeof kName - 1, n - (sizeof kName - 1));
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
        *static_cast<int*>(user) = ReadRetryAfter(value, static_cast<int64_t>(std::time(nullptr)));
    }
    return n;
}

// The proxy a call went through, for the log: --proxy, else the one the
// environment names for the URL's scheme (libcurl's own choice), unless
// none is named. `out` is malloc'd.
bool ProxyUsed(CURL* curl, const std::string& url, const std::string& configured, char*& out) {
    std::string proxy = configured;
    if (proxy.empty()) {
        static const char* const kHttps[] = {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", nullptr};
        static const char* const kHttp[] = {"http_proxy", "all_proxy", "ALL_PROXY", nullptr};
        for (const char* const* name = url.compare(0, 6, "https:") == 0 ? kHttps : kHttp; *name; ++name) {
            const char* v = std::getenv(*name);
            if (v && *v) {
                proxy = v;
                break;
            }
        }
    }
    (void)curl;
    if (proxy.empty()) return false;
    out = strdup(proxy.c_str());
    return true;
}

}  // namespace

CurlClient::CurlClient() {
    static const bool once = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)once;
}

UpstreamReply CurlClient::Get(const std::string& url, std::chrono::milliseconds timeout) {
    UpstreamReply r;
    CURL* curl = curl_easy_init();
    if (!curl) {
        r.error = "cannot start an HTTP client";
        return r;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // threads: no SIGALRM for DNS time-outs
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent().c_str());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // gzip welcome
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &r.retryAfter);
    // --proxy and --no-proxy; without them libcurl reads https_proxy,
    // http_proxy and no_proxy from the environment.
    if (!Proxy().empty()) curl_easy_setopt(curl, CURLOPT_PROXY, Proxy().c_str());
    if (!NoProxy().empty()) curl_easy_setopt(curl, CURLOPT_NOPROXY, NoProxy().c_str());
    const CURLcode rc = curl_easy_perform(curl);
    long proxyStatus = 0;
    curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &proxyStatus);  // a tunnel's answer (https)
    if (rc == CURLE_OK) {
        r.transportOk = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.status);
    } else {
        r.error = curl_easy_strerror(rc);
        r.body.clear();
    }
    char* usedProxy = nullptr;
    const bool viaProxy = rc != CURLE_OK || r.status == 407 ? ProxyUsed(curl, url, Proxy(), usedProxy) : false;
    if (proxyStatus == 407 || (viaProxy && r.status == 407)) {
        // Not the source's answer: the proxy's, which wants a logon.
        r.transportOk = false;
        r.status = 0;
        r.body.clear();
        r.notSent = true;
        r.trouble = Trouble::ProxyNeedsPassword;
        r.error = "the proxy asks for a password (407)";
    }
    if (!r.transportOk && viaProxy) r.error += std::string(" (proxy ") + usedProxy + ")";
    std::free(usedProxy);
    curl_easy_cleanup(curl);
    return r;
}
