// The store's capacity: making room for what an operation is about to add by dropping the oldest lines, and
// keeping every cell index the store holds in step with the cells that moved.
#include "terminal/store/LineStore.h"

#include "terminal/store/LineStoreAppend.h"

// Room for the growth: first the capacity (dropping at least a tenth of it at once, so that a full store
// drops rarely and each append stays cheap), then the arrays' memory. When memory cannot be had, older
// lines go until it can. False only when nothing more can be dropped; the caller then clears the store.
bool C_LineStore::MakeRoom(const Growth& growth, AppendState* state) {
    uint64_t needed = uint64_t(m_cells.Count()) + growth.cells;
    if (needed > m_capacity) {
        uint64_t over = needed - m_capacity;
        if (!DropOldest(uint32_t(over > DropBlock() ? over : DropBlock()), state))
            return false;
    }
    // Short of memory, a tenth of what is stored goes at a time: the capacity may be far from reached.
    while (!ReserveFor(growth)) {
        uint32_t tenth = m_cells.Count() / kDropDivisor;
        if (!DropOldest(tenth ? tenth : 1, state))
            return false;
    }
    return true;
}

bool C_LineStore::ReserveFor(const Growth& growth) {
    uint64_t cells = uint64_t(m_cells.Count()) + growth.cells;
    uint64_t lines = uint64_t(m_lineStarts.Count()) + growth.lines;
    uint64_t rows = uint64_t(m_rowEnds.Count()) + growth.rows;
    uint64_t segments = uint64_t(m_segments.Count()) + growth.rows + growth.lines;
    if (cells > UINT32_MAX || rows > UINT32_MAX || segments > UINT32_MAX)
        return false;
    return m_cells.Reserve(uint32_t(cells)) && m_attributes.Reserve(uint32_t(cells)) &&
           m_lineStarts.Reserve(uint32_t(lines)) && m_rowEnds.Reserve(uint32_t(rows)) &&
           (!m_filterActive || m_segments.Reserve(uint32_t(segments)));
}

// Where the cells before the cut go: at the start of the first line that begins at or after the wanted cell
// count, but never the last line, where text is being added. When the last line alone holds more than
// what must go, it is cut at the start of one of its display rows, so the rows after the cut keep their
// places. 0 when nothing can go.
uint32_t C_LineStore::DropCut(uint32_t wanted) const {
    uint32_t lines = m_lineStarts.Count();
    uint32_t lastLineStart = m_lineStarts[lines - 1];
    if (wanted == 0)
        return 0;
    if (wanted <= lastLineStart) {
        uint32_t line = LineOfCell(wanted);
        return m_lineStarts[line] == wanted ? wanted : m_lineStarts[line + 1];
    }
    uint32_t rows = m_rowEnds.Count();
    uint32_t lastRowStart = RowStart(rows - 1);
    uint32_t row = FirstRowOfCell(wanted);
    uint32_t cut = row < rows && RowStart(row) < wanted ? RowEnd(row) : RowStart(row < rows ? row : rows - 1);
    if (cut > lastRowStart)
        cut = lastRowStart; // the row holding the end marker stays
    return cut > lastLineStart ? cut : (lastLineStart ? lastLineStart : 0);
}

bool C_LineStore::DropOldest(uint32_t wanted, AppendState* state) {
    // Rows after a lengthened line are stale until rebuilt, and the cut must fall on a row boundary.
    if (state && state->rewrapLine != UINT32_MAX) {
        if (!RewrapFrom(state->rewrapLine))
            return false;
        state->rewrapLine = UINT32_MAX;
    }
    uint32_t cut = DropCut(wanted);
    if (!cut)
        return false;
    uint32_t firstKept = LineOfCell(cut);
    uint32_t cutColumns = cut - m_lineStarts[firstKept];
    uint32_t rows = FirstRowOfCell(cut);
    uint32_t segments = m_filterActive ? FirstSegmentFrom(cut) : 0;

    m_cells.DropFront(cut);
    m_attributes.DropFront(cut);
    m_lineStarts.DropFront(firstKept);
    m_rowEnds.DropFront(rows);
    if (m_filterActive)
        m_segments.DropFront(segments);
    RebaseAfterDrop(cut, firstKept, cutColumns, state);

    m_dropTotals.lines += firstKept;
    m_dropTotals.cells += cut;
    m_dropTotals.firstLineCut = cutColumns != 0 || (m_dropTotals.firstLineCut && firstKept == 0);
    m_unreported.lines += firstKept;
    m_unreported.cells += cut;
    m_unreported.rows += m_filterActive ? segments : rows;
    if (state)
        state->structureChanged = true;
    return true;
}

// Every cell index moves down by the cut; what pointed into the dropped cells points at the first one kept.
void C_LineStore::RebaseAfterDrop(uint32_t cut, uint32_t lines, uint32_t lineCutColumns, AppendState* state) {
    auto down = [cut](uint32_t cell) { return cell > cut ? cell - cut : 0; };
    for (uint32_t i = 0; i < m_lineStarts.Count(); ++i)
        m_lineStarts[i] = down(m_lineStarts[i]);
    for (uint32_t i = 0; i < m_rowEnds.Count(); ++i)
        m_rowEnds[i] -= cut; // the cut is a row boundary: every kept row ends after it
    if (m_filterActive)
        for (uint32_t i = 0; i < m_segments.Count(); ++i)
            m_segments[i].start = down(m_segments[i].start);

    if (m_cursor.row < int64_t(lines)) {
        m_cursor = {0, 0};
    } else {
        m_cursor.row -= int(lines);
        if (m_cursor.row == 0)
            m_cursor.column = m_cursor.column > int(lineCutColumns) ? m_cursor.column - int(lineCutColumns) : 0;
    }
    if (m_selection.start != kNoSelection) {
        int64_t start = m_selection.start - cut;
        int64_t end = m_selection.end - cut;
        if (start < 0 && end < 0)
            m_selection = {kNoSelection, kNoSelection};
        else
            m_selection = {start < 0 ? 0 : start, end < 0 ? 0 : end};
    }
    m_searchPosition = down(m_searchPosition);
    m_link.MoveDown(cut);
    if (state) {
        state->segmentStart = down(state->segmentStart);
        if (state->rewrapLine != UINT32_MAX)
            state->rewrapLine = state->rewrapLine > lines ? state->rewrapLine - lines : 0;
    }
}

C_StoreWindow::Dropped C_LineStore::TakeUnreportedDrops() {
    C_StoreWindow::Dropped dropped = m_unreported;
    m_unreported = {0, 0, 0};
    return dropped;
}

void C_LineStore::ReportDrops(const C_StoreWindow::Dropped& dropped) {
    if (dropped.lines || dropped.cells)
        m_window->LinesDropped(dropped);
}

// The last resort: what the store holds counts as dropped, and it starts again with one empty line.
void C_LineStore::DiscardAll() {
    C_StoreWindow::Dropped dropped;
    {
        C_Lock lock(m_lock);
        dropped = {m_lineStarts.Count(), m_cells.Count(), m_filterActive ? m_segments.Count() : m_rowEnds.Count()};
        m_dropTotals.lines += dropped.lines;
        m_dropTotals.cells += dropped.cells;
        m_dropTotals.firstLineCut = false;
        ++m_dropTotals.clears;
    }
    ReportDrops(dropped);
    Clear();
}
