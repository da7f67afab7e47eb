#include "http/request_screen.h"

#include <algorithm>

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

Refusal Refuse(int status, const std::string& reason, bool close) { return Refusal{RefusalReply(status, reason), close}; }

}  // namespace

ServiceReply RefusalReply(int status, const std::string& reason) {
    ServiceReply r;
    r.status = status;
    r.contentType = "text/plain; charset=us-ascii";
    r.body = reason + "\n";
    r.reason = reason;
    return r;
}

std::string HostName(std::string_view host) {
    std::string h(host);
    for (char& c : h)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!h.empty() && h[0] == '[') {
        const std::size_t close = h.find(']');
        return close == std::string::npos ? h : h.substr(0, close + 1);
    }
    const std::size_t colon = h.find(':');
    return colon == std::string::npos ? h : h.substr(0, colon);
}

std::optional<Refusal> ScreenRequest(const RequestFacts& f, const ScreenRules& rules) {
    // Framing first: after a doubtful length nothing on the connection can be trusted.
    if (f.contentLengths > 1 || (f.contentLengths > 0 && f.transferEncoding))
        return Refuse(400, "Conflicting message lengths", true);
    if (f.transferEncoding || f.nonZeroLength) return Refuse(400, "No request body is taken here", true);
    if (f.hosts.size() > 1) return Refuse(400, "More than one Host header", true);
    if (f.hosts.empty() && f.http11) return Refuse(400, "No Host header", false);
    if (!f.hosts.empty()) {
        const std::string name = HostName(f.hosts[0]);
        if (std::find(rules.allowedHosts.begin(), rules.allowedHosts.end(), name) == rules.allowedHosts.end())
            return Refuse(403, "Not for this host name", false);
    }
    if (f.origin || f.referer || (f.secFetchSite && !EqualsNoCase(*f.secFetchSite, "none")))
        return Refuse(403, "Not for web pages", false);
    return std::nullopt;
}
