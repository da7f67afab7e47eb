#pragma once
// The one window procedure of the program's top-level windows: it picks up
// the object from the creation parameters and routes every message to its
// OnMessage. The object lives as long as its window, and the program ends
// with its last window.
#include <winsock2.h>
#include <windows.h>

#include "app/app_win.h"

template <class T>
LRESULT CALLBACK TopWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    T* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete self;
        WindowClosed();
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    return self->OnMessage(msg, wp, lp);
}
