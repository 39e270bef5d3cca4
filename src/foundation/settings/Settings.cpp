#include "foundation/settings/Settings.h"

namespace {

constexpr uint32_t kMaxPathUnits = 32768; // the longest path the system accepts

// The executable's full path, however long.
bool GetExecutablePath(C_String& path) {
    for (uint32_t units = MAX_PATH; units <= kMaxPathUnits; units *= 2) {
        if (!path.SetCapacity(units + 1))
            return false;
        DWORD length = GetModuleFileNameW(nullptr, path.GetBuffer(), units);
        if (length == 0)
            return false;
        if (length < units) {
            path.UpdateLength();
            return true;
        }
    }
    return false;
}

bool HasFolder(const wchar_t* path) {
    return wcspbrk(path, L"\\/:") != nullptr;
}

} // namespace

bool C_Settings::ResolveFilePath(const wchar_t* filePath, const wchar_t* defaultExtension, C_String& out) {
    if (filePath && *filePath && HasFolder(filePath))
        return out.Assign(filePath);
    if (!GetExecutablePath(out))
        return false;
    if (filePath && *filePath) {
        // A bare file name lives beside the executable.
        RemoveFileName(out.GetBuffer());
        out.UpdateLength();
        return out.EnsureTrailingChar(L'\\') && out.Append(filePath);
    }
    int dot = out.ReverseFindChar(L'.');
    int slash = out.ReverseFindChar(L'\\');
    if (dot > slash)
        out.Left(dot);
    return out.Append(defaultExtension);
}

int C_Settings::Open(uint32_t backends, HKEY root, const wchar_t* basePath, const wchar_t* filePath) {
    Close();
    if (backends & BACKEND_REGISTRY) {
        m_registry.Open(root, basePath);
        m_backend = BACKEND_REGISTRY;
    } else if (backends & BACKEND_INI) {
        if (!ResolveFilePath(filePath, L".ini", m_filePath) || !m_ini.Open(m_filePath.c_str()))
            return 0;
        m_backend = BACKEND_INI;
    } else if (backends & BACKEND_XML) {
        if (!ResolveFilePath(filePath, L".xml", m_filePath) || !m_xml.Open(m_filePath.c_str(), basePath))
            return 0;
        m_backend = BACKEND_XML;
    }
    return m_backend ? 1 : 0;
}

bool C_Settings::Close() {
    bool ok = true;
    if (m_backend == BACKEND_INI)
        m_ini.Close();
    else if (m_backend == BACKEND_XML)
        ok = m_xml.Close();
    m_backend = 0;
    return ok;
}

const C_SettingsStore* C_Settings::Active() const {
    switch (m_backend) {
    case BACKEND_REGISTRY:
        return &m_registry;
    case BACKEND_INI:
        return &m_ini;
    case BACKEND_XML:
        return &m_xml;
    default:
        return nullptr;
    }
}

C_SettingsStore* C_Settings::Active() {
    return const_cast<C_SettingsStore*>(static_cast<const C_Settings*>(this)->Active());
}

uint64_t C_Settings::ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section) const {
    const C_SettingsStore* store = Active();
    return store ? store->ReadNumber(name, defaultValue, section) : defaultValue;
}

bool C_Settings::WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section) {
    C_SettingsStore* store = Active();
    return store && store->WriteNumber(name, value, section);
}

bool C_Settings::ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                            const wchar_t* section) const {
    if (const C_SettingsStore* store = Active())
        return store->ReadString(name, dest, defaultText, section);
    dest.Assign(defaultText ? defaultText : L"");
    return false;
}

bool C_Settings::WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section) {
    C_SettingsStore* store = Active();
    return store && store->WriteString(name, text, section);
}

bool C_Settings::DeleteValue(const wchar_t* name, const wchar_t* section) {
    C_SettingsStore* store = Active();
    return store && store->DeleteValue(name, section);
}
