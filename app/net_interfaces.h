#pragma once
// Small interfaces the refresh cycle and the place search are written
// against, so their logic runs in unit tests with fakes.
#include <string>

// What a socket reports, on the thread that owns it. The refresh cycle and
// the place search receive these themselves.
class SocketEvents {
public:
    virtual ~SocketEvents() = default;
    virtual void OnConnect() = 0;
    virtual void OnDataArrival(long bytesTotal) = 0;
    virtual void OnError() = 0;
};

class Socket {
public:
    enum { kClosed = 0, kConnecting = 6, kConnected = 7, kError = 9 };
    virtual ~Socket() = default;
    // Where events go from now on; null drops them.
    virtual void SetEventSink(SocketEvents* sink) = 0;
    // Returns at once; completion arrives as an event.
    virtual void Connect(const std::string& host, unsigned short port) = 0;
    virtual void Send(const std::string& data) = 0;
    // Everything that is pending.
    virtual std::string Receive() = 0;
    // Takes nothing more from the peer: no data events follow on this
    // connection (an owner that holds all it will ever read calls this).
    virtual void StopReading() = 0;
    // Allowed in any state; no event of the old connection follows.
    virtual void Close() = 0;
    virtual int State() const = 0;
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool on) = 0;
    virtual bool Enabled() const = 0;
};
