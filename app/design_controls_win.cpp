#include "app/design_controls_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/dpi_win.h"
#include "app/system_library_win.h"

namespace {

const char kPanelClass[] = "CloudwickPanel";
const char kSpecProp[] = "CloudwickSpec";
// Ids of our subclasses of a control (SetWindowSubclass keeps the chain).
const UINT_PTR kForwardSubclass = 1;
const UINT_PTR kClickSubclass = 2;

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

LRESULT CALLBACK ForwardingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (IsMouseMessage(msg)) SendChildMouse(hwnd, msg, wp);
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ForwardingProc, kForwardSubclass);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// A label that notifies reports a click (STN_CLICKED) as a button does: when
// a left press that began on it is released over it. The static control
// alone reports the press, so a press that ends elsewhere would count.
LRESULT CALLBACK ClickLabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
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
        RemoveWindowSubclass(hwnd, ClickLabelProc, kClickSubclass);
        break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// The panels' class, registered once; false when Windows refused it.
bool RegisterPanelClass() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kPanelClass;
    registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

// Drops visual styles from a control so that its table colours show.
// uxtheme.dll is loaded at the first such control and kept for the
// program's life: one load, not one per control.
void UseClassicLook(HWND control) {
    typedef HRESULT(WINAPI * SetWindowThemeFn)(HWND, LPCWSTR, LPCWSTR);
    static const SetWindowThemeFn setTheme = [] {
        HMODULE theme = LoadSystemLibrary("uxtheme.dll");
        return theme ? reinterpret_cast<SetWindowThemeFn>(
                           reinterpret_cast<void*>(GetProcAddress(theme, "SetWindowTheme")))
                     : nullptr;
    }();
    if (setTheme) setTheme(control, L"", L"");
}

HWND CreateDesignControl(const ControlSpec& row, HWND parent, const Fonts& fonts, int dpi) {
    if (!RegisterPanelClass()) return nullptr;
    const RECT place = DesignPlace(row, dpi);
    const int x = place.left, y = place.top, w = place.right - place.left, h = place.bottom - place.top;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const char* cls = "STATIC";
    switch (row.kind) {
    case ControlKind::Label:
        style |= SS_NOPREFIX | ((row.flags & kCentred) ? SS_CENTER : SS_LEFT) |
                 ((row.flags & kNotify) ? SS_NOTIFY : 0);
        break;
    case ControlKind::Line:
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
    if (!hwnd || !SetPropA(hwnd, kSpecProp, reinterpret_cast<HANDLE>(const_cast<ControlSpec*>(&row)))) return nullptr;
    SendMessageA(hwnd, WM_SETFONT,
                 reinterpret_cast<WPARAM>((row.flags & kDesignFont) ? fonts.design() : fonts.standard()), FALSE);
    if (row.kind == ControlKind::CheckBox || row.kind == ControlKind::OptionButton) UseClassicLook(hwnd);
    if (row.kind == ControlKind::Label && (row.flags & kNotify) &&
        !SetWindowSubclass(hwnd, ClickLabelProc, kClickSubclass, 0))
        return nullptr;
    return hwnd;
}

}  // namespace

RECT DesignPlace(const ControlSpec& row, int dpi) {
    const int x = TwipsToPixels(row.left, dpi), y = TwipsToPixels(row.top, dpi);
    const int w = TwipsToPixels(row.width, dpi);
    int h = TwipsToPixels(row.height, dpi);
    if (row.kind == ControlKind::Line && h < 1) h = 1;
    if (row.kind == ControlKind::DropList) h += 120;  // room for the open list
    return {x, y, x + w, y + h};
}

void LayOutDesignControl(HWND control, const ControlSpec& row, const Fonts& fonts, int dpi) {
    const RECT r = DesignPlace(row, dpi);
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>((row.flags & kDesignFont) ? fonts.design() : fonts.standard()), TRUE);
}

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

Fonts::Fonts(int dpi) {
    design_ = CreateDesignFace(975, dpi);
    // The captions' boxes were sized for MS Sans Serif 8 pt.
    standard_ = CreateDesignFace(800, dpi);
}

Fonts::~Fonts() {
    DeleteObject(design_);
    DeleteObject(standard_);
}

bool CreateDesignControls(const ControlSpec* rows, size_t count, HWND window, const Fonts& fonts, int dpi,
                          std::vector<HWND>& controls) {
    controls.clear();
    for (size_t i = 0; i < count; ++i) {
        const ControlSpec& row = rows[i];
        HWND parent = row.parentId ? nullptr : window;
        for (size_t k = 0; k < i && !parent; ++k)
            if (rows[k].id == row.parentId) parent = controls[k];
        HWND control = parent ? CreateDesignControl(row, parent, fonts, dpi) : nullptr;
        if (!control) return false;
        controls.push_back(control);
    }
    return true;
}

const ControlSpec* RowOf(HWND control) {
    return reinterpret_cast<const ControlSpec*>(GetPropA(control, kSpecProp));
}

bool ForwardMouseToRoot(HWND control) {
    return control && SetWindowSubclass(control, ForwardingProc, kForwardSubclass, 0);
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
    // The length Windows reports may be more than the text (on double-byte
    // code pages it can count bytes of a Unicode text twice): the text is
    // what was actually copied, never padded with zeros.
    const int n = GetWindowTextLengthA(control);
    if (n <= 0) return std::string();
    std::string text(static_cast<size_t>(n) + 1, '\0');
    const int copied = GetWindowTextA(control, &text[0], n + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}
