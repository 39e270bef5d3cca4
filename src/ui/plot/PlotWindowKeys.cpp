// The plot window's key watch: a message hook of the thread, since the program's only message loop is the main
// window's modal one.
#include "ui/plot/PlotWindow.h"

#include <windowsx.h>

namespace {

using MessageWatch::Consume;
using MessageWatch::IsKeyHeld;

} // namespace

void C_PlotWindow::WatchKeys(HWND owner, UINT toggleMessage) {
    m_keyOwner = owner;
    m_toggleMessage = toggleMessage;
    m_keyWatch.Install(this);
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
    if (MessageWatch::IsKeyMessage(message.message) && (message.hwnd == window || IsChild(window, message.hwnd)) &&
        IsDialogMessageW(window, &message)) {
        Consume(message);
        return true;
    }
    return false;
}
