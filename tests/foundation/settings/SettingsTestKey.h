#pragma once
// A registry key of its own for one test, below HKEY_CURRENT_USER\Software\Brannick\VeltoTest, deleted with
// everything in it afterwards. Tests never touch the program's own key.
#include "platform/system/Handles.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

class SettingsTestKey {
public:
    static constexpr const wchar_t* kParent = L"Software\\Brannick\\VeltoTest";

    SettingsTestKey() {
        static unsigned s_sequence = 0;
        wchar_t path[128];
        _snwprintf(path, 128, L"%s\\%lu-%lu-%u", kParent, GetCurrentProcessId(), GetTickCount(), ++s_sequence);
        m_path = path;
    }
    ~SettingsTestKey() {
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kParent); // succeeds only once no other test key is left
    }
    SettingsTestKey(const SettingsTestKey&) = delete;
    SettingsTestKey& operator=(const SettingsTestKey&) = delete;

    const wchar_t* Path() const { return m_path.c_str(); }
    std::wstring Path(const wchar_t* section) const { return section ? m_path + L"\\" + section : m_path; }

    // Stores a value the way another tool would, with any type and size.
    bool SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size, const wchar_t* section = nullptr) {
        C_RegistryKey key;
        return key.Create(HKEY_CURRENT_USER, Path(section).c_str(), KEY_SET_VALUE) &&
               RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }

    // The stored type and size of a value; REG_NONE and 0 when it is missing.
    std::pair<DWORD, DWORD> RawTypeAndSize(const wchar_t* name, const wchar_t* section = nullptr) const {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, Path(section).c_str(), name, RRF_RT_ANY, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            return {REG_NONE, 0};
        return {type, size};
    }

private:
    std::wstring m_path;
};
