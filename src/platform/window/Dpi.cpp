#include "platform/window/Dpi.h"

#include "platform/system/Handles.h"
#include "platform/system/SystemFunction.h"

namespace {

constexpr const wchar_t* kUser32 = L"user32.dll";
// DIALOG_DPI_CHANGE_BEHAVIORS: DDC_DISABLE_RESIZE.
constexpr int kDialogDisableResize = 0x0002;
// DPI_AWARENESS_CONTEXT_UNAWARE is the pseudo handle -1.
const HANDLE kUnawareContext = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1));

using SetProcessDpiAwareFn = BOOL(WINAPI*)();
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using MonitorFromPointFn = HMONITOR(WINAPI*)(POINT, DWORD);
using SetThreadDpiAwarenessContextFn = HANDLE(WINAPI*)(HANDLE);
using GetDialogDpiChangeBehaviorFn = int(WINAPI*)(HWND);
using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);

template <class Function> Function User32(const char* name) {
    return LookupSystemFunction<Function>(kUser32, name);
}

SetThreadDpiAwarenessContextFn ThreadContextSetter() {
    static const auto setContext = User32<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
    return setContext;
}

SetDialogDpiChangeBehaviorFn DialogBehaviorSetter() {
    static const auto setBehavior = User32<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    return setBehavior;
}

} // namespace

namespace Dpi {

void MakeProcessAware() {
    if (auto setAware = User32<SetProcessDpiAwareFn>("SetProcessDPIAware"))
        setAware();
}

UINT ForSystem() {
    const C_WindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? UINT(dpi) : kDefault;
}

UINT ForWindow(HWND window) {
    static const auto getDpi = User32<GetDpiForWindowFn>("GetDpiForWindow");
    UINT dpi = getDpi && window ? getDpi(window) : 0;
    return dpi ? dpi : ForSystem();
}

bool AdjustWindowRect(RECT* rect, DWORD style, bool hasMenu, DWORD exStyle, UINT dpi) {
    static const auto adjustForDpi = User32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    if (adjustForDpi)
        return adjustForDpi(rect, style, hasMenu, exStyle, dpi) != FALSE;
    return AdjustWindowRectEx(rect, style, hasMenu, exStyle) != FALSE;
}

bool CanTestMonitors() {
    return User32<MonitorFromPointFn>("MonitorFromPoint") != nullptr;
}

HMONITOR MonitorAt(POINT point, DWORD flags) {
    static const auto monitorFromPoint = User32<MonitorFromPointFn>("MonitorFromPoint");
    return monitorFromPoint ? monitorFromPoint(point, flags) : nullptr;
}

HANDLE UnawareContext() {
    return kUnawareContext;
}

C_ThreadAwarenessScope::C_ThreadAwarenessScope(HANDLE context) {
    if (auto setContext = ThreadContextSetter())
        m_previous = setContext(context);
}

C_ThreadAwarenessScope::~C_ThreadAwarenessScope() {
    if (m_previous)
        ThreadContextSetter()(m_previous);
}

C_DialogResizeSuspension::C_DialogResizeSuspension(HWND dialog) : m_dialog(dialog) {
    static const auto getBehavior = User32<GetDialogDpiChangeBehaviorFn>("GetDialogDpiChangeBehavior");
    auto setBehavior = DialogBehaviorSetter();
    if (!getBehavior || !setBehavior)
        return;
    m_previous = getBehavior(dialog);
    m_changed = setBehavior(dialog, kDialogDisableResize, kDialogDisableResize) != FALSE;
}

C_DialogResizeSuspension::~C_DialogResizeSuspension() {
    if (m_changed)
        DialogBehaviorSetter()(m_dialog, kDialogDisableResize, m_previous);
}

} // namespace Dpi
