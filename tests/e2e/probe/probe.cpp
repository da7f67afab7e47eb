// probe: reads the card and its dialog from outside, as a user (or a screen
// reader) would, and drives them with window messages and real input.
//
// Usage: probe CMD ARGS...        one command, then exit (status 0 = ok)
//        probe serve              commands from stdin, one a line; each answer
//                                 ends with a line "END 0" or "END 1"
// Targets: a window class name ("CloudwickCard"), "menu" (the open popup
// menu), "tray" (the shell's tray window) or a handle "0x1234".
// Text is printed quoted, with \r \n \t \\ \" escaped and bytes >= 0x7F as \xNN,
// so a test sees the exact ANSI bytes.
#include <windows.h>
#include <tlhelp32.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        char buf[8];
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    snprintf(buf, sizeof buf, "\\x%02X", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// Undoes Quote's escapes, so arguments can carry CR, quotes or 0xB0.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) { out += s[i]; continue; }
        char c = s[++i];
        if (c == 'r') out += '\r';
        else if (c == 'n') out += '\n';
        else if (c == 't') out += '\t';
        else if (c == 's') out += ' ';
        else if (c == 'x' && i + 2 < s.size() + 1) {
            out += static_cast<char>(strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else out += c;
    }
    return out;
}

long Num(const std::string& s) { return strtol(s.c_str(), nullptr, 0); }

std::string ClassOf(HWND h) {
    char buf[256] = "";
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

// WM_GETTEXT through SendMessageTimeout, so a hung card cannot hang the probe.
std::string TextOf(HWND h) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 3000, &len)) return "<hung>";
    std::vector<char> buf(len + 2, '\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutA(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(buf.data()),
                        SMTO_NORMAL, 3000, &got);
    return std::string(buf.data(), got);
}

HWND FindMenuWindow() {
    HWND h = nullptr;
    while ((h = FindWindowExA(nullptr, h, "#32768", nullptr)) != nullptr)
        if (IsWindowVisible(h)) return h;
    return nullptr;
}

HWND FindTarget(const std::string& t) {
    if (t.rfind("0x", 0) == 0) return reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoul(t.c_str(), nullptr, 16)));
    if (t == "menu") return FindMenuWindow();
    if (t == "tray") return FindWindowA("Shell_TrayWnd", nullptr);
    return FindWindowA(t.c_str(), nullptr);
}

struct FindId { int id; HWND found; };
BOOL CALLBACK FindIdProc(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FindId*>(lp);
    if (GetDlgCtrlID(h) == f->id) { f->found = h; return FALSE; }
    return TRUE;
}
// EnumChildWindows walks all descendants, so controls inside frames are found.
HWND FindControl(HWND top, int id) {
    FindId f{id, nullptr};
    EnumChildWindows(top, FindIdProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

bool IsTopmost(HWND h) { return (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void PrintWindowLine(const char* tag, HWND h) {
    RECT r{}, c{};
    GetWindowRect(h, &r);
    GetClientRect(h, &c);
    POINT org{0, 0};
    ClientToScreen(h, &org);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    printf("%s hwnd=0x%lx class=%s text=%s rect=%ld,%ld,%ld,%ld size=%ld,%ld client=%ld,%ld "
           "client_origin=%ld,%ld style=0x%08lx exstyle=0x%08lx visible=%d enabled=%d "
           "topmost=%d owner=0x%lx parent=0x%lx iconic=%d pid=%lu\n",
           tag, (unsigned long)(uintptr_t)h, ClassOf(h).c_str(), Quote(TextOf(h)).c_str(),
           r.left, r.top, r.right, r.bottom, r.right - r.left, r.bottom - r.top,
           c.right, c.bottom, org.x, org.y,
           (unsigned long)GetWindowLongA(h, GWL_STYLE), (unsigned long)GetWindowLongA(h, GWL_EXSTYLE),
           IsWindowVisible(h) ? 1 : 0, IsWindowEnabled(h) ? 1 : 0, IsTopmost(h) ? 1 : 0,
           (unsigned long)(uintptr_t)GetWindow(h, GW_OWNER),
           (unsigned long)(uintptr_t)GetAncestor(h, GA_PARENT), IsIconic(h) ? 1 : 0, pid);
}

void PrintControlLine(HWND h) {
    RECT s{};
    GetWindowRect(h, &s);
    HWND parent = GetParent(h);
    POINT p{s.left, s.top};
    ScreenToClient(parent, &p);
    printf("ctl id=%d class=%s parent_id=%d text=%s rect=%ld,%ld,%ld,%ld screen=%ld,%ld,%ld,%ld "
           "style=0x%08lx exstyle=0x%08lx visible=%d enabled=%d hwnd=0x%lx\n",
           GetDlgCtrlID(h), ClassOf(h).c_str(),
           (GetWindowLongA(parent, GWL_STYLE) & WS_CHILD) ? GetDlgCtrlID(parent) : 0,
           Quote(TextOf(h)).c_str(), p.x, p.y, s.right - s.left, s.bottom - s.top,
           s.left, s.top, s.right - s.left, s.bottom - s.top,
           (unsigned long)GetWindowLongA(h, GWL_STYLE), (unsigned long)GetWindowLongA(h, GWL_EXSTYLE),
           IsWindowVisible(h) ? 1 : 0, IsWindowEnabled(h) ? 1 : 0, (unsigned long)(uintptr_t)h);
}

BOOL CALLBACK TreeProc(HWND h, LPARAM) { PrintControlLine(h); return TRUE; }

HWND NeedTarget(const Args& a, size_t i) {
    if (a.size() <= i) { printf("error missing target\n"); return nullptr; }
    HWND h = FindTarget(a[i]);
    if (!h || !IsWindow(h)) printf("error no window %s\n", a[i].c_str());
    return (h && IsWindow(h)) ? h : nullptr;
}

HWND NeedControl(const Args& a, size_t i) {
    HWND top = NeedTarget(a, i);
    if (!top) return nullptr;
    if (a.size() <= i + 1) { printf("error missing control id\n"); return nullptr; }
    HWND c = FindControl(top, static_cast<int>(Num(a[i + 1])));
    if (!c) printf("error no control %s\n", a[i + 1].c_str());
    return c;
}

double NowMs() {
    static LARGE_INTEGER freq{};
    if (!freq.QuadPart) QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

bool TextMatches(const std::string& text, const std::string& op, const std::string& want) {
    if (op == "eq") return text == want;
    if (op == "ne") return text != want;
    if (op == "contains") return text.find(want) != std::string::npos;
    if (op == "prefix") return text.rfind(want, 0) == 0;
    if (op == "minlen") return text.size() >= static_cast<size_t>(Num(want));
    if (op == "maxlen") return text.size() <= static_cast<size_t>(Num(want));
    return false;
}

// ---- real input (goes through the window system like a user's hand) ----

void SendMouse(DWORD flags, LONG x = 0, LONG y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        in.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        in.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    }
    SendInput(1, &in, sizeof in);
}

// Returns once the window system reports the cursor there, so that a
// message sent next (a tray callback, a press) meets the new position.
void MoveMouse(LONG x, LONG y) {
    SetCursorPos(x, y);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    for (int i = 0; i < 50; ++i) {
        POINT p{};
        GetCursorPos(&p);
        if (p.x == x && p.y == y) break;
        Sleep(10);
    }
    Sleep(20);
}

DWORD ButtonFlag(const std::string& b, bool down) {
    if (b == "right") return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    if (b == "middle") return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
    return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
}

void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

// ---- the tray ----

// NIM_MODIFY with no flags changes nothing but fails when the shell has no
// icon for (window, id): an outside test of whether the card's icon exists.
bool TrayIconPresent(HWND card, UINT id) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = card;
    nid.uID = id;
    nid.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

// The shell keeps each icon's tip in its tooltip control. The control lives in
// the shell's process, so the record and the text buffer are placed there.
struct TipTool { HWND tooltip; HWND owner; UINT_PTR id; std::string text; };

BOOL CALLBACK CollectTooltips(HWND h, LPARAM lp) {
    if (ClassOf(h) == "tooltips_class32") reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

std::vector<TipTool> ShellTips() {
    std::vector<TipTool> out;
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    if (!tray) return out;
    DWORD pid = 0;
    GetWindowThreadProcessId(tray, &pid);
    HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!proc) return out;
    std::vector<HWND> tips;
    EnumWindows(CollectTooltips, reinterpret_cast<LPARAM>(&tips));
    const SIZE_T textSize = 1024;
    char* remote = static_cast<char*>(VirtualAllocEx(proc, nullptr, sizeof(TTTOOLINFOA) + textSize,
                                                     MEM_COMMIT, PAGE_READWRITE));
    for (HWND t : tips) {
        DWORD tpid = 0;
        GetWindowThreadProcessId(t, &tpid);
        if (tpid != pid || !remote) continue;
        int n = static_cast<int>(SendMessageA(t, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            TTTOOLINFOA ti{};
            ti.cbSize = TTTOOLINFOA_V2_SIZE;
            ti.lpszText = remote + sizeof(TTTOOLINFOA);
            std::vector<char> zero(textSize, 0);
            WriteProcessMemory(proc, remote, &ti, sizeof ti, nullptr);
            WriteProcessMemory(proc, remote + sizeof(TTTOOLINFOA), zero.data(), textSize, nullptr);
            if (!SendMessageA(t, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote))) continue;
            ReadProcessMemory(proc, remote, &ti, sizeof ti, nullptr);
            ti.lpszText = remote + sizeof(TTTOOLINFOA);
            WriteProcessMemory(proc, remote, &ti, sizeof ti, nullptr);
            SendMessageA(t, TTM_GETTEXTA, textSize - 1, reinterpret_cast<LPARAM>(remote));
            std::vector<char> text(textSize, 0);
            ReadProcessMemory(proc, remote + sizeof(TTTOOLINFOA), text.data(), textSize - 1, nullptr);
            out.push_back({t, ti.hwnd, ti.uId, std::string(text.data())});
        }
    }
    if (remote) VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    CloseHandle(proc);
    return out;
}

// ---- the popup menu ----

void PrintMenu(HWND menuWnd) {
    HMENU m = reinterpret_cast<HMENU>(SendMessageA(menuWnd, MN_GETHMENU, 0, 0));
    int n = GetMenuItemCount(m);
    RECT r{};
    GetWindowRect(menuWnd, &r);
    printf("menu hwnd=0x%lx hmenu=0x%lx count=%d rect=%ld,%ld,%ld,%ld\n",
           (unsigned long)(uintptr_t)menuWnd, (unsigned long)(uintptr_t)m, n,
           r.left, r.top, r.right, r.bottom);
    for (int i = 0; i < n; ++i) {
        char text[256] = "";
        MENUITEMINFOA mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = sizeof text - 1;
        GetMenuItemInfoA(m, static_cast<UINT>(i), TRUE, &mi);
        RECT ir{};
        GetMenuItemRect(nullptr, m, static_cast<UINT>(i), &ir);
        printf("item pos=%d id=%u text=%s separator=%d enabled=%d checked=%d rect=%ld,%ld,%ld,%ld\n",
               i, mi.wID, Quote(text).c_str(), (mi.fType & MFT_SEPARATOR) ? 1 : 0,
               (mi.fState & (MFS_DISABLED | MFS_GRAYED)) ? 0 : 1, (mi.fState & MFS_CHECKED) ? 1 : 0,
               ir.left, ir.top, ir.right, ir.bottom);
    }
}

// ---- a reference window, to calibrate outside checks (taskbar buttons) ----

LRESULT CALLBACK RefProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(h, m, w, l);
}

// reference KIND MS [TIP [delete]]: a window to try the outside checks on;
// it closes itself after MS milliseconds.
int RunReferenceWindow(const Args& a) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RefProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ProbeReference";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassA(&wc);
    // normal: an ordinary application window; tool: WS_POPUP with WS_EX_TOOLWINDOW, as the card;
    // owned: the same, owned by a hidden window
    std::string kind = a.size() > 1 ? a[1] : "normal";
    bool tool = kind == "tool" || kind == "owned";
    HWND owner = kind == "owned" ? CreateWindowExA(0, "ProbeReference", "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                                   nullptr, wc.hInstance, nullptr)
                                 : nullptr;
    HWND h = CreateWindowExA(tool ? WS_EX_TOOLWINDOW : 0, "ProbeReference", "Probe reference",
                             tool ? WS_POPUP : WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, owner, nullptr,
                             wc.hInstance, nullptr);
    ShowWindow(h, SW_SHOWNOACTIVATE);
    if (a.size() > 3) {  // with a tray icon whose tip is the fourth word
        NOTIFYICONDATAA nid{};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = h;
        nid.uID = 1;
        nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
        nid.uCallbackMessage = WM_USER + 1;
        nid.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        lstrcpynA(nid.szTip, Unescape(a[3]).c_str(), sizeof nid.szTip);
        Shell_NotifyIconA(NIM_ADD, &nid);
    }
    printf("reference hwnd=0x%lx\n", (unsigned long)(uintptr_t)h);
    fflush(stdout);
    DWORD ms = a.size() > 2 ? static_cast<DWORD>(Num(a[2])) : 10000;
    SetTimer(h, 1, ms, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) {
            if (a.size() > 4 && a[4] == "delete") {  // a well-behaved exit removes its icon
                NOTIFYICONDATAA nid{};
                nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
                nid.hWnd = h;
                nid.uID = 1;
                Shell_NotifyIconA(NIM_DELETE, &nid);
            }
            DestroyWindow(h);
        }
        DispatchMessageA(&msg);
    }
    return 0;
}

// Wine's taskbar keeps one Button child per window, with the window's handle
// as its control id.
// ---- a reference popup menu ----
// Menus of another process cannot be read through the menu functions (Wine
// answers -1 items), so a test compares the card's open menu, pixel for
// pixel, with this one built from the expected items, and takes the item
// rectangles from here.
struct RefMenu { HMENU menu; int count; DWORD shownMs; bool printed; };
RefMenu g_ref{};

void CALLBACK RefMenuTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND m = FindMenuWindow();
    if (!m) return;
    if (!g_ref.printed) {
        RECT mr{};
        GetWindowRect(m, &mr);
        printf("refmenu rect=%ld,%ld,%ld,%ld\n", mr.left, mr.top, mr.right, mr.bottom);
        for (int i = 0; i < g_ref.count; ++i) {
            RECT r{};
            GetMenuItemRect(nullptr, g_ref.menu, static_cast<UINT>(i), &r);
            printf("refitem pos=%d rel=%ld,%ld,%ld,%ld\n", i, r.left - mr.left, r.top - mr.top, r.right - mr.left,
                   r.bottom - mr.top);
        }
        printf("refmenu shown\n");
        fflush(stdout);
        g_ref.printed = true;
    }
    if (GetTickCount() - g_ref.shownMs > 0 && g_ref.printed) {
        static DWORD first = GetTickCount();
        if (GetTickCount() - first > g_ref.shownMs) EndMenu();
    }
}

// refmenu X Y MS ITEM...: ITEM is a caption, "caption:grayed", or "-".
int RunReferenceMenu(const Args& a) {
    if (a.size() < 5) return 1;
    WNDCLASSA wc{};
    wc.lpfnWndProc = RefProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ProbeMenuOwner";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "ProbeMenuOwner", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    HMENU menu = CreatePopupMenu();
    int id = 1;
    for (size_t i = 4; i < a.size(); ++i) {
        std::string item = Unescape(a[i]);
        if (item == "-") { AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); continue; }
        UINT flags = MF_STRING;
        size_t colon = item.rfind(":grayed");
        if (colon != std::string::npos && colon + 7 == item.size()) { flags |= MF_GRAYED; item.resize(colon); }
        AppendMenuA(menu, flags, static_cast<UINT_PTR>(id++), item.c_str());
    }
    g_ref = {menu, GetMenuItemCount(menu), static_cast<DWORD>(Num(a[3])), false};
    SetTimer(nullptr, 0, 50, RefMenuTimer);
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_RETURNCMD, static_cast<int>(Num(a[1])), static_cast<int>(Num(a[2])), 0, owner, nullptr);
    printf("refmenu closed\n");
    fflush(stdout);
    DestroyWindow(owner);
    return 0;
}

struct CountButtons { int visible; HWND of; bool forWindow; };
BOOL CALLBACK CountButtonProc(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<CountButtons*>(lp);
    if (ClassOf(h) != "Button" || !IsWindowVisible(h)) return TRUE;
    c->visible++;
    if (c->of && static_cast<uintptr_t>(static_cast<UINT>(GetDlgCtrlID(h))) == reinterpret_cast<uintptr_t>(c->of))
        c->forWindow = true;
    return TRUE;
}

// ---- the commands ----

int Run(const Args& a) {
    if (a.empty()) { printf("error no command\n"); return 1; }
    const std::string& cmd = a[0];

    if (cmd == "info") {  // info TARGET
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        PrintWindowLine("window", h);
        return 0;
    }
    if (cmd == "tree") {  // tree TARGET: the window, then every descendant
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        PrintWindowLine("window", h);
        EnumChildWindows(h, TreeProc, 0);
        return 0;
    }
    if (cmd == "toplevels") {  // every top-level window of the desktop
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) PrintWindowLine("top", h);
        return 0;
    }
    if (cmd == "wait") {  // wait TARGET exists|gone|visible|hidden TIMEOUT_MS
        if (a.size() < 4) { printf("error usage\n"); return 1; }
        double start = NowMs(), limit = static_cast<double>(Num(a[3]));
        for (;;) {
            HWND h = FindTarget(a[1]);
            bool exists = h && IsWindow(h);
            bool vis = exists && IsWindowVisible(h);
            const std::string& st = a[2];
            bool ok = (st == "exists" && exists) || (st == "gone" && !exists) ||
                      (st == "visible" && vis) || (st == "hidden" && exists && !vis);
            if (ok) { printf("ok ms=%.0f\n", NowMs() - start); return 0; }
            if (NowMs() - start > limit) { printf("timeout exists=%d visible=%d\n", exists, vis); return 1; }
            Sleep(20);
        }
    }
    if (cmd == "text") {  // text TARGET ID
        HWND c = NeedControl(a, 1);
        if (!c) return 1;
        printf("text %s\n", Quote(TextOf(c)).c_str());
        return 0;
    }
    if (cmd == "waittext") {  // waittext TARGET ID eq|ne|contains|prefix|minlen|maxlen VALUE TIMEOUT_MS
        if (a.size() < 6) { printf("error usage\n"); return 1; }
        HWND c = NeedControl(a, 1);
        if (!c) return 1;
        std::string want = Unescape(a[4]);
        double start = NowMs(), limit = static_cast<double>(Num(a[5]));
        for (;;) {
            std::string t = TextOf(c);
            if (TextMatches(t, a[3], want)) { printf("ok ms=%.0f text=%s\n", NowMs() - start, Quote(t).c_str()); return 0; }
            if (NowMs() - start > limit) { printf("timeout text=%s\n", Quote(t).c_str()); return 1; }
            Sleep(10);
        }
    }
    if (cmd == "watch") {  // watch TARGET ID MS: every change of a control's text and rect, timed
        if (a.size() < 4) { printf("error usage\n"); return 1; }
        HWND c = NeedControl(a, 1);
        if (!c) return 1;
        double start = NowMs(), limit = static_cast<double>(Num(a[3]));
        std::string last = "\x01";
        RECT lastR{-1, -1, -1, -1};
        while (NowMs() - start < limit) {
            std::string t = TextOf(c);
            RECT r{};
            GetWindowRect(c, &r);
            if (t != last || memcmp(&r, &lastR, sizeof r) != 0) {
                printf("change ms=%.0f text=%s screen=%ld,%ld,%ld,%ld\n", NowMs() - start, Quote(t).c_str(),
                       r.left, r.top, r.right - r.left, r.bottom - r.top);
                last = t;
                lastR = r;
            }
            Sleep(5);
        }
        return 0;
    }
    if (cmd == "send" || cmd == "post") {  // send|post TARGET [ID] MSG WPARAM LPARAM
        if (a.size() < 5) { printf("error usage\n"); return 1; }
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        size_t i = 2;
        if (a.size() >= 6) { h = FindControl(h, static_cast<int>(Num(a[2]))); i = 3; }
        if (!h) { printf("error no control\n"); return 1; }
        UINT msg = static_cast<UINT>(Num(a[i]));
        WPARAM wp = static_cast<WPARAM>(Num(a[i + 1]));
        LPARAM lp = static_cast<LPARAM>(Num(a[i + 2]));
        if (cmd == "post") { printf("posted %d\n", PostMessageA(h, msg, wp, lp) ? 1 : 0); return 0; }
        DWORD_PTR res = 0;
        BOOL ok = SendMessageTimeoutA(h, msg, wp, lp, SMTO_NORMAL, 5000, &res) != 0;
        printf("result ok=%d value=%ld\n", ok ? 1 : 0, static_cast<long>(res));
        return ok ? 0 : 1;
    }
    if (cmd == "command") {  // command TARGET ID: a menu item chosen
        HWND h = NeedTarget(a, 1);
        if (!h || a.size() < 3) return 1;
        printf("posted %d\n", PostMessageA(h, WM_COMMAND, MAKEWPARAM(Num(a[2]), 0), 0) ? 1 : 0);
        return 0;
    }
    if (cmd == "tray") {  // tray TARGET CODE [UID]: what the shell sends for a tray icon event
        HWND h = NeedTarget(a, 1);
        if (!h || a.size() < 3) return 1;
        WPARAM id = a.size() > 3 ? static_cast<WPARAM>(Num(a[3])) : 1;
        printf("posted %d\n", PostMessageA(h, WM_MOUSEMOVE, id, Num(a[2])) ? 1 : 0);
        return 0;
    }
    if (cmd == "ping") {  // ping TARGET MAX_MS SECONDS: every answer to WM_NULL within MAX_MS
        if (a.size() < 4) { printf("error usage\n"); return 1; }
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        double maxAllowed = static_cast<double>(Num(a[2]));
        double end = NowMs() + 1000.0 * static_cast<double>(Num(a[3]));
        int n = 0, over = 0, failed = 0;
        double worst = 0;
        while (NowMs() < end) {
            DWORD_PTR res = 0;
            double t0 = NowMs();
            BOOL ok = SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &res);
            double dt = NowMs() - t0;
            ++n;
            if (!ok) ++failed;
            if (dt > maxAllowed) ++over;
            if (dt > worst) worst = dt;
            Sleep(20);
        }
        printf("ping n=%d max_ms=%.1f over=%d failed=%d\n", n, worst, over, failed);
        return (over || failed) ? 1 : 0;
    }
    if (cmd == "click") {  // click TARGET ID: BM_CLICK for buttons, a left click at the centre otherwise
        HWND c = NeedControl(a, 1);
        if (!c) return 1;
        if (ClassOf(c) == "Button") {
            PostMessageA(c, BM_CLICK, 0, 0);
        } else {
            RECT r{};
            GetClientRect(c, &r);
            LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
            PostMessageA(c, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageA(c, WM_LBUTTONUP, 0, at);
        }
        printf("clicked\n");
        return 0;
    }
    if (cmd == "textfit") {  // textfit TARGET ID: the control's text in its own font, wrapped in its box
        HWND c = NeedControl(a, 1);
        if (!c) return 1;
        DWORD_PTR font = 0;
        SendMessageTimeoutA(c, WM_GETFONT, 0, 0, SMTO_NORMAL, 3000, &font);
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = font ? SelectObject(dc, reinterpret_cast<HFONT>(font)) : nullptr;
        LOGFONTA lf{};
        if (font) GetObjectA(reinterpret_cast<HFONT>(font), sizeof lf, &lf);
        RECT box{};
        GetClientRect(c, &box);
        std::string t = TextOf(c);
        RECT one{0, 0, 10000, 0}, wrapped{0, 0, box.right, 0};
        DrawTextA(dc, t.c_str(), -1, &one, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        DrawTextA(dc, t.c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        if (old) SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        int lineH = one.bottom > 0 ? one.bottom : 1;
        printf("textfit font=0x%lx selected=%d face=%s height=%ld box=%ld,%ld oneline=%ld,%ld wrapped=%ld,%ld lines=%ld\n",
               (unsigned long)font, old ? 1 : 0, Quote(lf.lfFaceName).c_str(), lf.lfHeight, box.right, box.bottom,
               one.right, one.bottom, wrapped.right, wrapped.bottom, (wrapped.bottom + lineH - 1) / lineH);
        return 0;
    }
    if (cmd == "centre") {  // centre TARGET [ID]: screen point at the middle of a window or control
        HWND h = a.size() > 2 ? NeedControl(a, 1) : NeedTarget(a, 1);
        if (!h) return 1;
        RECT r{};
        GetWindowRect(h, &r);
        printf("centre %ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    if (cmd == "settext") {  // settext TARGET ID TEXT
        HWND c = NeedControl(a, 1);
        if (!c || a.size() < 4) return 1;
        std::string t = Unescape(a[3]);
        DWORD_PTR res = 0;
        SendMessageTimeoutA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str()), SMTO_NORMAL, 3000, &res);
        printf("set %s\n", Quote(TextOf(c)).c_str());
        return 0;
    }
    if (cmd == "char") {  // char TARGET ID CODE: a typed character posted to a control (13 = Enter)
        HWND c = NeedControl(a, 1);
        if (!c || a.size() < 4) return 1;
        WPARAM code = static_cast<WPARAM>(Num(a[3]));
        if (code == 13) PostMessageA(c, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageA(c, WM_CHAR, code, 0x001C0001);
        if (code == 13) PostMessageA(c, WM_KEYUP, VK_RETURN, 0xC01C0001);
        printf("posted\n");
        return 0;
    }
    if (cmd == "focus") {  // focus TARGET: which control of the window's thread has the keyboard focus
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        GUITHREADINFO gi{};
        gi.cbSize = sizeof gi;
        GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &gi);
        printf("focus id=%d class=%s active=0x%lx\n", gi.hwndFocus ? GetDlgCtrlID(gi.hwndFocus) : 0,
               gi.hwndFocus ? ClassOf(gi.hwndFocus).c_str() : "-", (unsigned long)(uintptr_t)gi.hwndActive);
        return 0;
    }
    if (cmd == "activate") {  // activate TARGET: bring to the foreground
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        printf("activated %d\n", SetForegroundWindow(h) ? 1 : 0);
        return 0;
    }
    if (cmd == "mmove") {  // mmove X Y (screen)
        if (a.size() < 3) return 1;
        MoveMouse(Num(a[1]), Num(a[2]));
        printf("moved\n");
        return 0;
    }
    if (cmd == "mdown" || cmd == "mup") {  // mdown|mup left|right|middle
        SendMouse(ButtonFlag(a.size() > 1 ? a[1] : "left", cmd == "mdown"));
        printf("%s\n", cmd.c_str());
        return 0;
    }
    if (cmd == "mclick") {  // mclick X Y [BUTTON]
        if (a.size() < 3) return 1;
        std::string b = a.size() > 3 ? a[3] : "left";
        MoveMouse(Num(a[1]), Num(a[2]));
        Sleep(50);
        SendMouse(ButtonFlag(b, true));
        Sleep(50);
        SendMouse(ButtonFlag(b, false));
        printf("clicked\n");
        return 0;
    }
    if (cmd == "drag") {  // drag X1 Y1 X2 Y2 [left|right|both] [STEPS]: press at 1, move in steps to 2, release
        if (a.size() < 5) return 1;
        std::string b = a.size() > 5 ? a[5] : "left";
        int steps = a.size() > 6 ? static_cast<int>(Num(a[6])) : 10;
        long x1 = Num(a[1]), y1 = Num(a[2]), x2 = Num(a[3]), y2 = Num(a[4]);
        bool both = b == "both";
        MoveMouse(x1, y1);
        Sleep(80);
        SendMouse(ButtonFlag(both ? "left" : b, true));
        if (both) SendMouse(ButtonFlag("right", true));
        Sleep(80);
        // One pixel first: a card starts its drag on the first movement, so
        // the drag then covers (x2 - x1 - 1, y2 - y1).
        MoveMouse(x1 + 1, y1);
        Sleep(60);
        for (int i = 1; i <= steps; ++i) {
            MoveMouse(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
            Sleep(30);
        }
        Sleep(80);
        SendMouse(ButtonFlag(both ? "left" : b, false));
        if (both) SendMouse(ButtonFlag("right", false));
        printf("dragged\n");
        return 0;
    }
    if (cmd == "key") {  // key VK: a real key press and release (to the focused window)
        if (a.size() < 2) return 1;
        WORD vk = static_cast<WORD>(Num(a[1]));
        SendKey(vk, false);
        SendKey(vk, true);
        printf("key\n");
        return 0;
    }
    if (cmd == "type") {  // type TEXT: real key presses for letters, digits and spaces
        if (a.size() < 2) return 1;
        for (char ch : Unescape(a[1])) {
            SHORT vk = VkKeyScanA(ch);
            bool shift = (vk >> 8) & 1;
            if (shift) SendKey(VK_SHIFT, false);
            SendKey(vk & 0xFF, false);
            SendKey(vk & 0xFF, true);
            if (shift) SendKey(VK_SHIFT, true);
            Sleep(10);
        }
        printf("typed\n");
        return 0;
    }
    if (cmd == "menu") {  // menu TIMEOUT_MS: the open popup menu and its items
        double start = NowMs(), limit = a.size() > 1 ? static_cast<double>(Num(a[1])) : 0;
        HWND m;
        while (!(m = FindMenuWindow())) {
            if (NowMs() - start > limit) { printf("nomenu\n"); return 1; }
            Sleep(20);
        }
        PrintMenu(m);
        return 0;
    }
    if (cmd == "trayicon") {  // trayicon TARGET [UID]: does the shell hold this window's icon?
        if (a.size() < 2) return 1;
        HWND h = FindTarget(a[1]);  // a handle may name a window that is gone by now
        UINT id = a.size() > 2 ? static_cast<UINT>(Num(a[2])) : 1;
        bool present = TrayIconPresent(h, id);
        printf("trayicon present=%d\n", present ? 1 : 0);
        return 0;
    }
    if (cmd == "traydelete") {  // traydelete TARGET [UID]: the shell loses the icon, as when it restarts
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        NOTIFYICONDATAA nid{};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = h;
        nid.uID = a.size() > 2 ? static_cast<UINT>(Num(a[2])) : 1;
        printf("deleted %d\n", Shell_NotifyIconA(NIM_DELETE, &nid) ? 1 : 0);
        return 0;
    }
    if (cmd == "regraw") {  // regraw HKLM|HKCU KEYPATH NAME: a value's type, byte count and bytes as stored
        if (a.size() < 4) return 1;
        HKEY root = a[1] == "HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, a[2].c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) { printf("regraw nokey\n"); return 0; }
        std::wstring name(a[3].begin(), a[3].end());
        BYTE data[4096];
        DWORD type = 0, size = sizeof data;
        LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, data, &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) { printf("regraw novalue rc=%ld\n", rc); return 0; }
        std::string hex;
        char two[3];
        for (DWORD i = 0; i < size; ++i) { snprintf(two, sizeof two, "%02x", data[i]); hex += two; }
        printf("regraw type=%lu bytes=%lu hex=%s\n", type, size, hex.c_str());
        return 0;
    }
    if (cmd == "postreg") {  // postreg TARGET NAME: posts a registered message (e.g. "TaskbarCreated")
        HWND h = NeedTarget(a, 1);
        if (!h || a.size() < 3) return 1;
        UINT msg = RegisterWindowMessageA(a[2].c_str());
        printf("posted %d msg=0x%x\n", PostMessageA(h, msg, 0, 0) ? 1 : 0, msg);
        return 0;
    }
    if (cmd == "traytips") {  // traytips: every tip the shell's tray holds
        for (const TipTool& t : ShellTips())
            printf("tip tooltip=0x%lx owner=0x%lx id=%lu text=%s\n", (unsigned long)(uintptr_t)t.tooltip,
                   (unsigned long)(uintptr_t)t.owner, (unsigned long)t.id, Quote(t.text).c_str());
        return 0;
    }
    if (cmd == "taskbar") {  // taskbar [TARGET]: visible taskbar buttons (start button included), and TARGET's
        HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
        if (!tray) { printf("taskbar none\n"); return 1; }
        CountButtons c{0, a.size() > 1 ? FindTarget(a[1]) : nullptr, false};
        EnumChildWindows(tray, CountButtonProc, reinterpret_cast<LPARAM>(&c));
        printf("taskbar buttons=%d window_button=%d\n", c.visible, c.forWindow ? 1 : 0);
        return 0;
    }
    if (cmd == "reference") return RunReferenceWindow(a);
    if (cmd == "refmenu") return RunReferenceMenu(a);
    if (cmd == "dpi") {
        HDC dc = GetDC(nullptr);
        printf("dpi x=%d y=%d screen=%d,%d acp=%u\n", GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY),
               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), GetACP());
        ReleaseDC(nullptr, dc);
        return 0;
    }
    if (cmd == "dpichanged") {  // dpichanged TARGET DPI X Y W H [COUNT]: WM_DPICHANGED as Windows sends it
        // The suggested rectangle lives in the target's memory, as Windows'
        // own does; the same address is filled in here too, in case the
        // message's lParam is copied from the sender.
        if (a.size() < 7) { printf("error usage\n"); return 1; }
        HWND h = NeedTarget(a, 1);
        if (!h) return 1;
        const int dpi = static_cast<int>(Num(a[2]));
        const RECT r = {static_cast<LONG>(Num(a[3])), static_cast<LONG>(Num(a[4])),
                        static_cast<LONG>(Num(a[3]) + Num(a[5])), static_cast<LONG>(Num(a[4]) + Num(a[6]))};
        const int count = a.size() > 7 ? static_cast<int>(Num(a[7])) : 1;
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
        void* remote = process ? VirtualAllocEx(process, nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)
                               : nullptr;
        SIZE_T put = 0;
        if (!remote || !WriteProcessMemory(process, remote, &r, sizeof(r), &put)) {
            printf("error remote memory %lu\n", GetLastError());
            if (process) CloseHandle(process);
            return 1;
        }
        if (void* local = VirtualAlloc(remote, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) memcpy(local, &r, sizeof(r));
        int ok = 0;
        for (int i = 0; i < count; ++i) {
            DWORD_PTR res = 0;
            ok += SendMessageTimeoutA(h, 0x02E0, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                                      5000, &res) != 0;
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        printf("dpichanged sent=%d answered=%d\n", count, ok);
        return ok == count ? 0 : 1;
    }
    if (cmd == "resolution") {  // resolution W H: the screen's (Wine's virtual desktop's) size changed, as a monitor leaving does
        if (a.size() < 3) { printf("error usage\n"); return 1; }
        DEVMODEA mode = {};
        mode.dmSize = sizeof(mode);
        mode.dmPelsWidth = static_cast<DWORD>(Num(a[1]));
        mode.dmPelsHeight = static_cast<DWORD>(Num(a[2]));
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        const LONG r = ChangeDisplaySettingsA(&mode, 0);
        printf("resolution result=%ld screen=%d,%d\n", r, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        return r == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
    }
    if (cmd == "regsz") {  // regsz HKLM|HKCU KEYPATH NAME: a string value read with the wide call, as UTF-8 hex
        if (a.size() < 4) { printf("error usage\n"); return 1; }
        HKEY root = a[1] == "HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        wchar_t path[512] = L"", name[128] = L"", data[4096] = L"";
        MultiByteToWideChar(CP_ACP, 0, a[2].c_str(), -1, path, 512);
        MultiByteToWideChar(CP_ACP, 0, a[3].c_str(), -1, name, 128);
        DWORD type = 0, bytes = sizeof(data) - sizeof(wchar_t);
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) { printf("error open\n"); return 1; }
        const LONG q = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
        RegCloseKey(key);
        if (q != ERROR_SUCCESS) { printf("error query %ld\n", q); return 1; }
        char utf8[8192] = "";
        const int n = WideCharToMultiByte(CP_UTF8, 0, data, static_cast<int>(bytes / sizeof(wchar_t)), utf8, sizeof(utf8), nullptr, nullptr);
        std::string hex;
        for (int i = 0; i < n; ++i) { char b[3]; wsprintfA(b, "%02x", static_cast<unsigned char>(utf8[i])); hex += b; }
        printf("regsz type=%lu hex=%s\n", type, hex.c_str());
        return 0;
    }
    if (cmd == "holdfile") {  // holdfile PATH MS: opens the file sharing nothing, as a virus scanner may, for MS
        if (a.size() < 3) { printf("error usage\n"); return 1; }
        HANDLE f = CreateFileA(a[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) { printf("error open %lu\n", GetLastError()); return 1; }
        printf("held\n");
        fflush(stdout);
        Sleep(static_cast<DWORD>(Num(a[2])));
        CloseHandle(f);
        printf("released\n");
        return 0;
    }
    if (cmd == "threads") {  // threads: the number of threads of the card's process
        HWND h = FindWindowA("CloudwickCard", nullptr);
        DWORD pid = 0;
        if (h) GetWindowThreadProcessId(h, &pid);
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 te = {};
        te.dwSize = sizeof(te);
        int n = 0;
        for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
            if (te.th32OwnerProcessID == pid) ++n;
        CloseHandle(snap);
        printf("threads pid=%lu count=%d\n", pid, n);
        return pid ? 0 : 1;
    }
    if (cmd == "sleep") { Sleep(static_cast<DWORD>(Num(a.size() > 1 ? a[1] : "0"))); printf("slept\n"); return 0; }
    if (cmd == "pixel") {  // pixel X Y: the colour on screen
        if (a.size() < 3) return 1;
        HDC dc = GetDC(nullptr);
        COLORREF c = GetPixel(dc, static_cast<int>(Num(a[1])), static_cast<int>(Num(a[2])));
        ReleaseDC(nullptr, dc);
        printf("pixel r=%d g=%d b=%d\n", GetRValue(c), GetGValue(c), GetBValue(c));
        return 0;
    }
    printf("error unknown command %s\n", cmd.c_str());
    return 1;
}

// Splits a line into words; "double quotes" group words (escapes as in Unescape).
Args Split(const std::string& line) {
    Args out;
    std::string cur;
    bool inQuote = false, have = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (inQuote) {
            if (c == '\\' && i + 1 < line.size()) { cur += c; cur += line[++i]; }
            else if (c == '"') inQuote = false;
            else cur += c;
        } else if (c == '"') { inQuote = true; have = true; }
        else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (have) { out.push_back(cur); cur.clear(); have = false; }
        } else { cur += c; have = true; }
    }
    if (have) out.push_back(cur);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    Args args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "serve") {
        char line[8192];
        while (fgets(line, sizeof line, stdin)) {
            Args a = Split(line);
            if (a.empty()) continue;
            if (a[0] == "quit") break;
            int rc = Run(a);
            printf("END %d\n", rc);
            fflush(stdout);
        }
        return 0;
    }
    int rc = Run(args);
    fflush(stdout);
    return rc;
}
