// Selection and search over the line store's cells, taken as one text in which the end markers separate
// the lines (so no match spans two lines).
#include "terminal/store/LineStore.h"

#include "terminal/store/CaseFold.h"

#include <cwchar>

void C_LineStore::SetSelection(int64_t start, int64_t end) {
    C_Lock lock(m_lock);
    m_selection = {start, end};
}

bool C_LineStore::GetSelection(int64_t& start, int64_t& end) {
    C_Lock lock(m_lock);
    start = m_selection.start;
    end = m_selection.end;
    return start != kNoSelection && end != kNoSelection && start != end;
}

uint32_t C_LineStore::GetSearchPosition() {
    C_Lock lock(m_lock);
    return m_searchPosition;
}

int C_LineStore::VisibleRowOfIndex(uint32_t cell) {
    C_Lock lock(m_lock);
    if (!m_filterActive)
        return RowOfIndex(cell);
    uint32_t after = FirstSegmentFrom(cell + 1); // the first segment starting beyond the cell
    if (after == 0)
        return -1;
    Segment segment = m_segments[after - 1];
    return cell - segment.start < segment.count ? int(after - 1) : -1;
}

// The first match at or after start, or the last one that begins before start.
int64_t C_LineStore::FindIn(const wchar_t* text, uint32_t length, uint32_t searchFlags, uint32_t start) {
    bool caseSensitive = (searchFlags & SEARCH_MATCH_CASE) != 0;
    const wchar_t* cells = m_cells.Data();
    uint32_t count = m_cells.Count();
    if (length > count)
        return -1;
    auto matchesAt = [&](uint32_t at) {
        return caseSensitive ? wmemcmp(cells + at, text, length) == 0 : CaseFold::Equal(cells + at, text, length);
    };
    uint32_t lastStart = count - length;
    if (searchFlags & SEARCH_BACKWARD) {
        for (uint32_t at = start < lastStart + 1 ? start : lastStart + 1; at-- > 0;)
            if (matchesAt(at))
                return at;
        return -1;
    }
    for (uint32_t at = start; at <= lastStart; ++at)
        if (matchesAt(at))
            return at;
    return -1;
}

bool C_LineStore::Find(const wchar_t* text, uint32_t searchFlags, int64_t start) {
    if (!text || !*text)
        return false;
    uint32_t length = uint32_t(wcslen(text));
    int64_t found;
    int row = -1;
    {
        C_Lock lock(m_lock);
        if (!EnsureValid())
            return false;
        uint32_t count = m_cells.Count();
        int64_t from = start == kSearchPosition ? int64_t(m_searchPosition) : (start == kStoreEnd ? count - 1 : start);
        if (from < 0 || from >= count)
            from = 0;
        found = FindIn(text, length, searchFlags, uint32_t(from));
        if (found >= 0) {
            m_selection = {found, found + length};
            m_searchPosition = uint32_t(found) + 1;
            row = VisibleRowOfIndex(uint32_t(found));
        } else {
            m_selection = {kNoSelection, kNoSelection};
            m_searchPosition = 0;
        }
    }
    if (row >= 0)
        m_window->BringRowIntoView(row);
    m_window->RepaintWanted(false);
    return found >= 0;
}

// Searching again moves past the current match; typing in the search field (incremental) finds the same
// place again while the text grows. When nothing is found before the end, the search goes round once.
bool C_LineStore::Search(const wchar_t* text, uint32_t searchFlags, int64_t start) {
    if (!text || !*text)
        return false;
    bool backward = (searchFlags & SEARCH_BACKWARD) != 0;
    int64_t selectionStart;
    int64_t selectionEnd;
    if (start == kSearchPosition && GetSelection(selectionStart, selectionEnd)) {
        start = selectionStart;
        if (!backward && !(searchFlags & SEARCH_INCREMENTAL))
            ++start;
    }
    if (Find(text, searchFlags, start))
        return true;
    if (backward)
        return start != kStoreEnd && Find(text, searchFlags, kStoreEnd);
    return start != 0 && Find(text, searchFlags, 0);
}
