#pragma once
// Helpers for tests that run real windows under Wine: pumping messages until something happened, and a
// registry key of the test's own that is removed afterwards.
#include "platform/system/Handles.h"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Dispatches the thread's messages until the condition holds or the time-out passes; the result is the
// condition's last answer. The time-out is generous: it only bounds a test that has already failed. Conditions
// that change without a message to this thread (another process's window) are looked at again every slice.
constexpr DWORD kPumpSliceMs = 50;

inline bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (condition())
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return condition();
        DWORD remaining = timeoutMs - elapsed;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, remaining < kPumpSliceMs ? remaining : kPumpSliceMs, QS_ALLINPUT);
    }
}

// Handles whatever is already queued, without waiting for anything more.
inline void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A shown pop-up window for the views of a test suite, one for all its tests: under Wine, hiding or destroying a
// shown top-level window waits two seconds for the X server.
inline HWND CreateSuiteFrame(const wchar_t* title) {
    return CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The frame and its child view as large as the view's edge and vertical scroll bar around a client area of
// width x height, which the view then has.
inline void FitToClient(HWND frame, HWND view, int width, int height) {
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, GetWindowLongW(view, GWL_STYLE), FALSE, GetWindowLongW(view, GWL_EXSTYLE));
    outer.right += GetSystemMetrics(SM_CXVSCROLL);
    const int outerWidth = outer.right - outer.left;
    const int outerHeight = outer.bottom - outer.top;
    SetWindowPos(frame, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(view, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The clipboard's text, opened for owner; a text that says so when it cannot be opened.
inline std::wstring ClipboardText(HWND owner) {
    C_ClipboardOpen clipboard(owner);
    if (!clipboard)
        return L"(clipboard not opened)";
    C_GlobalLock data(GetClipboardData(CF_UNICODETEXT));
    return data.Data() ? static_cast<const wchar_t*>(data.Data()) : L"";
}

// Runs a script against the next modal dialog of this thread once it is up: a thread timer looks for it from
// inside the dialog's own message loop. The script acts as the user would and must end the dialog.
class ModalDialogScript {
public:
    static constexpr UINT kLookIntervalMs = 20;

    explicit ModalDialogScript(std::function<void(HWND dialog)> script) : m_script(std::move(script)) {
        s_current = this;
        m_timer = SetTimer(nullptr, 0, kLookIntervalMs, &ModalDialogScript::Look);
    }
    ~ModalDialogScript() {
        if (m_timer)
            KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    ModalDialogScript(const ModalDialogScript&) = delete;
    ModalDialogScript& operator=(const ModalDialogScript&) = delete;

    bool Ran() const { return m_ran; }

private:
    // The enabled, visible dialog of this thread (its owner is disabled while it runs).
    static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) != L"#32770" || !IsWindowVisible(window) || !IsWindowEnabled(window))
            return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    static void CALLBACK Look(HWND, UINT, UINT_PTR, DWORD) {
        ModalDialogScript* self = s_current;
        HWND dialog = nullptr;
        if (!self || self->m_ran)
            return;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog)
            return;
        KillTimer(nullptr, self->m_timer);
        self->m_timer = 0;
        self->m_ran = true;
        self->m_script(dialog);
    }

    std::function<void(HWND)> m_script;
    UINT_PTR m_timer = 0;
    bool m_ran = false;
    static inline ModalDialogScript* s_current = nullptr;
};

// A hidden top-level window that owns the dialogs under test and receives what they post.
class OwnerWindow {
public:
    OwnerWindow()
        : m_window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)) {}
    ~OwnerWindow() { DestroyWindow(m_window); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND Get() const { return m_window; }
    // The wParam of each message of this kind waiting in the queue, taken out of it.
    std::vector<WPARAM> TakePosted(UINT message) const {
        std::vector<WPARAM> found;
        MSG posted;
        while (PeekMessageW(&posted, m_window, message, message, PM_REMOVE))
            found.push_back(posted.wParam);
        return found;
    }

private:
    HWND m_window;
};

// HKEY_CURRENT_USER\Software\Brannick\Velto\UiTests-<process id>, deleted with its values on destruction.
class TestRegistryKey {
public:
    TestRegistryKey() : m_path(L"Software\\Brannick\\Velto\\UiTests-" + std::to_wstring(GetCurrentProcessId())) {}
    ~TestRegistryKey() { RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str()); }
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    const wchar_t* Path() const { return m_path.c_str(); }

    bool Write(const wchar_t* name, const std::wstring& text) const {
        C_RegistryKey key;
        return key.Create(HKEY_CURRENT_USER, Path(), KEY_SET_VALUE) &&
               RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    std::wstring Read(const wchar_t* name) const {
        wchar_t text[512] = {};
        DWORD size = sizeof(text) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_CURRENT_USER, Path(), name, RRF_RT_REG_SZ, nullptr, text, &size))
            return L"<missing>";
        return text;
    }

private:
    std::wstring m_path;
};
