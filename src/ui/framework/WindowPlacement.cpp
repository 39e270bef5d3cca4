#include "ui/framework/WindowPlacement.h"

#include "platform/window/Dpi.h"
#include "platform/system/Handles.h"

#include <climits>
#include <cstdint>
#include <cwchar>

namespace {

constexpr const wchar_t* kFormat = L"%d,%i,%i,%i,%i";
constexpr int kFieldCount = 5;
constexpr int kHighestShowCommand = SW_MAX;

bool ReadPlacement(HWND window, WINDOWPLACEMENT& placement) {
    placement = {};
    placement.length = sizeof(placement);
    Dpi::C_ThreadAwarenessScope unaware(Dpi::UnawareContext());
    return GetWindowPlacement(window, &placement) != FALSE;
}

bool ReadValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
               wchar_t (&text)[WindowPlacement::kMaxValueBytes / 2 + 1]) {
    C_RegistryKey key;
    if (!key.Open(root, keyPath, KEY_QUERY_VALUE))
        return false;
    DWORD type = 0;
    DWORD size = WindowPlacement::kMaxValueBytes;
    if (RegQueryValueExW(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // Registry text need not be terminated; the buffer has room for one more character.
    text[size / sizeof(wchar_t)] = 0;
    return true;
}

int64_t Clamped(int64_t value, int64_t low, int64_t high) {
    return value < low ? low : value > high ? high : value;
}

int ToInt(int64_t value) {
    return int(Clamped(value, INT_MIN, INT_MAX));
}

// The strip along the top of the window that its title bar takes.
RECT TitleBarOf(const RECT& rect) {
    const int64_t captionHeight = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
    return {rect.left, rect.top, rect.right, ToInt(Clamped(rect.top + captionHeight, rect.top, rect.bottom))};
}

// The place to restore: as saved while the title bar is on a monitor (or the caller asked for no test), else
// on the nearest monitor's work area. The system keeps a window it places on its screens, but not every
// system does so for a placement given to it outright.
RECT OnAMonitor(const RECT& rect, DWORD options) {
    if ((options & WindowPlacement::OPTION_NO_MONITOR_TEST) || !Dpi::CanTestMonitors())
        return rect;
    Dpi::C_ThreadAwarenessScope unaware(Dpi::UnawareContext()); // the rectangle is in 96-DPI units
    if ((options & WindowPlacement::OPTION_TEST_BOTTOM_RIGHT) &&
        Dpi::MonitorAt({rect.right, rect.bottom}, MONITOR_DEFAULTTONULL))
        return rect;
    const RECT titleBar = TitleBarOf(rect);
    if (MonitorFromRect(&titleBar, MONITOR_DEFAULTTONULL))
        return rect;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
        return rect;
    return WindowPlacement::MovedOntoWorkArea(rect, monitor.rcWork);
}

void ApplyPlacement(HWND window, const RECT& rect, int showCommand) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    placement.showCmd = SW_HIDE;
    placement.rcNormalPosition = rect;
    SetWindowPlacement(window, &placement);
    // The first call has moved the window onto its monitor; in 96-DPI units, and without the dialog manager
    // scaling the dialog a second time, the rectangle now comes out right for that monitor's DPI.
    Dpi::C_DialogResizeSuspension noDialogResize(window);
    Dpi::C_ThreadAwarenessScope unaware(Dpi::UnawareContext());
    placement.showCmd = UINT(showCommand);
    SetWindowPlacement(window, &placement);
}

} // namespace

namespace WindowPlacement {

bool Format(const Record& record, C_String& out) {
    const RECT& r = record.normal;
    return out.Format(kFormat, record.showCommand, r.left, r.top, r.right, r.bottom);
}

bool Parse(const wchar_t* text, Record& record) {
    Record parsed;
    RECT& r = parsed.normal;
    if (!text || swscanf(text, kFormat, &parsed.showCommand, &r.left, &r.top, &r.right, &r.bottom) != kFieldCount)
        return false;
    record = parsed;
    return true;
}

// A show command outside the system's range (a hand-edited value) restores as normal rather than being passed on.
int RestoredShowCommand(int saved, DWORD options) {
    int command = saved;
    if (command < SW_HIDE || command > kHighestShowCommand)
        command = SW_SHOWNORMAL;
    if (command == SW_SHOWMINIMIZED && !(options & OPTION_ALLOW_MINIMIZED))
        command = SW_SHOWNORMAL;
    if (command == SW_HIDE && !(options & OPTION_ALLOW_HIDDEN))
        command = SW_SHOWNORMAL;
    if (options & OPTION_FORCE_HIDDEN)
        command = SW_HIDE;
    if (options & OPTION_FORCE_MINIMIZED)
        command = SW_SHOWMINNOACTIVE;
    return command;
}

RECT RestoredRectangle(const RECT& saved, const RECT& current, DWORD options) {
    const RECT& sized = (options & OPTION_KEEP_SIZE) ? current : saved;
    const RECT& placed = (options & OPTION_KEEP_POSITION) ? current : saved;
    const int64_t width = Clamped(int64_t(sized.right) - sized.left, 0, INT_MAX);
    const int64_t height = Clamped(int64_t(sized.bottom) - sized.top, 0, INT_MAX);
    return {placed.left, placed.top, ToInt(placed.left + width), ToInt(placed.top + height)};
}

RECT MovedOntoWorkArea(const RECT& rect, const RECT& workArea) {
    const int64_t width = Clamped(int64_t(rect.right) - rect.left, 0, int64_t(workArea.right) - workArea.left);
    const int64_t height = Clamped(int64_t(rect.bottom) - rect.top, 0, int64_t(workArea.bottom) - workArea.top);
    const int64_t left = Clamped(rect.left, workArea.left, workArea.right - width);
    const int64_t top = Clamped(rect.top, workArea.top, workArea.bottom - height);
    return {int(left), int(top), int(left + width), int(top + height)};
}

bool Save(HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName, DWORD options) {
    WINDOWPLACEMENT placement;
    if (!ReadPlacement(window, placement))
        return false;
    Record record = {int(placement.showCmd), placement.rcNormalPosition};
    if (!(options & OPTION_SAVE_HIDDEN_AS_SHOWN) && !IsWindowVisible(window))
        record.showCommand = SW_HIDE;
    C_String text;
    C_RegistryKey key;
    if (!Format(record, text) || !key.Create(root, keyPath, KEY_SET_VALUE))
        return false;
    DWORD bytes = (text.GetLength() + 1) * sizeof(wchar_t);
    return RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool Restore(HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName, DWORD options) {
    wchar_t text[kMaxValueBytes / 2 + 1];
    Record saved;
    WINDOWPLACEMENT current;
    if (!ReadValue(root, keyPath, valueName, text) || !Parse(text, saved) || !ReadPlacement(window, current))
        return false;
    const RECT rect = OnAMonitor(RestoredRectangle(saved.normal, current.rcNormalPosition, options), options);
    ApplyPlacement(window, rect, RestoredShowCommand(saved.showCommand, options));
    return true;
}

} // namespace WindowPlacement
