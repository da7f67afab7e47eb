// Program start: the card is the program; it ends when its last window closes.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "app/app_win.h"
#include "app/async_socket_win.h"
#include "app/settings.h"
#include "card/card_window_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    AsyncSocket::Startup();

    // The one settings record of the run, shared by the card and its dialogs.
    static AppSettings settings;
    CardWindow* card = new CardWindow(settings);
    if (!card->Create(instance)) return 1;
    card->Form_Load();

    const int code = RunMessageLoop();
    WSACleanup();
    return code;
}
