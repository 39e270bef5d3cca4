#pragma once
// C_ToolbarKeys: the main window's toolbar as a keyboard reaches it. Tab gives it the focus with its first button
// hot; Left and Right move between the buttons (separators skipped, wrapping around), Enter and Space click the
// hot one, and the context-menu key or Shift+F10 reach the owner as WM_CONTEXTMENU for it, as on any control.
#include "platform/window/ControlSubclass.h"

#include <windows.h>

class C_ToolbarKeys final : private C_ControlSubclass {
public:
    C_ToolbarKeys() = default;

    // owner receives the clicks as WM_COMMAND, as from the toolbar itself.
    bool Attach(HWND toolbar, HWND owner);
    void Detach() { DetachFrom(); }

    // The button index after from in direction (+1 or -1), skipping separators and hidden or disabled buttons;
    // -1 when there is none. from -1 starts before the first (or after the last, going back).
    static int Step(HWND toolbar, int from, int direction);

private:
    LRESULT OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnKey(WPARAM key);

    HWND m_owner = nullptr;
};
