#include "app/design_controls_win.h"

#include <windowsx.h>

#include "app/dpi_win.h"

namespace {

const char kPanelClass[] = "CloudwickPanel";
const char kSpecProp[] = "CloudwickSpec";
const char kOldProcProp[] = "CloudwickOldProc";

bool IsMouseMessage(UINT msg) {
    return msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP ||
           msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP;
}

void SendChildMouse(HWND control, UINT msg, WPARAM keys) {
    HWND root = GetAncestor(control, GA_ROOT);
    SendMessageA(root, kMsgChildMouse, MAKEWPARAM(GetDlgCtrlID(control), msg), static_cast<LPARAM>(keys));
}

void PaintPanel(HWND hwnd, HDC dc, const ControlSpec* row) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    HBRUSH bg = CreateSolidBrush(row ? ToColorRef(row->bg) : RGB(0, 0, 0));
    FillRect(dc, &rc, bg);
    DeleteObject(bg);
    if (!row || !(row->flags & kFramed)) return;
    // A thin light border; the caption sits in its top edge.
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    int lineY = row->text[0] ? tm.tmHeight / 2 : 1;
    RECT border = {1, lineY, rc.right - 1, rc.bottom - 1};
    HBRUSH line = CreateSolidBrush(RGB(96, 100, 100));
    FrameRect(dc, &border, line);
    DeleteObject(line);
    if (row->text[0]) {
        SetTextColor(dc, ToColorRef(row->fg));
        SetBkColor(dc, ToColorRef(row->bg));
        SetBkMode(dc, OPAQUE);
        TextOutA(dc, 8, 0, (std::string(" ") + row->text + " ").c_str(),
                 static_cast<int>(strlen(row->text) + 2));
    }
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        PaintPanel(hwnd, dc, RowOf(hwnd));
        SendMessageA(GetAncestor(hwnd, GA_ROOT), kMsgPaintChild, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(hwnd));
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETFONT:
        SetPropA(hwnd, "CloudwickFont", reinterpret_cast<HANDLE>(wp));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropA(hwnd, "CloudwickFont"));
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
        // Controls inside a panel belong to the window that holds the panel.
        return SendMessageA(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
    case WM_NCDESTROY:
        RemovePropA(hwnd, kSpecProp);
        RemovePropA(hwnd, "CloudwickFont");
        break;
    }
    if (IsMouseMessage(msg)) {
        SendChildMouse(hwnd, msg, wp);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ForwardingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kOldProcProp));
    if (IsMouseMessage(msg)) SendChildMouse(hwnd, msg, wp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropA(hwnd, kOldProcProp);
    }
    return CallWindowProcA(old, hwnd, msg, wp, lp);
}

// A label that notifies reports a click (STN_CLICKED) as a button does: when
// a left press that began on it is released over it. The static control
// alone reports the press, so a press that ends elsewhere would count.
const char kLabelProcProp[] = "CloudwickLabelProc";

LRESULT CALLBACK ClickLabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kLabelProcProp));
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second press is a press too
        SetCapture(hwnd);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd) {
            ReleaseCapture();
            RECT rc;
            GetClientRect(hwnd, &rc);
            const POINT at = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (PtInRect(&rc, at))
                SendMessageA(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                             reinterpret_cast<LPARAM>(hwnd));
        }
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropA(hwnd, kLabelProcProp);
        break;
    }
    return CallWindowProcA(old, hwnd, msg, wp, lp);
}

void RegisterPanelClass() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kPanelClass;
    RegisterClassA(&wc);
}

// Drops visual styles from a control so that its table colours show.
void UseClassicLook(HWND control) {
    typedef HRESULT(WINAPI * SetWindowThemeFn)(HWND, LPCWSTR, LPCWSTR);
    HMODULE theme = LoadLibraryA("uxtheme.dll");
    if (!theme) return;
    auto setTheme = reinterpret_cast<SetWindowThemeFn>(
        reinterpret_cast<void*>(GetProcAddress(theme, "SetWindowTheme")));
    if (setTheme) setTheme(control, L"", L"");
}

HWND CreateDesignControl(const ControlSpec& row, HWND parent, const Fonts& fonts) {
    RegisterPanelClass();
    int x = TwipsToPixelsX(row.left), y = TwipsToPixelsY(row.top);
    int w = TwipsToPixelsX(row.width), h = TwipsToPixelsY(row.height);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const char* cls = "STATIC";
    switch (row.kind) {
    case ControlKind::Label:
        style |= SS_NOPREFIX | ((row.flags & kCentred) ? SS_CENTER : SS_LEFT) |
                 ((row.flags & kNotify) ? SS_NOTIFY : 0);
        break;
    case ControlKind::Line:
        if (h < 1) h = 1;
        break;
    case ControlKind::Picture:
    case ControlKind::Frame:
        cls = kPanelClass;
        style |= WS_CLIPCHILDREN;
        exStyle |= WS_EX_CONTROLPARENT;
        break;
    case ControlKind::CheckBox:
        cls = "BUTTON";
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
    case ControlKind::OptionButton:
        cls = "BUTTON";
        style |= BS_AUTORADIOBUTTON;
        break;
    case ControlKind::DropList:
        cls = "COMBOBOX";
        style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        h += 120;  // room for the open list
        break;
    case ControlKind::TextBox:
        cls = "EDIT";
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::Button:
        cls = "BUTTON";
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    }
    HWND hwnd = CreateWindowExA(exStyle, cls, row.text, style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                GetModuleHandleA(nullptr), nullptr);
    SetPropA(hwnd, kSpecProp, reinterpret_cast<HANDLE>(const_cast<ControlSpec*>(&row)));
    SendMessageA(hwnd, WM_SETFONT,
                 reinterpret_cast<WPARAM>((row.flags & kDesignFont) ? fonts.design() : fonts.standard()), FALSE);
    if (row.kind == ControlKind::CheckBox || row.kind == ControlKind::OptionButton) UseClassicLook(hwnd);
    if (row.kind == ControlKind::Label && (row.flags & kNotify)) {
        SetPropA(hwnd, kLabelProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC)));
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClickLabelProc));
    }
    return hwnd;
}

}  // namespace

int ButtonMask(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) | ((keys & MK_MBUTTON) ? 4 : 0);
}

namespace {

HFONT CreateSansSerif(int height, const char* face, DWORD precision) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, precision, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

bool RealizedAs(HFONT font, const char* face) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    char got[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof(got), got);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return lstrcmpiA(got, face) == 0;
}

// MS Sans Serif at `points` hundredths of a point on this screen. Windows
// draws it from bitmaps made for 96 and 120 DPI; beyond those, scaled
// bitmaps turn jagged (and Wine draws them at their own size with their
// letters spread apart). Larger scalings use an outline face instead:
// Microsoft Sans Serif, drawn to MS Sans Serif's measure; where it is
// missing (Wine), Tahoma at nine tenths of the height, since it sets text
// up to a tenth wider and every caption must keep fitting its box.
HFONT CreateDesignFace(int points, int dpi) {
    const int height = -MulDiv(points, dpi, 7200);
    if (dpi > 120) {
        HFONT outline = CreateSansSerif(height, "Microsoft Sans Serif", OUT_TT_PRECIS);
        if (RealizedAs(outline, "Microsoft Sans Serif")) return outline;
        DeleteObject(outline);
        outline = CreateSansSerif(MulDiv(height, 9, 10), "Tahoma", OUT_TT_PRECIS);
        if (RealizedAs(outline, "Tahoma")) return outline;
        DeleteObject(outline);
    }
    return CreateSansSerif(height, "MS Sans Serif", OUT_DEFAULT_PRECIS);
}

}  // namespace

Fonts::Fonts() {
    const int dpi = ScreenDpiY();
    design_ = CreateDesignFace(975, dpi);
    // The captions' boxes were sized for MS Sans Serif 8 pt.
    standard_ = CreateDesignFace(800, dpi);
}

Fonts::~Fonts() {
    DeleteObject(design_);
    DeleteObject(standard_);
}

std::map<int, HWND> CreateDesignControls(const ControlSpec* rows, size_t count, HWND window, const Fonts& fonts) {
    std::map<int, HWND> controls;
    for (size_t i = 0; i < count; ++i) {
        const ControlSpec& row = rows[i];
        HWND parent = row.parentId ? controls[row.parentId] : window;
        controls[row.id] = CreateDesignControl(row, parent, fonts);
    }
    return controls;
}

const ControlSpec* RowOf(HWND control) {
    return reinterpret_cast<const ControlSpec*>(GetPropA(control, kSpecProp));
}

void ForwardMouseToRoot(HWND control) {
    LONG_PTR old = SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForwardingProc));
    SetPropA(control, kOldProcProp, reinterpret_cast<HANDLE>(old));
}

HBRUSH ColourStatic(HWND control, HDC dc, Brushes& brushes) {
    const ControlSpec* row = RowOf(control);
    if (!row) return nullptr;
    if (row->flags & kSystemColour) return GetSysColorBrush(COLOR_APPWORKSPACE);
    SetTextColor(dc, ToColorRef(row->fg));
    if (row->flags & kSeeThrough) {
        SetBkMode(dc, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    // A label without its own background shows the window's colour, which
    // is its table background.
    SetBkColor(dc, ToColorRef(row->bg));
    SetBkMode(dc, OPAQUE);
    return brushes.Get(row->bg);
}

void SetText(HWND control, const std::string& text) {
    SetWindowTextA(control, text.c_str());
}

std::string GetText(HWND control) {
    int n = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(control, &text[0], n + 1);
    text.resize(static_cast<size_t>(n));
    return text;
}
