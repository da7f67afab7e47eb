#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "app/app_win.h"
#include "app/async_socket_win.h"
#include "app/ui_helpers_win.h"
#include "card/card_window_win.h"

App& TheApp() {
    static App app;
    return app;
}

std::string App::SettingsPath() const {
    return ExeFolder() + "\\" + kSettingsFileName;
}

void WindowOpened() { ++TheApp().liveWindows; }

HWND HiddenOwner() {
    App& app = TheApp();
    if (!app.hiddenOwner)
        app.hiddenOwner = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          app.instance, nullptr);
    return app.hiddenOwner;
}

void WindowClosed() {
    if (--TheApp().liveWindows <= 0) PostQuitMessage(0);
}

void SaveSettingsOrTell(HWND owner) {
    const std::string path = TheApp().SettingsPath();
    if (SaveSettingsFile(path, TheApp().settings)) return;
    std::string text = "Cloudwick could not save your settings to\r\n" + path +
                       "\r\n\r\nCheck that the folder is writable and that the disk is not full.";
    MessageBoxA(owner, text.c_str(), "Cloudwick", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    TheApp().instance = instance;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    AsyncSocket::Startup();

    CardWindow* card = new CardWindow(TheApp().settings);
    if (!card->Create(instance)) return 1;
    card->Form_Load();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        const auto& dialogs = TheApp().dialogs;
        bool handled = std::any_of(dialogs.begin(), dialogs.end(),
                                   [&msg](HWND d) { return IsDialogMessageA(d, &msg) != FALSE; });
        if (handled) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    WSACleanup();
    return 0;
}
