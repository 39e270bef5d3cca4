#pragma once
// The INI-file backend of the settings store, over the system's private-profile functions. Values without a
// section go to the section "Settings"; numbers are stored as unsigned decimal text. Texts come back exactly as
// written: blanks at either end and enclosing quotes survive (the value is quoted), and a text with a line break,
// which a line-based file cannot hold, is refused rather than cut.
#include "foundation/settings/SettingsStore.h"

class C_IniSettings : public C_SettingsStore {
public:
    static constexpr const wchar_t* kDefaultSection = L"Settings";
    static constexpr uint32_t kMaxBufferDoublings = 6;

    // A file that does not exist yet is created as UTF-16 by the first write, so that text outside the ANSI code
    // page (the animation and powerline characters) is stored as it is instead of as question marks. An existing
    // file keeps its encoding.
    bool Open(const wchar_t* filePath);
    void Close();

    uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section = nullptr) const override;
    bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section = nullptr) override;
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText = nullptr,
                    const wchar_t* section = nullptr) const override;
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section = nullptr) override;
    bool DeleteValue(const wchar_t* name, const wchar_t* section = nullptr) override;

private:
    bool ReadProfile(const wchar_t* name, C_String& dest, const wchar_t* section) const;

    C_String m_filePath;
};
