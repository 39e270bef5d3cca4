#pragma once
// C_SizeGrip: the sizing grip in the lower right corner of a resizable window without a status bar. It is
// drawn with the visual style's status-bar gripper (the classic size grip without one), and the window answers
// hit tests over it as its lower right sizing border.
#include <windows.h>

class C_SizeGrip {
public:
    C_SizeGrip() = default;
    C_SizeGrip(const C_SizeGrip&) = delete;
    C_SizeGrip& operator=(const C_SizeGrip&) = delete;

    void Attach(HWND window);
    void Detach() { m_window = nullptr; }
    // The grip's size from the theme, else from the scroll-bar metrics, at the window's DPI. Again after a DPI
    // change.
    void Measure();

    // The grip square in client coordinates; empty while the window is maximised (it cannot be sized then).
    RECT Area() const;
    // WM_PAINT. The caller owns the paint cycle.
    void Paint(HDC dc) const;
    // WM_SIZE: repaints where the grip was and where it is now.
    void Invalidate();
    // WM_NCHITTEST: given the default answer, the answer to give (HTBOTTOMRIGHT over the grip).
    LRESULT HitTest(LRESULT defaultAnswer, POINT screenPoint) const;

private:
    HWND m_window = nullptr;
    SIZE m_size{};
    RECT m_lastArea{};
};
