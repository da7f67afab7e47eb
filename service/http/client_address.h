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

// One spelling for one address, so that two ways of writing it compare
// equal: IPv4 without leading zeros; an IPv4 client on a dual-stack socket
// ("::ffff:192.0.2.1") as its IPv4 address; other IPv6 addresses as
// RFC 5952 writes them ("2001:db8::1"). Empty when `address` is neither.
std::string CanonicalAddress(const std::string& address);

// CanonicalAddress, or `address` in lower case when it is not an address.
std::string PlainAddress(const std::string& address);

// What the per-address connection limit counts: an IPv4 address as it is,
// an IPv6 address by its /64 (one household or one server gets a /64).
// `bytes` is the IPv6 form (IPv4 mapped as ::ffff:a.b.c.d).
std::string ConnectionKey(const std::array<uint8_t, 16>& bytes);
