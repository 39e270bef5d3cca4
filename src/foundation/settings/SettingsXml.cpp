#include "foundation/settings/SettingsXml.h"

#include "foundation/settings/SettingsText.h"

namespace {

bool FileIsMissing(const wchar_t* path) {
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

bool C_XmlSettings::Open(const wchar_t* filePath, const wchar_t* basePath) {
    Close();
    if (!filePath || !*filePath || !m_filePath.Assign(filePath) || !m_basePath.Assign(basePath))
        return false;
    // A file that exists but cannot be read is not replaced by an empty document: that would lose it at Close.
    bool loaded = FileIsMissing(filePath) ? m_document.Create(kRootName) : m_document.LoadFile(filePath);
    if (!loaded)
        m_filePath.Empty();
    return loaded;
}

bool C_XmlSettings::Close() {
    bool saved = !m_changed || m_document.Save(m_filePath.c_str());
    m_document.Release();
    m_filePath.Empty();
    m_changed = false;
    return saved;
}

bool C_XmlSettings::ValuePath(const wchar_t* name, const wchar_t* section, C_String& path) const {
    return name && *name && path.Assign(m_basePath) && path.AppendWithSeparator(section, L"\\") &&
           path.AppendWithSeparator(name, L"\\");
}

bool C_XmlSettings::ReadText(const wchar_t* name, const wchar_t* section, C_String& dest) const {
    C_String path;
    if (!m_document.IsLoaded() || !ValuePath(name, section, path))
        return false;
    C_XmlNode root = m_document.GetDocumentElement();
    C_XmlText text;
    return root && m_document.ReadText(path.c_str(), text, &root) && dest.Assign(text.c_str(), text.GetLength());
}

uint64_t C_XmlSettings::ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section) const {
    C_String text;
    uint64_t value = 0;
    if (!ReadText(name, section, text) || !ParseUnsignedDecimal(text.c_str(), value))
        return defaultValue;
    return value;
}

bool C_XmlSettings::WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section) {
    wchar_t text[kNumberTextUnits];
    FormatUnsignedDecimal(value, text);
    return WriteString(name, text, section);
}

bool C_XmlSettings::ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                               const wchar_t* section) const {
    if (ReadText(name, section, dest))
        return true;
    dest.Assign(defaultText ? defaultText : L"");
    return false;
}

bool C_XmlSettings::WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section) {
    C_String path;
    if (!m_document.IsLoaded() || !ValuePath(name, section, path))
        return false;
    C_XmlNode root = m_document.GetDocumentElement();
    C_XmlNode element = root ? m_document.FindOrCreateElement(path.c_str(), &root) : C_XmlNode();
    if (!element)
        return false;
    m_changed = true; // elements may have been created even if the text cannot be set
    return m_document.WriteText(element, text);
}
