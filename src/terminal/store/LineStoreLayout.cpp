// The derived indexes of the line store: display rows and visible segments, and lookups in them.
#include "terminal/store/LineStore.h"

int C_LineStore::WrapWidthFor(int clientWidth, int characterWidth) {
    return characterWidth > 0 ? (clientWidth - 4) / characterWidth : 0;
}

void C_LineStore::SetWrapWidth(int cells) {
    {
        C_Lock lock(m_lock);
        if (cells == m_wrapWidth)
            return;
        m_wrapWidth = cells;
    }
    Rewrap();
}

// A narrow view of a full store needs many more rows than a wide one; when they cannot be had, older lines
// go until they can, as when text arrives.
void C_LineStore::Rewrap() {
    bool failed;
    C_StoreWindow::Dropped dropped;
    {
        C_Lock lock(m_lock);
        if (!EnsureValid())
            return;
        for (;;) {
            failed = !RewrapFrom(0);
            uint32_t tenth = m_cells.Count() / kDropDivisor;
            if (!failed || !DropOldest(tenth ? tenth : 1, nullptr))
                break;
        }
        dropped = TakeUnreportedDrops();
    }
    ReportDrops(dropped);
    if (failed)
        DiscardAll();
    else if (dropped.lines || dropped.cells)
        m_window->RowsChanged(C_StoreWindow::Scroll::Keep);
}

// The rows of the lines before the given one stay as they are, so lengthening a line near the end of a
// long store costs only the rows after it.
bool C_LineStore::RewrapFrom(uint32_t line) {
    C_Lock lock(m_lock);
    uint32_t lines = m_lineStarts.Count();
    if (line >= lines)
        line = lines - 1;
    uint32_t width = uint32_t(EffectiveWrapWidth());
    uint32_t firstCell = m_lineStarts[line];

    uint32_t rowsNeeded = 0;
    for (uint32_t l = line; l < lines; ++l)
        rowsNeeded += (LineLength(l) + width - 1) / width;
    // Everything is reserved before anything changes, so a failure leaves the old rows in place.
    uint32_t keptRows = line ? FirstRowOfCell(firstCell) : 0;
    uint32_t keptSegments = m_filterActive && line ? FirstSegmentFrom(firstCell) : 0;
    if (!m_rowEnds.Reserve(keptRows + rowsNeeded) ||
        (m_filterActive && !m_segments.Reserve(keptSegments + rowsNeeded + 1)) ||
        (!m_filterActive && !m_segments.Reserve(1)))
        return false;
    m_rowEnds.SetCount(keptRows);
    m_segments.SetCount(keptSegments);

    for (uint32_t l = line; l < lines; ++l) {
        uint32_t start = m_lineStarts[l];
        uint32_t end = start + LineLength(l);
        bool visible = m_filterActive && LineIsVisible(l);
        for (uint32_t piece = start; piece < end; piece += width) {
            uint32_t pieceEnd = end - piece > width ? piece + width : end;
            m_rowEnds.Add(pieceEnd);
            if (visible)
                m_segments.Add({piece, pieceEnd - piece});
        }
    }
    m_segments.Add({m_cells.Count() - 1, 0});
    return true;
}

// The last line, while it holds nothing but its end marker, is where the next text will be appended: the
// open segment stands for it. A segment of its own would show the first character of that text as a row
// of its own until the next rebuild.
bool C_LineStore::LineIsVisible(uint32_t line) {
    uint32_t start = m_lineStarts[line];
    uint32_t length = LineLength(line);
    if (line + 1 == m_lineStarts.Count() && length == 1)
        return false;
    return !m_filter || m_filter->LineMatchesFilter(m_cells.Data() + start, length - 1);
}

// The closed segments are in cell order; the open one at the end is not, as its start can be left behind by
// hidden lines.
uint32_t C_LineStore::FirstSegmentFrom(uint32_t cell) const {
    uint32_t low = 0;
    uint32_t high = m_segments.Count() ? m_segments.Count() - 1 : 0;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (m_segments[middle].start >= cell)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// The first display row whose end lies beyond the cell: the row that holds it.
uint32_t C_LineStore::FirstRowOfCell(uint32_t cell) const {
    uint32_t low = 0;
    uint32_t high = m_rowEnds.Count();
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (m_rowEnds[middle] > cell)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

int C_LineStore::RowOfIndex(uint32_t cell) {
    C_Lock lock(m_lock);
    uint32_t row = FirstRowOfCell(cell);
    return row < m_rowEnds.Count() ? int(row) : -1;
}

uint32_t C_LineStore::LineOfCell(uint32_t cell) const {
    uint32_t low = 0;
    uint32_t high = m_lineStarts.Count();
    while (high - low > 1) {
        uint32_t middle = low + (high - low) / 2;
        if (m_lineStarts[middle] <= cell)
            low = middle;
        else
            high = middle;
    }
    return low;
}
