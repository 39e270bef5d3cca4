// The plot window's key watch: a message hook of the thread, since the program's only message loop is the main
// window's modal one.
#include "ui/plot/PlotWindow.h"

#include <windowsx.h>

namespace {

// The keyboard messages, WM_KEYDOWN up to WM_UNICHAR, that the dialog manager may want.
constexpr UINT kFirstKeyMessage = WM_KEYDOWN;
constexpr UINT kLastKeyMessage = 0x0109;

bool IsKeyHeld(int key) {
    return GetKeyState(key) < 0;
}

void Consume(MSG& message) {
    message.message = WM_NULL;
    message.wParam = 0;
    message.lParam = 0;
}

} // namespace

void C_PlotWindow::WatchKeys(HWND owner, UINT toggleMessage) {
    m_keyOwner = owner;
    m_toggleMessage = toggleMessage;
    if (s_watching)
        return;
    m_hook.Reset(SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId()));
    if (m_hook)
        s_watching = this;
}

// Only messages taken off the queue: a peek that leaves the message there must see it unchanged.
LRESULT CALLBACK C_PlotWindow::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && s_watching)
        s_watching->TakeMessage(*reinterpret_cast<MSG*>(lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Ctrl+Shift+P is taken before it becomes a character for the device; the main window opens or closes the plot
// once the message loop comes round. The wheel goes to the plot's control under the pointer, as a user expects,
// rather than to the one with the focus.
bool C_PlotWindow::TakeMessage(MSG& message) {
    if (message.message == WM_KEYDOWN && message.wParam == WPARAM(kToggleKey) && IsKeyHeld(VK_CONTROL) &&
        IsKeyHeld(VK_SHIFT) && !IsKeyHeld(VK_MENU)) {
        Consume(message);
        PostMessageW(m_keyOwner, m_toggleMessage, 0, 0);
        return true;
    }
    HWND window = GetWindow();
    if (!window)
        return false;
    if (message.message == WM_MOUSEWHEEL) {
        POINT point = {GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        HWND under = WindowFromPoint(point);
        if (under && IsChild(window, under))
            message.hwnd = under;
        return false;
    }
    if (message.message >= kFirstKeyMessage && message.message <= kLastKeyMessage &&
        (message.hwnd == window || IsChild(window, message.hwnd)) && IsDialogMessageW(window, &message)) {
        Consume(message);
        return true;
    }
    return false;
}
