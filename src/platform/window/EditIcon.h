#pragma once
// C_EditIcon: an icon drawn inside an edit field at its right end (the text stops short of it), which acts as a
// button: a left click released over it sends the field's parent WM_COMMAND with the field's id and
// notification code 0. The icon can be changed at any time (the filter field animates it).
#include "platform/window/ControlSubclass.h"
#include "platform/system/Handles.h"

#include <windows.h>

class C_EditIcon final : private C_ControlSubclass {
public:
    // The notification code of a click on the icon.
    static constexpr WORD kClicked = 0;
    // The icons an edit field cycles through; each is loaded once per size.
    static constexpr int kMaxIcons = 8;

    C_EditIcon() = default;
    ~C_EditIcon() { Detach(); }

    bool Attach(HWND edit, HINSTANCE instance, UINT iconId);
    void Detach();
    // Shows another icon resource.
    void SetIcon(UINT iconId);
    UINT GetIcon() const { return m_iconId; }

    // The icon's side: the field's height × 0.7 + 4, cut down to a multiple of 8 pixels (at least 8).
    static int IconSize(int fieldHeight);
    // Where the icon sits in the field's client area.
    RECT IconArea() const;

private:
    LRESULT OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Resize();
    HICON Icon(UINT iconId);
    void PaintIcon();
    bool OverIcon(LPARAM clientPoint) const;

    struct Loaded {
        UINT id;
        C_Icon icon;
    };
    HINSTANCE m_instance = nullptr;
    UINT m_iconId = 0;
    int m_size = 0;
    Loaded m_icons[kMaxIcons];
    int m_iconCount = 0;
    bool m_pressed = false;
};
