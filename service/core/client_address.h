#pragma once
// Which client a request is from, for its allowance and the log: the
// connection's peer address, or behind a reverse proxy that the options
// trust (--trust-proxy), the address that proxy put last in
// X-Forwarded-For (the one it saw itself; earlier entries are the
// client's own word and can be made up).
#include <string>

std::string ClientAddress(const std::string& peer, const std::string& forwardedFor, bool trustProxy);
