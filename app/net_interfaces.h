#pragma once
// Small interfaces the refresh cycle and the place search are written
// against, so their logic runs in unit tests with fakes.
#include <cstdint>
#include <string>

// What a socket reports, on the thread that owns it. The refresh cycle and
// the place search receive these themselves.
class SocketEvents {
public:
    virtual ~SocketEvents() = default;
    virtual void OnConnect() = 0;
    virtual void OnDataArrival(long bytesTotal) = 0;
    virtual void OnError() = 0;
    // The peer ended the connection in good order, after everything it sent
    // has been delivered as data.
    virtual void OnClose() = 0;
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
    // The last failure was the host name not resolving.
    virtual bool HostNotFound() const = 0;
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool on) = 0;
    virtual bool Enabled() const = 0;
};

// Milliseconds from some fixed start; goes on while the computer sleeps.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t NowMs() const = 0;
};

// The feed service on this machine, kept running by the card. The refresh
// cycle and the place search ask it before they connect and tell it when
// nothing answered.
class ServiceLink {
public:
    virtual ~ServiceLink() = default;
    // False while the service is starting up: connect once this turns true.
    virtual bool MayConnect() = 0;
    // A connection failed (refused, reset). True when the service is being
    // started again: connect once MayConnect() says so.
    virtual bool BringBack() = 0;
    // Another program holds the port our service should listen on.
    virtual bool PortTakenByOther() const = 0;
    // The port to reach `host` on: the one the card's own service told when
    // `host` is this machine, otherwise 80.
    virtual unsigned short PortFor(const std::string& host) {
        (void)host;
        return 80;
    }
    // Connected to `port`, before anything is sent: false when the listener
    // is not the card's service (it is then started again: connect once
    // MayConnect() says so).
    virtual bool ListenerIsOurs(unsigned short port) {
        (void)port;
        return true;
    }
    // Connected, and nothing came within the time-out: true when the card
    // keeps the service (it is ended and started again).
    virtual bool NoAnswer() { return false; }
    // Why there is no service, in words for the card's line; empty when
    // nothing is known.
    virtual std::string WhyNoService() const { return std::string(); }
};

