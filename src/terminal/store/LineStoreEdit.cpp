// Edits of stored lines that the escape interpreter asks for: blanks, new lines, erasing and deleting.
#include "terminal/store/LineStore.h"

#include <cstring>

bool C_LineStore::InsertBlanks(uint32_t row, uint32_t cell, uint32_t count) {
    C_Lock lock(m_lock);
    uint32_t total = m_cells.Count();
    if (!count || row >= m_lineStarts.Count() || cell >= total)
        return true;
    if (uint64_t(total) + count > UINT32_MAX || !m_cells.Reserve(total + count) || !m_attributes.Reserve(total + count))
        return false;
    wchar_t* cells = m_cells.Data();
    Attribute* attributes = m_attributes.Data();
    const Attribute attribute = GetAttribute();
    memmove(cells + cell + count, cells + cell, (total - cell) * sizeof(wchar_t));
    memmove(attributes + cell + count, attributes + cell, (total - cell) * sizeof(Attribute));
    for (uint32_t i = 0; i < count; ++i) {
        cells[cell + i] = kBlank;
        attributes[cell + i] = attribute;
    }
    m_cells.SetCount(total + count);
    m_attributes.SetCount(total + count);
    for (uint32_t line = row + 1; line < m_lineStarts.Count(); ++line)
        m_lineStarts[line] += count;
    return true;
}

bool C_LineStore::AppendEmptyLines(uint32_t count) {
    C_Lock lock(m_lock);
    return AddEmptyLines(count);
}

bool C_LineStore::AddEmptyLines(uint32_t count) {
    uint32_t cells = m_cells.Count();
    if (uint64_t(cells) + count > UINT32_MAX || !m_cells.Reserve(cells + count) ||
        !m_attributes.Reserve(cells + count) || !m_lineStarts.Reserve(m_lineStarts.Count() + count) ||
        !m_rowEnds.Reserve(m_rowEnds.Count() + count))
        return false;
    const Attribute attribute = GetAttribute();
    for (uint32_t i = 0; i < count; ++i) {
        m_lineStarts.Add(m_cells.Count());
        m_cells.Add(kEndMarker);
        m_attributes.Add(attribute);
        m_rowEnds.Add(m_rowEnds.Count() ? m_rowEnds.Last() + 1 : m_cells.Count());
    }
    return true;
}

void C_LineStore::EraseInLine(Erase mode) {
    {
        C_Lock lock(m_lock);
        if (!EnsureValid())
            return;
        ClampCursor();
        uint32_t line = uint32_t(m_cursor.row);
        uint32_t start = m_lineStarts[line];
        uint32_t marker = LineEndCell(line);
        uint32_t cursor = start + uint32_t(m_cursor.column);
        uint32_t from = mode == Erase::ToLineEnd ? cursor : start;
        uint32_t to = mode == Erase::FromLineStart ? cursor + 1 : marker; // exclusive
        if (to > marker)
            to = marker; // the end marker is never blanked
        for (uint32_t cell = from; cell < to; ++cell)
            m_cells[cell] = kBlank;
    }
    m_window->RepaintWanted(false);
}

void C_LineStore::DeleteChars(uint32_t count) {
    {
        C_Lock lock(m_lock);
        if (!count || !EnsureValid() || m_cursor.row < 0 || uint32_t(m_cursor.row) >= m_lineStarts.Count())
            return;
        uint32_t line = uint32_t(m_cursor.row);
        uint32_t marker = LineEndCell(line);
        uint32_t cursor = m_lineStarts[line] + uint32_t(m_cursor.column < 0 ? 0 : m_cursor.column);
        if (cursor >= marker)
            return;
        uint32_t available = marker - cursor;
        uint32_t deleted = count < available ? count : available;
        wchar_t* cells = m_cells.Data();
        Attribute* attributes = m_attributes.Data();
        memmove(cells + cursor, cells + cursor + deleted, (available - deleted) * sizeof(wchar_t));
        memmove(attributes + cursor, attributes + cursor + deleted, (available - deleted) * sizeof(Attribute));
        for (uint32_t cell = marker - deleted; cell < marker; ++cell) {
            cells[cell] = kBlank;
            attributes[cell] = GetAttribute();
        }
    }
    m_window->RepaintWanted(false);
}
