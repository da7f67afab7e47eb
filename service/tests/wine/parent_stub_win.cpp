// A stand-in for the card in the Wine tests: starts cloudwick-feed.exe
// hidden, passing its own process id as the card does, prints the
// service's process id, then lives until its standard input ends (the test
// closes it, or kills this process outright).
//   feed_parent_stub.exe FEED_EXE [--by-hand] [service options...]
// --by-hand starts the service without --parent-pid, as a user would.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: feed_parent_stub FEED_EXE [--by-hand] [options...]\n");
        return 2;
    }
    std::string command = std::string("\"") + argv[1] + "\"";
    int first = 2;
    if (argc > 2 && std::string(argv[2]) == "--by-hand") {
        first = 3;
    } else {
        command += " --parent-pid " + std::to_string(GetCurrentProcessId());
    }
    for (int i = first; i < argc; ++i) command += std::string(" ") + argv[i];
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        std::printf("failed %lu\n", GetLastError());
        return 1;
    }
    std::printf("started %lu\n", pi.dwProcessId);
    std::fflush(stdout);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    return 0;
}
