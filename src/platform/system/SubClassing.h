#pragma once
// C_SubClassing: routes one window message of a window that belongs to someone else (the main dialog) to an
// object, by replacing the window's procedure. Every other message goes on to the procedure that was there
// before.
//
// A window is subclassed at most once by this mechanism, whatever the number of owners: the first Attach
// replaces the procedure and creates the window's subclass record (which holds the previous procedure); later
// owners, with the same tag or another one, add their message to that record. The record is stored in the
// window property "_C_SubClassing_Property_%08X" of every owner's tag, so the property tells whether a window is
// subclassed for a tag. Two owners that share a tag (the TCP and the UDP socket layers on the main window) each
// still receive their own message.
//
// Restoring removes the owner's message; the last one out puts the previous procedure back and removes the
// properties. A window destroyed while subclassed cleans up after itself, so restoring afterwards is harmless.
#include <windows.h>

#include <cstdint>

// What receives the messages an owner attached for. Runs on the thread that owns the window.
class C_SubClassTarget {
public:
    virtual LRESULT OnSubClassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~C_SubClassTarget() = default;
};

class C_SubClassing {
public:
    static constexpr const wchar_t* kPropertyFormat = L"_C_SubClassing_Property_%08X";
    static constexpr size_t kPropertyNameSize = 40;
    // Owners of one window together; the program needs three (two socket layers and the update check).
    static constexpr int kMaxRoutes = 8;

    C_SubClassing() = default;
    ~C_SubClassing() { Restore(); }
    C_SubClassing(const C_SubClassing&) = delete;
    C_SubClassing& operator=(const C_SubClassing&) = delete;

    // Routes message (not 0) of window to target. False when this object is already attached, when the window
    // already routes that message, when the record is full or when the system refuses the subclassing. May be
    // called from another thread of the window's process.
    bool Attach(HWND window, uint32_t tag, UINT message, C_SubClassTarget* target);
    // Stops the routing. Restoring the previous procedure and freeing the record happen only on the window's
    // own thread; from any other thread the record stays in place, passing every message on, until the window
    // is destroyed.
    void Restore();
    bool IsAttached() const { return m_window != nullptr; }

    // Whether the window carries the property of tag.
    static bool IsSubClassed(HWND window, uint32_t tag);
    static void FormatPropertyName(uint32_t tag, wchar_t (&name)[kPropertyNameSize]);

private:
    HWND m_window = nullptr;
    uint32_t m_tag = 0;
    UINT m_message = 0;
    C_SubClassTarget* m_target = nullptr;
};
