#include "foundation/settings/SettingsRegistry.h"

#include "platform/system/Handles.h"

namespace {

constexpr wchar_t kMultiStringSeparator = L'\x0001';

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Turns the units the system delivered into a terminated text. A REG_MULTI_SZ ends with two zeros; the zeros
// between its strings become U+0001 so the whole list survives as one text.
void TerminateRegistryText(wchar_t* text, uint32_t units, DWORD type) {
    text[units] = 0;
    if (type != REG_MULTI_SZ)
        return;
    while (units > 0 && text[units - 1] == 0)
        --units;
    for (uint32_t i = 0; i < units; ++i) {
        if (text[i] == 0)
            text[i] = kMultiStringSeparator;
    }
}

// One query into dest's whole buffer (less the unit kept for the terminator). On ERROR_MORE_DATA bytes holds
// the size the system needs.
LSTATUS QueryInto(HKEY key, const wchar_t* name, C_String& dest, DWORD& type, DWORD& bytes) {
    bytes = DWORD(dest.GetCapacity()) * sizeof(wchar_t);
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(dest.GetBuffer()), &bytes);
}

bool QueryRegistryString(HKEY key, const wchar_t* name, C_String& dest) {
    if (dest.GetCapacity() == 0 && !dest.Empty())
        return false;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    LSTATUS status = QueryInto(key, name, dest, type, bytes);
    if (status == ERROR_MORE_DATA) {
        // Read once more with the reported size; a value that grew again in between is given up on.
        uint32_t units = (bytes + 1) / sizeof(wchar_t);
        if (!dest.SetCapacity(units + 1))
            return false;
        status = QueryInto(key, name, dest, type, bytes);
    }
    if (status != ERROR_SUCCESS || !IsStringType(type))
        return false;
    TerminateRegistryText(dest.GetBuffer(), bytes / sizeof(wchar_t), type);
    dest.UpdateLength();
    return true;
}

} // namespace

// --- C_RegistrySettings --------------------------------------------------------------------------------

void C_RegistrySettings::Open(HKEY root, const wchar_t* basePath) {
    m_root = root;
    m_basePath.Assign(basePath);
}

bool C_RegistrySettings::KeyPath(const wchar_t* section, C_String& path) const {
    if (!path.Assign(m_basePath))
        return false;
    if (!section || !*section)
        return true;
    return path.AppendWithSeparator(section, L"\\");
}

HKEY C_RegistrySettings::OpenForReading(const wchar_t* section) const {
    C_String path;
    C_RegistryKey key;
    if (m_root && KeyPath(section, path))
        key.Open(m_root, path.c_str(), KEY_QUERY_VALUE);
    return key.Detach();
}

HKEY C_RegistrySettings::OpenForWriting(const wchar_t* section) const {
    C_String path;
    C_RegistryKey key;
    if (m_root && KeyPath(section, path))
        key.Create(m_root, path.c_str(), KEY_SET_VALUE);
    return key.Detach();
}

// Whatever the stored type, its bytes are taken as a little-endian number of at most eight bytes, so a
// REG_DWORD written by another tool reads as its 32-bit value; anything longer gives the default.
uint64_t C_RegistrySettings::ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section) const {
    C_RegistryKey key(OpenForReading(section));
    if (!key.Get())
        return defaultValue;
    BYTE data[kNumberBytes] = {};
    DWORD size = sizeof data;
    if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, data, &size) != ERROR_SUCCESS)
        return defaultValue;
    uint64_t value = 0;
    for (DWORD i = 0; i < size && i < kNumberBytes; ++i)
        value |= uint64_t(data[i]) << (8 * i);
    return value;
}

bool C_RegistrySettings::WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section) {
    C_RegistryKey key(OpenForWriting(section));
    if (!key.Get())
        return false;
    BYTE data[kNumberBytes];
    for (uint32_t i = 0; i < kNumberBytes; ++i)
        data[i] = BYTE(value >> (8 * i));
    if (RegSetValueExW(key.Get(), name, 0, REG_QWORD, data, sizeof data) == ERROR_SUCCESS)
        return true;
    // Systems without REG_QWORD support get the low half.
    return RegSetValueExW(key.Get(), name, 0, REG_DWORD, data, sizeof(DWORD)) == ERROR_SUCCESS;
}

bool C_RegistrySettings::ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                                    const wchar_t* section) const {
    C_RegistryKey key(OpenForReading(section));
    if (key.Get() && QueryRegistryString(key.Get(), name, dest))
        return true;
    dest.Assign(defaultText ? defaultText : L"");
    return false;
}

bool C_RegistrySettings::WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section) {
    C_RegistryKey key(OpenForWriting(section));
    if (!key.Get())
        return false;
    if (!text)
        text = L"";
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD)
        return false;
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(bytes)) ==
           ERROR_SUCCESS;
}

bool C_RegistrySettings::DeleteValue(const wchar_t* name, const wchar_t* section) {
    C_String path;
    C_RegistryKey key;
    LONG opened = ERROR_SUCCESS;
    if (!m_root || !KeyPath(section, path) || !key.Open(m_root, path.c_str(), KEY_SET_VALUE, &opened))
        return opened == ERROR_FILE_NOT_FOUND; // no key: no value either
    const LSTATUS deleted = RegDeleteValueW(key.Get(), name);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}
