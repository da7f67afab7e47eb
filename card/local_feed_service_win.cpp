#include "card/local_feed_service_win.h"

#include <winsock2.h>
#include <windows.h>

#include "app/app_win.h"
#include "card/local_feed_service.h"

namespace {

const DWORD kCheckMs = 300;

// Does anything accept a connection on 127.0.0.1:80 within a short wait?
bool SomethingAnswersOnPort80() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(80);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool answered = connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == 0;
    if (!answered && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait = {0, static_cast<long>(kCheckMs * 1000)};
        answered = select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable);
    }
    closesocket(s);
    return answered;
}

}  // namespace

void StartLocalFeedServiceIfNeeded() {
    if (!UsesLocalService(CLOUDWICK_FEED_HOST, CLOUDWICK_PLACE_SEARCH_HOST)) return;
    const std::string exe = ExeFolder() + "\\" + kLocalServiceExe;
    const DWORD attributes = GetFileAttributesA(exe.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    // Whatever already answers there (a service started by hand, another
    // card's, some other server) is used as it is.
    if (SomethingAnswersOnPort80()) return;
    std::string command = LocalServiceCommandLine(exe, GetCurrentProcessId());
    STARTUPINFOA start = {};
    start.cb = sizeof(start);
    start.dwFlags = STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       ExeFolder().c_str(), &start, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}
