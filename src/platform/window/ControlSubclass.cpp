#include "platform/window/ControlSubclass.h"

#include <commctrl.h>

namespace {

// One subclass of ours per control; the id only has to differ from other owners' ids.
constexpr UINT_PTR kSubclassId = 0x56656C74;

} // namespace

bool C_ControlSubclass::AttachTo(HWND control) {
    if (m_control || !control)
        return false;
    if (!SetWindowSubclass(control, &C_ControlSubclass::Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_control = control;
    return true;
}

void C_ControlSubclass::DetachFrom() {
    if (!m_control)
        return;
    RemoveWindowSubclass(m_control, &C_ControlSubclass::Procedure, kSubclassId);
    m_control = nullptr;
}

LRESULT C_ControlSubclass::DefaultProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(m_control, message, wParam, lParam);
}

LRESULT CALLBACK C_ControlSubclass::Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self) {
    auto* owner = reinterpret_cast<C_ControlSubclass*>(self);
    if (message == WM_NCDESTROY) {
        owner->DetachFrom();
        return DefSubclassProc(control, message, wParam, lParam);
    }
    return owner->OnControlMessage(message, wParam, lParam);
}
