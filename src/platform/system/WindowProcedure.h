#pragma once
// The window procedure of a class whose objects own one window each. The object passed to CreateWindowEx as the
// creation parameter answers its window's messages through handler from WM_NCCREATE on, and its window member
// names the window until WM_NCDESTROY has been answered; the object may be destroyed after that. Messages before
// WM_NCCREATE (WM_GETMINMAXINFO) get the default procedure.
#include <windows.h>

template <class Owner, HWND Owner::*window, LRESULT (Owner::*handler)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK OwnerWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        owner->*window = hwnd;
    }
    if (!owner)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = (owner->*handler)(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        owner->*window = nullptr;
    }
    return result;
}
