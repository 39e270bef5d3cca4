#pragma once
// C_FilterText: the filter the user types, as the line store asks it. The text is a list of pieces
// separated by ','; empty pieces are skipped; a piece starting with '"' runs to the next '"' not preceded by
// a backslash (commas included) and loses its quotes; spaces belong to the piece. A piece "-text" excludes
// lines containing text; a lone "-" is ignored; every other piece is an include pattern. A line is shown
// when it contains no exclude pattern and, if there are include patterns, at least one of them, all
// ignoring case. An empty filter shows everything.
//
// The main window replaces the text on the user-interface thread while the reader thread tests lines, so
// text and patterns are under the filter lock. The store may call in while holding its own lock; the filter
// never takes the store's.
#include "foundation/base/DynamicBuffer.h"
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"
#include "terminal/store/LineFilter.h"
#include "terminal/store/LineStore.h"

class C_FilterText final : public C_LineFilter {
public:
    C_FilterText() = default;
    C_FilterText(const C_FilterText&) = delete;
    C_FilterText& operator=(const C_FilterText&) = delete;

    void SetText(const wchar_t* text);
    void GetText(C_String& out);
    bool IsEmpty();

    bool LineMatchesFilter(const wchar_t* text, uint32_t length) override;

private:
    struct Pattern {
        uint32_t offset; // into m_patternText
        uint32_t length;
        bool exclude;
    };
    void Parse();

    C_CriticalSection m_lock;
    C_String m_text;
    C_DynamicBuffer<wchar_t> m_patternText;
    C_DynamicBuffer<Pattern> m_patterns;
};

// After the filter text changed: the store shows only matching lines (or, for an empty text, all of them
// again with the cursor at the end), rebuilt from every stored line. The toolbar and the search bar are
// the main window's part.
void ApplyFilter(C_LineStore& store, C_FilterText& filter);
