#pragma once
// C_StringTable: the interface texts in the chosen language, from the program's string-table resources.
#include <windows.h>

#include "foundation/base/TextString.h"

class C_StringTable {
public:
    static constexpr UINT kIdsPerBlock = 16;
    static constexpr UINT kMaxLength = 599;
    static constexpr const wchar_t* kMissingText = L"?";

    // The module whose resources hold the tables; null means the program itself.
    explicit C_StringTable(HMODULE module = nullptr) : m_module(module) {}
    C_StringTable(const C_StringTable&) = delete;
    C_StringTable& operator=(const C_StringTable&) = delete;

    void SetModule(HMODULE module) { m_module = module; }
    // Chooses the interface language for the whole process (dialog templates follow it too).
    void SetLanguage(LANGID language);
    LANGID GetLanguage() const;

    // The text of an id, at most kMaxLength characters, or "?" when no table has it. The result stays valid
    // until the next call on this object.
    const wchar_t* LoadString(UINT id);
    // The same into a string of the caller's; safe on any thread.
    bool LoadString(UINT id, C_String& out);

private:
    bool Find(UINT id, const wchar_t*& text, UINT& length) const;
    HMODULE Module() const { return m_module ? m_module : GetModuleHandleW(nullptr); }

    HMODULE m_module;
    wchar_t m_text[kMaxLength + 1] = {};
};
