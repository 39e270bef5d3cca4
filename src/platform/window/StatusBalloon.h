#pragma once
// C_StatusBalloon: a tracking balloon tooltip with a title, the "information" icon and a close button, shown
// at a point of the screen on request (the main window's status messages point it at a toolbar button).
#include "platform/system/Handles.h"

#include <windows.h>

class C_StatusBalloon {
public:
    C_StatusBalloon() = default;
    C_StatusBalloon(const C_StatusBalloon&) = delete;
    C_StatusBalloon& operator=(const C_StatusBalloon&) = delete;

    bool Create(HWND owner);
    void Destroy();
    // tip: where the balloon's stem points, in screen coordinates. Texts are copied.
    void Show(const wchar_t* title, const wchar_t* text, POINT tip);
    void Hide();
    bool IsShown() const { return m_shown; }
    HWND Window() const { return m_window.Get(); }

private:
    TOOLINFOW Tool(const wchar_t* text) const;

    C_OwnedWindow m_window;
    HWND m_owner = nullptr;
    bool m_shown = false;
};
