#include "ui/framework/StringTable.h"

#include "ui/framework/Language.h"

#include <cwchar>

void C_StringTable::SetLanguage(LANGID language) {
    Language::SetInterfaceLanguage(language);
}

LANGID C_StringTable::GetLanguage() const {
    return Language::GetInterfaceLanguage();
}

// A string block holds sixteen counted texts in a row, each a length word followed by that many characters.
bool C_StringTable::Find(UINT id, const wchar_t*& text, UINT& length) const {
    HMODULE module = Module();
    LPCWSTR block = MAKEINTRESOURCEW(id / kIdsPerBlock + 1);
    HRSRC resource = Language::FindInLanguageOrder(module, RT_STRING, block, GetLanguage());
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    auto* at = loaded ? static_cast<const wchar_t*>(LockResource(loaded)) : nullptr;
    if (!at)
        return false;
    const wchar_t* end = at + SizeofResource(module, resource) / sizeof(wchar_t);
    for (UINT entry = 0; entry < id % kIdsPerBlock; ++entry) {
        if (at >= end)
            return false;
        at += 1 + *at;
    }
    if (at >= end || *at == 0 || UINT(end - at - 1) < *at)
        return false;
    length = *at;
    text = at + 1;
    return true;
}

const wchar_t* C_StringTable::LoadString(UINT id) {
    const wchar_t* text;
    UINT length;
    if (!Find(id, text, length))
        return kMissingText;
    if (length > kMaxLength)
        length = kMaxLength;
    wmemcpy(m_text, text, length);
    m_text[length] = 0;
    return m_text;
}

// Reads the resource directly rather than through the shared buffer: the connection's command thread loads its
// status texts this way while the user-interface thread uses the table.
bool C_StringTable::LoadString(UINT id, C_String& out) {
    const wchar_t* text;
    UINT length;
    if (!Find(id, text, length))
        return out.Assign(kMissingText);
    return out.Assign(text, length > kMaxLength ? kMaxLength : length);
}
