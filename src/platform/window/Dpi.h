#pragma once
// DPI and monitor functions. Everything newer than Windows 7 is looked up at run time; where it is missing the
// answers fall back to the system DPI, so callers never need to know which system they run on.
#include <windows.h>

namespace Dpi {

constexpr UINT kDefault = 96;

// Makes the process DPI-aware with SetProcessDPIAware where the manifest has not done so already.
void MakeProcessAware();

// The DPI of the monitor the window is on (per-monitor aware), else the system DPI.
UINT ForWindow(HWND window);
UINT ForSystem();

inline int Scale(int value, UINT dpi) {
    return MulDiv(value, int(dpi), int(kDefault));
}

// AdjustWindowRectExForDpi where available, else AdjustWindowRectEx (which uses the system DPI).
bool AdjustWindowRect(RECT* rect, DWORD style, bool hasMenu, DWORD exStyle, UINT dpi);

// The monitor containing the point, or null (also when MonitorFromPoint cannot be found).
HMONITOR MonitorAt(POINT point, DWORD flags);
bool CanTestMonitors();

// Switches the calling thread's DPI awareness context for its lifetime and restores the previous one.
// Without SetThreadDpiAwarenessContext (before Windows 10 1607) it does nothing.
class C_ThreadAwarenessScope {
public:
    explicit C_ThreadAwarenessScope(HANDLE context);
    ~C_ThreadAwarenessScope();
    C_ThreadAwarenessScope(const C_ThreadAwarenessScope&) = delete;
    C_ThreadAwarenessScope& operator=(const C_ThreadAwarenessScope&) = delete;

private:
    HANDLE m_previous = nullptr;
};

// The DPI_AWARENESS_CONTEXT_UNAWARE pseudo handle: coordinates in 96-DPI units.
HANDLE UnawareContext();

// Suspends the dialog manager's own resizing of a dialog on DPI changes for the scope's lifetime.
class C_DialogResizeSuspension {
public:
    explicit C_DialogResizeSuspension(HWND dialog);
    ~C_DialogResizeSuspension();
    C_DialogResizeSuspension(const C_DialogResizeSuspension&) = delete;
    C_DialogResizeSuspension& operator=(const C_DialogResizeSuspension&) = delete;

private:
    HWND m_dialog;
    int m_previous = 0;
    bool m_changed = false;
};

} // namespace Dpi
