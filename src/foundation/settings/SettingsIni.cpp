#include "foundation/settings/SettingsIni.h"

#include "foundation/settings/SettingsText.h"
#include "platform/system/Handles.h"

#include <windows.h>

#include <cwchar>

namespace {

// Given as the default to tell a missing value from an empty one: U+FFFF is not a character, so no file
// holds it as a value.
constexpr const wchar_t* kMissingMarker = L"\xFFFF";
constexpr wchar_t kUtf16ByteOrderMark = 0xFEFF;

const wchar_t* SectionOrDefault(const wchar_t* section) {
    return section && *section ? section : C_IniSettings::kDefaultSection;
}

// The profile functions write a new file in the ANSI code page; one that starts as UTF-16 stays UTF-16.
void CreateUtf16FileIfMissing(const wchar_t* path) {
    C_Handle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    DWORD written = 0;
    WriteFile(file.Get(), &kUtf16ByteOrderMark, sizeof kUtf16ByteOrderMark, &written, nullptr);
}

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}

// The profile functions drop blanks around a value and one pair of enclosing quotes; a value that would lose
// something that way is written inside quotes, which the read takes off again.
bool NeedsQuotes(const wchar_t* text) {
    size_t length = wcslen(text);
    if (length == 0)
        return false;
    wchar_t first = text[0];
    wchar_t last = text[length - 1];
    return IsBlank(first) || IsBlank(last) || (length >= 2 && first == last && (first == L'"' || first == L'\''));
}

// A line break in a value, name or section would start a new line of the file, where it could pose as another
// value or section; an '=' in a name would move the rest of it into the value.
bool FitsOnOneLine(const wchar_t* name, const wchar_t* text, const wchar_t* section) {
    return !wcspbrk(name, L"\r\n=") && !wcspbrk(text, L"\r\n") && !(section && wcspbrk(section, L"\r\n]"));
}

} // namespace

bool C_IniSettings::Open(const wchar_t* filePath) {
    return filePath && *filePath && m_filePath.Assign(filePath);
}

void C_IniSettings::Close() {
    // Null section, key and value flush the system's cached copy of the file.
    if (!m_filePath.IsEmpty())
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_filePath.c_str());
    m_filePath.Empty();
}

// Reads with a growing buffer: a text that filled it may have been cut, so the buffer is doubled and the value
// read again, a bounded number of times.
bool C_IniSettings::ReadProfile(const wchar_t* name, C_String& dest, const wchar_t* section) const {
    if (!name || m_filePath.IsEmpty())
        return false;
    if (dest.GetCapacity() == 0 && !dest.Empty())
        return false;
    for (uint32_t doublings = 0;; ++doublings) {
        DWORD size = DWORD(dest.GetCapacity()) + 1;
        DWORD length = GetPrivateProfileStringW(SectionOrDefault(section), name, kMissingMarker, dest.GetBuffer(), size,
                                                m_filePath.c_str());
        if (length + 1 < size || doublings == kMaxBufferDoublings)
            break;
        if (!dest.SetCapacity(size * 2))
            return false;
    }
    dest.UpdateLength();
    return dest.Compare(kMissingMarker) != 0;
}

uint64_t C_IniSettings::ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section) const {
    C_String text;
    uint64_t value = 0;
    if (!ReadProfile(name, text, section) || !ParseUnsignedDecimal(text.c_str(), value))
        return defaultValue;
    return value;
}

bool C_IniSettings::WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section) {
    wchar_t text[kNumberTextUnits];
    FormatUnsignedDecimal(value, text);
    return WriteString(name, text, section);
}

bool C_IniSettings::ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                               const wchar_t* section) const {
    if (ReadProfile(name, dest, section))
        return true;
    dest.Assign(defaultText ? defaultText : L"");
    return false;
}

bool C_IniSettings::WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section) {
    if (!name || m_filePath.IsEmpty())
        return false;
    if (!text)
        text = L"";
    if (!FitsOnOneLine(name, text, section))
        return false;
    C_String quoted;
    if (NeedsQuotes(text)) {
        if (!quoted.Assign(L"\"") || !quoted.Append(text) || !quoted.AppendChar(L'"'))
            return false;
        text = quoted.c_str();
    }
    CreateUtf16FileIfMissing(m_filePath.c_str());
    return WritePrivateProfileStringW(SectionOrDefault(section), name, text, m_filePath.c_str()) != 0;
}

bool C_IniSettings::DeleteValue(const wchar_t* name, const wchar_t* section) {
    if (m_filePath.IsEmpty() || !name || !*name)
        return false;
    // Without a file there is nothing to remove; the call would create one.
    if (GetFileAttributesW(m_filePath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    return WritePrivateProfileStringW(SectionOrDefault(section), name, nullptr, m_filePath.c_str()) != 0;
}
