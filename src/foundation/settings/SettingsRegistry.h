#pragma once
// The registry backend of the settings store: numbers as REG_QWORD (REG_DWORD when a QWORD cannot be written),
// strings as REG_SZ. Every operation opens and closes its own key handle, so reads and writes may come from
// several threads at once (tags are read on the command thread while the user-interface thread writes one).
#include "foundation/settings/SettingsStore.h"

#include <windows.h>

class C_RegistrySettings : public C_SettingsStore {
public:
    static constexpr uint32_t kNumberBytes = 8;

    void Open(HKEY root, const wchar_t* basePath);

    uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section = nullptr) const override;
    bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section = nullptr) override;
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText = nullptr,
                    const wchar_t* section = nullptr) const override;
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section = nullptr) override;
    bool DeleteValue(const wchar_t* name, const wchar_t* section = nullptr) override;

private:
    bool KeyPath(const wchar_t* section, C_String& path) const;
    // The section's key, or null; the caller closes it.
    HKEY OpenForReading(const wchar_t* section) const;
    HKEY OpenForWriting(const wchar_t* section) const;

    HKEY m_root = nullptr;
    C_String m_basePath;
};
