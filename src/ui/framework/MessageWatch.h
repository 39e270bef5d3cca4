#pragma once
// C_MessageWatch: a message hook of the thread that shows its owner every message taken off the queue, before it
// is dispatched. The program's only message loop belongs to the main window's modal dialog, so a modeless window
// that wants its keys (Tab, Enter, Esc through the dialog manager), or keys of its own wherever the focus is,
// watches the queue. The owner's TakeMessage(MSG&) may change the message; Consume turns it into nothing.
//
// A hook procedure has no context: the watching object is kept in a static, so a thread has at most one watch of
// each owner class.
#include "platform/system/Handles.h"

#include <windows.h>

namespace MessageWatch {

// The keyboard messages, WM_KEYDOWN up to WM_UNICHAR, that the dialog manager may want.
constexpr UINT kFirstKeyMessage = WM_KEYDOWN;
constexpr UINT kLastKeyMessage = 0x0109;

inline bool IsKeyMessage(UINT message) {
    return message >= kFirstKeyMessage && message <= kLastKeyMessage;
}

inline bool IsKeyHeld(int key) {
    return GetKeyState(key) < 0;
}

// What was taken becomes WM_NULL, which the loop then dispatches as nothing.
inline void Consume(MSG& message) {
    message.message = WM_NULL;
    message.wParam = 0;
    message.lParam = 0;
}

} // namespace MessageWatch

template <class Owner> class C_MessageWatch {
public:
    C_MessageWatch() = default;
    ~C_MessageWatch() { Remove(); }
    C_MessageWatch(const C_MessageWatch&) = delete;
    C_MessageWatch& operator=(const C_MessageWatch&) = delete;

    // False when the thread has a watch of this owner class already, or the system refused the hook.
    bool Install(Owner* owner) {
        if (s_owner)
            return false;
        m_hook.Reset(SetWindowsHookExW(WH_GETMESSAGE, Procedure, nullptr, GetCurrentThreadId()));
        if (m_hook)
            s_owner = owner;
        return bool(m_hook);
    }
    void Remove() {
        if (m_hook) // only the installed watch of the class has a hook
            s_owner = nullptr;
        m_hook.Reset();
    }
    bool IsInstalled() const { return bool(m_hook); }

private:
    // Only messages taken off the queue: a peek that leaves the message there must see it unchanged.
    static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION && wParam == PM_REMOVE && s_owner)
            s_owner->TakeMessage(*reinterpret_cast<MSG*>(lParam));
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    C_Hook m_hook;
    static inline Owner* s_owner = nullptr;
};
