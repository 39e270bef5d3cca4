#pragma once
// C_ControlSubclass: gives an object the messages of a control before the control's own procedure sees them
// (the common controls' window subclassing), for as long as it is attached. The small controls of the main
// window (the web link, the filter field's icon) are ordinary system controls with a few messages answered
// differently.
//
// A control destroyed while attached detaches by itself.
#include <windows.h>

class C_ControlSubclass {
public:
    C_ControlSubclass() = default;
    C_ControlSubclass(const C_ControlSubclass&) = delete;
    C_ControlSubclass& operator=(const C_ControlSubclass&) = delete;

    // False when already attached, when control is null or when the system refuses. The control's thread only.
    bool AttachTo(HWND control);
    void DetachFrom();
    HWND Control() const { return m_control; }
    bool IsAttached() const { return m_control != nullptr; }

protected:
    ~C_ControlSubclass() { DetachFrom(); }

    // Every message of the control; answer with DefaultProcedure for what is not handled.
    virtual LRESULT OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT DefaultProcedure(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);

    HWND m_control = nullptr;
};
