#pragma once
// Which TLS versions the WinHTTP session asks for, and what a failed secure
// connection means for it. Windows 7 SP1 and 8.0 offer only TLS 1.0 unless a
// session asks for more, and the weather source speaks TLS 1.2 and up; they
// accept the request once update KB3140245 is installed. Without the update
// the option is refused, and every HTTPS request later fails with a "secure
// failure" that looks like a certificate problem: the service says instead
// which update this Windows needs. Free of windows.h, so that the decisions
// are tested natively; winhttp_client_win.cpp makes the calls.
#include <functional>
#include <string>

namespace tls_setup {

// WINHTTP_FLAG_SECURE_PROTOCOL_* values, as winhttp.h defines them.
constexpr unsigned kTls10 = 0x00000080;
constexpr unsigned kTls11 = 0x00000200;
constexpr unsigned kTls12 = 0x00000800;
constexpr unsigned kTls13 = 0x00002000;

// The first line of the service's reply when a source cannot be reached for
// this reason (at most 40 characters, fit for the card's forecast line).
inline const char* NeedsUpdateReason() { return "Windows needs update KB3140245"; }

// The log's words for it, once per run.
inline const char* NeedsUpdateLog() {
    return "This Windows cannot use TLS 1.2, which the weather source requires: install update KB3140245 "
           "(https://support.microsoft.com/kb/3140245) and the \"DefaultSecureProtocols\" setting it "
           "describes, then restart cloudwick-feed";
}

struct SessionTls {
    bool tls12 = false;    // the session asks for TLS 1.2 (or newer)
    unsigned protocols = 0;  // what was set; 0: nothing could be set
};

// Asks the session for TLS 1.2 and 1.3 together (Windows 11), else for TLS
// 1.2 with 1.1 (Windows 7 SP1 with the update to Windows 10), else leaves
// the system's choice. `set` is the WinHTTP option call: true when taken.
inline SessionTls EnableModernTls(const std::function<bool(unsigned)>& set) {
    for (unsigned protocols : {kTls12 | kTls13, kTls12 | kTls11}) {
        if (set(protocols)) return SessionTls{true, protocols};
    }
    return SessionTls{};
}

// The error text of a request whose secure connection failed: the update
// message where the session could not ask for TLS 1.2, else `usual`.
inline std::string SecureFailureText(const SessionTls& session, const std::string& usual) {
    return session.tls12 ? usual : std::string(NeedsUpdateReason());
}

}  // namespace tls_setup
