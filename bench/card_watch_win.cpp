// Watches the card from beside it, for bench/card_bench.py: its memory and
// its GDI and USER objects, refreshes through its menu command, and start-up
// time against the bare window program. Usage:
//   card_watch.exe wait MS                until the card shows a forecast
//   card_watch.exe counts [CLASS]         memory and objects of the process owning the
//                                         top-level window CLASS (default: the card),
//                                         once that window exists and its program is idle
//   card_watch.exe refresh N MS           N times "Refresh Now", each waited for until the
//                                         forecast is back (at most MS ms)
//   card_watch.exe close [CLASS]          the card's Exit (another window: WM_CLOSE), waited for
//   card_watch.exe startup RUNS BARE CARD [CARD2...]
//                                         starts the bare program and each card in turn, RUNS
//                                         times each, timing each to an idle, visible window
// Prints "key=value" lines; exit code 0 when the command did what it says.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "card/card_layout.h"

namespace {

const char kCardClass[] = "CloudwickCard";
const char kBareClass[] = "CloudwickBareWindow";

double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

// Waits for a state by looking again every few milliseconds; false at the deadline.
template <class Done>
bool WaitFor(Done done, double ms) {
    const double end = NowMs() + ms;
    while (!done()) {
        if (NowMs() > end) return false;
        Sleep(2);
    }
    return true;
}

template <class Visit>
BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM lp) {
    return (*reinterpret_cast<Visit*>(lp))(hwnd) ? TRUE : FALSE;
}

// visit(hwnd) for every descendant of `parent`, or every top-level window
// when it is null, until visit returns false.
template <class Visit>
void EachWindow(HWND parent, Visit visit) {
    if (parent)
        EnumChildWindows(parent, VisitWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
    else
        EnumWindows(VisitWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
}

HWND FindControl(HWND window, int id) {
    HWND found = nullptr;
    EachWindow(window, [&](HWND hwnd) {
        if (GetDlgCtrlID(hwnd) == id) found = hwnd;
        return !found;
    });
    return found;
}

std::string Text(HWND hwnd) {
    char buf[256] = {};
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

// The card shows a forecast once its date line is filled.
bool ShowsForecast(HWND card) {
    HWND date = FindControl(card, IDC_TXTDATETIME);
    return date && !Text(date).empty();
}

// Committed private memory: what Windows calls private bytes. Wine does not
// fill PrivateUsage, so the address space is walked.
SIZE_T PrivateBytes(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION m;
    for (uintptr_t at = 0; VirtualQueryEx(process, reinterpret_cast<void*>(at), &m, sizeof m) == sizeof m;) {
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
        const uintptr_t next = reinterpret_cast<uintptr_t>(m.BaseAddress) + m.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// Names of Wine's GDI object types (the type byte of a handle table entry).
const char* GdiTypeName(int type) {
    switch (type) {
    case 0x01: return "dc";
    case 0x04: return "region";
    case 0x08: return "palette";
    case 0x09: return "bitmap";
    case 0x0a: return "font";
    case 0x10: return "brush";
    case 0x30: return "pen";
    case 0x50: return "extpen";
    default: return "other";
    }
}

// Wine has no GetGuiResources. Its GDI handle table, one per process and
// found through the PEB as on Windows, holds 24-byte entries: the type byte
// (offset 14) is 0 for a free entry, and bit 7 of byte 12 marks a stock
// object. `kinds` gets the count of each kind, as "bitmap:3,font:12".
int WineGdiObjects(HANDLE process, std::string& kinds) {
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG got = 0;
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, &got) != 0) return -1;
    const size_t kGdiTableInPeb = 0x94;  // PEB.GdiSharedHandleTable, 32-bit layout
    const size_t kEntries = 0x10000, kEntrySize = 24;
    DWORD table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kGdiTableInPeb, &table,
                           sizeof table, &read) || !table)
        return -1;
    std::vector<uint8_t> entries(kEntries * kEntrySize);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(uintptr_t(table)), entries.data(), entries.size(),
                           &read))
        return -1;
    int count = 0, byType[256] = {};
    for (size_t i = 0; i < kEntries; ++i) {
        const uint8_t* e = &entries[i * kEntrySize];
        if (e[14] != 0 && !(e[12] & 0x80)) {
            ++count;
            ++byType[e[14]];
        }
    }
    for (int t = 1; t < 256; ++t)
        if (byType[t]) kinds += (kinds.empty() ? "" : ",") + std::string(GdiTypeName(t)) + ":" + std::to_string(byType[t]);
    return count;
}

// Without GetGuiResources the USER objects that can be seen from outside are
// the process's windows: top-level, message-only and every child.
int WindowsOf(DWORD pid) {
    int count = 0;
    auto tally = [&](HWND hwnd) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        count += owner == pid;
        return true;
    };
    auto withChildren = [&](HWND hwnd) {
        tally(hwnd);
        EachWindow(hwnd, tally);
        return true;
    };
    EachWindow(nullptr, withChildren);
    for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
        withChildren(w);
    return count;
}

int Counts(const char* cls) {
    HWND window = nullptr;
    WaitFor([&] { return (window = FindWindowA(cls, nullptr)) != nullptr; }, 15000);
    DWORD pid = 0;
    if (window) GetWindowThreadProcessId(window, &pid);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid) : nullptr;
    if (!process) {
        std::printf("error=no_window class=%s\n", cls);
        return 1;
    }
    WaitForInputIdle(process, 15000);  // started and painted
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, &memory, sizeof memory);
    int gdi = int(GetGuiResources(process, GR_GDIOBJECTS));
    int user = int(GetGuiResources(process, GR_USEROBJECTS));
    const bool windowsCalls = gdi > 0 || user > 0;
    std::string kinds;
    if (!windowsCalls) {
        gdi = WineGdiObjects(process, kinds);
        user = WindowsOf(pid);
    }
    std::printf("private_bytes=%lu working_set=%lu gdi=%d user=%d counted_by=%s gdi_kinds=%s\n",
                static_cast<unsigned long>(PrivateBytes(process)), static_cast<unsigned long>(memory.WorkingSetSize),
                gdi, user, windowsCalls ? "GetGuiResources" : "gdi_table+windows", kinds.empty() ? "-" : kinds.c_str());
    CloseHandle(process);
    return gdi >= 0 ? 0 : 1;
}

int Wait(double ms) {
    const bool shown = WaitFor([] { HWND c = FindWindowA(kCardClass, nullptr); return c && ShowsForecast(c); }, ms);
    std::printf("forecast_shown=%d\n", shown ? 1 : 0);
    return shown ? 0 : 1;
}

int Refresh(int times, double ms) {
    HWND card = FindWindowA(kCardClass, nullptr);
    if (!card) return 1;
    const double start = NowMs();
    int done = 0;
    for (; done < times; ++done) {
        // Posted, as the tray menu's command arrives: the card blanks itself
        // when its message loop takes the command; the forecast comes back later.
        if (!PostMessageA(card, WM_COMMAND, MAKEWPARAM(IDM_REFRESH, 0), 0) ||
            !WaitFor([card] { return !ShowsForecast(card); }, ms) ||
            !WaitFor([card] { return ShowsForecast(card); }, ms))
            break;
    }
    std::printf("refreshed=%d ms=%.0f\n", done, NowMs() - start);
    return done == times ? 0 : 1;
}

void Close(HWND window, bool card) {
    if (card)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    else
        PostMessageA(window, WM_CLOSE, 0, 0);
}

int CloseCommand(const char* cls) {
    HWND window = FindWindowA(cls, nullptr);
    if (!window) return 1;
    Close(window, std::string(cls) == kCardClass);
    const bool gone = WaitFor([cls] { return FindWindowA(cls, nullptr) == nullptr; }, 10000);
    std::printf("closed=%d\n", gone ? 1 : 0);
    return gone ? 0 : 1;
}

// Milliseconds from CreateProcess until the program waits for input with its
// window of class `cls` shown (painted: an idle program has no paint pending).
// Negative if it did not get there.
double StartOnce(const std::string& exe, const char* cls) {
    const std::string folder = exe.substr(0, exe.find_last_of("\\/") + 1);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string command = "\"" + exe + "\"";
    const double start = NowMs();
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return -1;
    HWND window = nullptr;
    const bool ready = WaitForInputIdle(pi.hProcess, 30000) == 0 && WaitFor([&] {
        window = FindWindowA(cls, nullptr);
        DWORD pid = 0;
        if (window) GetWindowThreadProcessId(window, &pid);
        return pid == pi.dwProcessId && IsWindowVisible(window);
    }, 30000);
    const double took = NowMs() - start;
    if (window) Close(window, std::string(cls) == kCardClass);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ready ? took : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Starts the bare program and each card in turn, `runs` times; the first
// round warms the prefix's caches and is not counted.
int Startup(int runs, const std::string& bare, const std::vector<std::string>& cards) {
    std::vector<std::vector<double>> times(cards.size() + 1);
    for (int i = 0; i <= runs; ++i) {
        std::printf("run=%d", i);
        for (size_t p = 0; p < times.size(); ++p) {
            const double ms = p == 0 ? StartOnce(bare, kBareClass) : StartOnce(cards[p - 1], kCardClass);
            std::printf(" %s%zu_ms=%.1f", p == 0 ? "bare" : "card", p, ms);
            if (ms < 0) return 1;
            if (i > 0) times[p].push_back(ms);
        }
        std::printf("%s\n", i == 0 ? " warm_up=1" : "");
        std::fflush(stdout);
    }
    const double bareMs = Median(times[0]);
    std::printf("median_bare_ms=%.1f", bareMs);
    for (size_t p = 1; p < times.size(); ++p) {
        const double cardMs = Median(times[p]);
        std::printf(" median_card%zu_ms=%.1f ratio%zu=%.2f", p, cardMs, p, bareMs > 0 ? cardMs / bareMs : 0);
    }
    std::printf(" runs=%d\n", runs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    int rc = 2;
    if (command == "wait" && argc == 3)
        rc = Wait(std::atof(argv[2]));
    else if (command == "counts")
        rc = Counts(argc > 2 ? argv[2] : kCardClass);
    else if (command == "refresh" && argc == 4)
        rc = Refresh(std::atoi(argv[2]), std::atof(argv[3]));
    else if (command == "close")
        rc = CloseCommand(argc > 2 ? argv[2] : kCardClass);
    else if (command == "startup" && argc >= 5)
        rc = Startup(std::atoi(argv[2]), argv[3], std::vector<std::string>(argv + 4, argv + argc));
    else
        std::printf("usage: card_watch.exe wait MS | counts [CLASS] | refresh N MS | close [CLASS] | "
                    "startup RUNS BARE.exe CARD.exe [CARD2.exe...]\n");
    std::fflush(stdout);
    return rc;
}
