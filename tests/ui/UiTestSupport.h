#pragma once
// Helpers for tests that run real windows under Wine: pumping messages until something happened, and a
// registry key of the test's own that is removed afterwards.
#include <windows.h>

#include <functional>
#include <string>

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

// HKEY_CURRENT_USER\Software\Brannick\Velto\UiTests-<process id>, deleted with its values on destruction.
class TestRegistryKey {
public:
    TestRegistryKey() : m_path(L"Software\\Brannick\\Velto\\UiTests-" + std::to_wstring(GetCurrentProcessId())) {}
    ~TestRegistryKey() { RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str()); }
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    const wchar_t* Path() const { return m_path.c_str(); }

    bool Write(const wchar_t* name, const std::wstring& text) const {
        HKEY key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, Path(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
            return false;
        LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     DWORD((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
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
