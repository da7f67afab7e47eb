#include "app/host_lookup_win.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const char kClassName[] = "CloudwickHostLookups";
const UINT kMsgLookedUp = WM_APP + 0x100;

struct Lookup {
    std::string host;
    HANDLE handle = nullptr;
    char buffer[MAXGETHOSTSTRUCT];
    std::vector<HostLookupClient*> clients;
};

// A few at most (the card's two host names): a list searched in order.
std::vector<std::unique_ptr<Lookup>> inFlight;

void Finish(HANDLE handle, int error) {
    auto it = std::find_if(inFlight.begin(), inFlight.end(),
                           [handle](const std::unique_ptr<Lookup>& entry) { return entry->handle == handle; });
    if (it == inFlight.end()) return;
    std::unique_ptr<Lookup> done = std::move(*it);
    inFlight.erase(it);
    const hostent* he = reinterpret_cast<const hostent*>(done->buffer);
    unsigned long address = 0;
    const bool found = error == 0 && he->h_addr_list && he->h_addr_list[0] && he->h_length == 4;
    if (found) memcpy(&address, he->h_addr_list[0], sizeof(address));
    // A client may ask again from inside its callback: the lookup is gone by then.
    for (HostLookupClient* c : done->clients) c->OnHostLookedUp(found, address);
}

LRESULT CALLBACK LookupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgLookedUp) {
        Finish(reinterpret_cast<HANDLE>(wp), WSAGETASYNCERROR(lp));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND LookupWindow() {
    static HWND window = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = LookupProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        RegisterClassA(&wc);
        return CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                               nullptr);
    }();
    return window;
}

}  // namespace

bool LookUpHost(const std::string& host, HostLookupClient* client) {
    for (auto& entry : inFlight)
        if (entry->host == host) {
            entry->clients.push_back(client);
            return true;
        }
    std::unique_ptr<Lookup> lookup(new Lookup());
    lookup->handle = WSAAsyncGetHostByName(LookupWindow(), kMsgLookedUp, host.c_str(), lookup->buffer,
                                           sizeof(lookup->buffer));
    if (!lookup->handle) return false;
    lookup->clients.push_back(client);
    lookup->host = host;
    inFlight.push_back(std::move(lookup));
    return true;
}

void ForgetHostLookups(HostLookupClient* client) {
    for (auto& entry : inFlight) {
        auto& c = entry->clients;
        c.erase(std::remove(c.begin(), c.end(), client), c.end());
    }
}
