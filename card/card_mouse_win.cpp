// The title strip stands in for a title bar: drag, menu, position.
#include "app/dpi_win.h"
#include "card/card_layout.h"
#include "card/card_window_win.h"

namespace {
const int kLeft = 1;
const int kRight = 2;
}

void CardWindow::OnChildMouse(int id, UINT msg, int button) {
    if (id == IDC_FRAME1) {
        if (msg == WM_LBUTTONDOWN) Frame1_MouseDown(kLeft);
        if (msg == WM_RBUTTONDOWN) Frame1_MouseDown(kRight);
        if (msg == WM_MOUSEMOVE) Frame1_MouseMove(button);
    } else if (id == IDC_LABEL6) {
        if (msg == WM_MOUSEMOVE) Label6_MouseMove(button);
    } else if (id == IDC_PICTURE2) {
        // A click: pressed and released over the picture. The capture holds
        // the press, so a release after a press elsewhere does nothing.
        HWND picture = Control(IDC_PICTURE2);
        if (msg == WM_LBUTTONDOWN) SetCapture(picture);
        if (msg == WM_LBUTTONUP && GetCapture() == picture) {
            ReleaseCapture();
            RECT rc;
            GetWindowRect(picture, &rc);
            const DWORD at = GetMessagePos();  // where the release happened; negative left of the primary screen
            const POINT pt = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
            if (PtInRect(&rc, pt)) OpenOptions();
        }
    }
}

void CardWindow::StartDrag() {
    ReleaseCapture();
    // The system's own move loop runs until the left button is released.
    SendMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void CardWindow::RecordPosition() {
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    settings_.WindowLeft = PixelsToTwipsX(rc.left);
    settings_.WindowTop = PixelsToTwipsY(rc.top);
}

void CardWindow::Frame1_MouseDown(int button) {
    if (button == kRight) ShowMenu();
}

void CardWindow::Frame1_MouseMove(int button) {
    if (settings_.MainVisible != -1) return;
    Label6_MouseMove(button);
}

void CardWindow::Label6_MouseMove(int button) {
    if (button == kLeft) StartDrag();
    RecordPosition();
    if (button == kLeft) SaveChoices();  // the drag has ended: the card's new place
    if (button == kRight) ShowMenu();
}
