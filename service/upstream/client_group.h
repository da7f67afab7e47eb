#pragma once
// Which client a request counts for in the queues to the sources: an IPv4
// address as it is, an IPv6 address by its /64 network (one machine or
// home usually has a whole /64), an IPv4-mapped IPv6 address as its IPv4
// address.
#include <string>

// "192.0.2.7" -> "192.0.2.7"; "2001:db8:1:2::10" -> "2001:db8:1:2::/64".
std::string ClientGroup(const std::string& address);
