#include "app/async_socket_win.h"

namespace {
const char kClassName[] = "CloudwickSocketSink";
const UINT kMsgFailed = WM_APP + 0x101;
// Each connection selects on its own message id, so that events of a closed
// socket still in the queue can never reach the next connection.
const UINT kMsgSelectBase = WM_APP + 0x200;
const UINT kSelectIds = 0x100;

void RegisterSinkClass() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
}
}  // namespace

bool AsyncSocket::Startup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

AsyncSocket::AsyncSocket() {
    RegisterSinkClass();
    hwnd_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AsyncSocket::WndProc));
}

AsyncSocket::~AsyncSocket() {
    Close();
    if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT CALLBACK AsyncSocket::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<AsyncSocket*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self) {
        if (msg == kMsgFailed) {
            if (wp == self->generation_ && self->state_ == kError) self->ReportError();
            return 0;
        }
        if (msg >= kMsgSelectBase && msg < kMsgSelectBase + kSelectIds) {
            if (msg == kMsgSelectBase + self->generation_ % kSelectIds)
                self->OnSelect(static_cast<SOCKET>(wp), WSAGETSELECTEVENT(lp), WSAGETSELECTERROR(lp));
            return 0;
        }
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void AsyncSocket::Connect(const std::string& host, unsigned short port) {
    Close();
    port_ = port;
    unsigned long address = inet_addr(host.c_str());
    if (address != INADDR_NONE) {
        StartConnect(address);
        return;
    }
    state_ = kResolving;
    if (!LookUpHost(host, this)) {
        notFound_ = true;
        Fail();
    }
}

void AsyncSocket::OnHostLookedUp(bool found, unsigned long address) {
    if (state_ != kResolving) return;
    if (found) {
        StartConnect(address);
    } else {
        notFound_ = true;
        Fail();
    }
}

void AsyncSocket::StartConnect(unsigned long address) {
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) {
        Fail();
        return;
    }
    state_ = kConnecting;
    WSAAsyncSelect(socket_, hwnd_, kMsgSelectBase + generation_ % kSelectIds, FD_CONNECT | FD_READ | FD_CLOSE);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port_);
    to.sin_addr.s_addr = address;
    if (connect(socket_, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK)
        Fail();
}

void AsyncSocket::OnSelect(SOCKET s, int event, int error) {
    if (s != socket_) return;
    switch (event) {
    case FD_CONNECT:
        if (error != 0) {
            Fail();
        } else {
            state_ = kConnected;
            if (events_) events_->OnConnect();
        }
        break;
    case FD_READ:
        if (state_ == kConnected && reading_) Drain();
        break;
    case FD_CLOSE:
        // Whatever the peer sent before closing is still delivered.
        if (state_ == kConnected && reading_) Drain();
        if (state_ == kConnected) state_ = error != 0 ? static_cast<int>(kError) : static_cast<int>(kClosing);
        if (error != 0) {
            ReportError();
        } else if (events_) {
            // Whatever the peer sent is in; the owner may read a short reply now.
            events_->OnClose();
        }
        break;
    }
}

void AsyncSocket::Drain() {
    char buffer[16384];
    size_t before = pending_.size();
    // Bounded: one event never reads more than the pending limit.
    while (pending_.size() < kMaxPending) {
        int n = recv(socket_, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        pending_.append(buffer, static_cast<size_t>(n));
    }
    size_t got = pending_.size() - before;
    if (got > 0 && events_) events_->OnDataArrival(static_cast<long>(got));
}

void AsyncSocket::Send(const std::string& data) {
    if (socket_ == INVALID_SOCKET) return;
    send(socket_, data.data(), static_cast<int>(data.size()), 0);
}

std::string AsyncSocket::Receive() {
    std::string out;
    out.swap(pending_);
    return out;
}

void AsyncSocket::StopReading() {
    reading_ = false;
    // No more events of this connection: the owner closes it when it is done.
    if (socket_ != INVALID_SOCKET) WSAAsyncSelect(socket_, hwnd_, 0, 0);
}

void AsyncSocket::Close() {
    if (state_ == kResolving) ForgetHostLookups(this);
    if (socket_ != INVALID_SOCKET) {
        WSAAsyncSelect(socket_, hwnd_, 0, 0);
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    ++generation_;
    notFound_ = false;
    pending_.clear();
    reading_ = true;
    state_ = kClosed;
}

void AsyncSocket::ReportError() {
    if (events_) events_->OnError();
}

void AsyncSocket::Fail() {
    // Reported as an event, never from inside the call that failed.
    state_ = kError;
    PostMessageA(hwnd_, kMsgFailed, generation_, 0);
}
