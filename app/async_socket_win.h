#pragma once
// A TCP client on the UI thread: asynchronous host lookup and connect,
// with every completion delivered as a window message, so nothing blocks.
#include <winsock2.h>
#include <windows.h>

#include <string>

#include "app/host_lookup_win.h"
#include "app/net_interfaces.h"

class AsyncSocket : public Socket, private HostLookupClient {
public:
    enum { kResolving = 4, kClosing = 8 };
    // Most bytes held between two reads by the owner.
    static const size_t kMaxPending = 256 * 1024;

    AsyncSocket();
    ~AsyncSocket() override;

    void SetEventSink(SocketEvents* sink) override { events_ = sink; }
    void Connect(const std::string& host, unsigned short port) override;
    void Send(const std::string& data) override;
    std::string Receive() override;
    void StopReading() override;
    void Close() override;
    int State() const override { return state_; }
    bool HostNotFound() const override { return notFound_; }

    static bool Startup();  // WSAStartup once per process

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnHostLookedUp(bool found, unsigned long address) override;
    void OnSelect(SOCKET s, int event, int error);
    void StartConnect(unsigned long address);
    void Fail();
    void ReportError();
    void Drain();

    SocketEvents* events_ = nullptr;
    HWND hwnd_ = nullptr;
    SOCKET socket_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    int state_ = kClosed;
    unsigned generation_ = 0;  // tells stale messages of a closed connection apart
    bool reading_ = true;
    bool notFound_ = false;  // the last failure was the name lookup
    std::string pending_;
};
