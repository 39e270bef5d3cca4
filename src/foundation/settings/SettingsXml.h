#pragma once
// The XML-file backend of the settings store. The base path, the section and the value name, joined with
// backslashes, name nested elements below the document element; the value is the innermost element's text,
// numbers as unsigned decimal. The file is loaded when the store opens and written back when it closes.
#include "foundation/settings/SettingsStore.h"
#include "platform/formats/XmlDocument.h"

class C_XmlSettings : public C_SettingsStore {
public:
    static constexpr const wchar_t* kRootName = L"Settings"; // document element of a new file

    // A missing file starts an empty document; a file that exists but cannot be loaded fails the open and is
    // left untouched (Close never overwrites it).
    bool Open(const wchar_t* filePath, const wchar_t* basePath);
    // Saves the document when a value was written since it was loaded, then releases it.
    bool Close();

    uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section = nullptr) const override;
    bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section = nullptr) override;
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText = nullptr,
                    const wchar_t* section = nullptr) const override;
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section = nullptr) override;

private:
    bool ValuePath(const wchar_t* name, const wchar_t* section, C_String& path) const;
    bool ReadText(const wchar_t* name, const wchar_t* section, C_String& dest) const;

    C_XmlDocument m_document;
    C_String m_filePath;
    C_String m_basePath;
    bool m_changed = false;
};
