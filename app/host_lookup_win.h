#pragma once
// Asynchronous host name lookups shared by every socket of the program: at
// most one lookup per name is in flight, however often sockets ask, so a
// name server that never answers cannot pile up threads and handles; and a
// lookup's buffer lives until Windows has written into it, whoever gave up.
#include <winsock2.h>
#include <windows.h>

#include <string>

class HostLookupClient {
public:
    virtual ~HostLookupClient() = default;
    // On the UI thread; `address` in network order, valid when `found`.
    virtual void OnHostLookedUp(bool found, unsigned long address) = 0;
};

// Starts or joins the lookup of `host`; false when none could be started.
bool LookUpHost(const std::string& host, HostLookupClient* client);

// The client hears nothing more of any lookup (the lookups themselves run on).
void ForgetHostLookups(HostLookupClient* client);
