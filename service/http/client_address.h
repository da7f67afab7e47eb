#pragma once
// Which client a request is from, for its allowance, the connection limits
// and the log: the connection's peer address, or, when the peer is one of
// the reverse proxies the options trust (--trust-proxy ADDR[,ADDR...]), the
// address that proxy put in X-Forwarded-For. The list is read from its end,
// past further trusted proxies: earlier entries are the client's own word
// and can be made up.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// An address as the options and X-Forwarded-For write it: IPv4 in dotted
// decimal ("192.0.2.7"), IPv6 in hex groups with colons (no brackets; an
// IPv4 tail allowed).
bool IsIpv4Address(const std::string& s);
bool IsIpv6Address(const std::string& s);

std::string ClientAddress(const std::string& peer, const std::string& forwardedFor,
                          const std::vector<std::string>& trustedProxies);

// The address as written for comparison: "::ffff:192.0.2.1" (an IPv4
// client on a dual-stack socket) is 192.0.2.1; hex digits in lower case.
std::string PlainAddress(const std::string& address);

// What the per-address connection limit counts: an IPv4 address as it is,
// an IPv6 address by its /64 (one household or one server gets a /64).
// `bytes` is the IPv6 form (IPv4 mapped as ::ffff:a.b.c.d).
std::string ConnectionKey(const std::array<uint8_t, 16>& bytes);
