#include "app/app_win.h"

#include "app/design_window_win.h"

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

std::string SettingsPath() { return ExeFolder() + "\\" + kSettingsFileName; }

HWND HiddenOwner() {
    static HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    return owner;
}

void SaveSettingsOrTell(HWND owner, const AppSettings& settings) {
    const std::string path = SettingsPath();
    if (SaveSettingsFile(path, settings)) return;
    std::string text = "Cloudwick could not save your settings to\r\n" + path +
                       "\r\n\r\nCheck that the folder is writable and that the disk is not full.";
    MessageBoxA(owner, text.c_str(), "Cloudwick", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (DesignWindow::TranslateDialogKeys(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
