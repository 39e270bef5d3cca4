#include "terminal/store/Filter.h"

#include "terminal/store/CaseFold.h"

namespace {

constexpr wchar_t kSeparator[] = L",";
constexpr wchar_t kExcludeMark = L'-';

} // namespace

void C_FilterText::SetText(const wchar_t* text) {
    C_Lock lock(m_lock);
    m_text.Assign(text);
    Parse();
}

void C_FilterText::GetText(C_String& out) {
    C_Lock lock(m_lock);
    out.Assign(m_text);
}

bool C_FilterText::IsEmpty() {
    C_Lock lock(m_lock);
    return m_text.IsEmpty();
}

// The pieces are taken apart once, when the text changes, not for every line tested.
void C_FilterText::Parse() {
    m_patterns.Reset();
    m_patternText.Reset();
    C_String piece;
    for (uint32_t position = 0; m_text.SplitNext(position, piece, kSeparator);) {
        const wchar_t* text = piece.c_str();
        uint32_t length = piece.GetLength();
        bool exclude = length > 1 && text[0] == kExcludeMark;
        if (exclude) {
            ++text;
            --length;
        } else if (length == 1 && text[0] == kExcludeMark) {
            continue;
        }
        if (length == 0)
            continue; // a pair of quotes with nothing between them
        uint32_t offset = m_patternText.Count();
        if (!m_patternText.Reserve(offset + length))
            return;
        for (uint32_t i = 0; i < length; ++i)
            m_patternText.Add(text[i]);
        m_patterns.Add({offset, length, exclude});
    }
}

bool C_FilterText::LineMatchesFilter(const wchar_t* text, uint32_t length) {
    C_Lock lock(m_lock);
    bool hasInclude = false;
    bool included = false;
    for (uint32_t i = 0; i < m_patterns.Count(); ++i) {
        const Pattern& pattern = m_patterns[i];
        bool contains = CaseFold::Find(text, length, m_patternText.Data() + pattern.offset, pattern.length) >= 0;
        if (pattern.exclude) {
            if (contains)
                return false;
        } else {
            hasInclude = true;
            included = included || contains;
        }
    }
    return !hasInclude || included;
}

void ApplyFilter(C_LineStore& store, C_FilterText& filter) {
    store.ApplyFilter(!filter.IsEmpty());
}
