#include "ui/window/ToolbarKeys.h"

#include <commctrl.h>

namespace {

constexpr int kNone = -1;

bool Usable(HWND toolbar, int index) {
    TBBUTTON button{};
    if (!SendMessageW(toolbar, TB_GETBUTTON, WPARAM(index), reinterpret_cast<LPARAM>(&button)))
        return false;
    return !(button.fsStyle & BTNS_SEP) && !(button.fsState & TBSTATE_HIDDEN) && (button.fsState & TBSTATE_ENABLED);
}

} // namespace

bool C_ToolbarKeys::Attach(HWND toolbar, HWND owner) {
    m_owner = owner;
    return AttachTo(toolbar);
}

int C_ToolbarKeys::Step(HWND toolbar, int from, int direction) {
    const int count = int(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    if (count <= 0)
        return kNone;
    int index = from < 0 ? (direction > 0 ? -1 : count) : from;
    for (int tried = 0; tried < count; ++tried) {
        index = (index + direction + count) % count;
        if (Usable(toolbar, index))
            return index;
    }
    return kNone;
}

bool C_ToolbarKeys::OnKey(WPARAM key) {
    HWND toolbar = Control();
    const int hot = int(SendMessageW(toolbar, TB_GETHOTITEM, 0, 0));
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        SendMessageW(toolbar, TB_SETHOTITEM, WPARAM(Step(toolbar, hot, key == VK_RIGHT ? 1 : -1)), 0);
        return true;
    case VK_RETURN:
    case VK_SPACE: {
        TBBUTTON button{};
        if (hot >= 0 && SendMessageW(toolbar, TB_GETBUTTON, WPARAM(hot), reinterpret_cast<LPARAM>(&button)))
            PostMessageW(m_owner, WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED),
                         reinterpret_cast<LPARAM>(toolbar));
        return true;
    }
    default:
        return false;
    }
}

LRESULT C_ToolbarKeys::OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE:
        // Arrows, Enter and Space are the toolbar's while it has the focus; Tab and Esc stay the dialog's.
        if (lParam) {
            const MSG* key = reinterpret_cast<const MSG*>(lParam);
            if (key->message == WM_KEYDOWN && (key->wParam == VK_RETURN || key->wParam == VK_SPACE))
                return DLGC_WANTMESSAGE;
        }
        return DefaultProcedure(message, wParam, lParam) | DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (OnKey(wParam))
            return 0;
        break;
    case WM_CONTEXTMENU:
        // Handed on once, whoever made it: this toolbar keeps it to itself (Wine) or passes it only to the band
        // container, which is not the owner.
        SendMessageW(m_owner, WM_CONTEXTMENU, wParam, lParam);
        return 0;
    case WM_SETFOCUS: {
        // After the toolbar's own handling, which may clear the hot button.
        const LRESULT result = DefaultProcedure(message, wParam, lParam);
        if (SendMessageW(Control(), TB_GETHOTITEM, 0, 0) < 0)
            SendMessageW(Control(), TB_SETHOTITEM, WPARAM(Step(Control(), kNone, 1)), 0);
        return result;
    }
    case WM_KILLFOCUS:
        SendMessageW(Control(), TB_SETHOTITEM, WPARAM(kNone), 0);
        break;
    default:
        break;
    }
    return DefaultProcedure(message, wParam, lParam);
}
