#include "terminal/store/LineStore.h"

#include "terminal/store/LineStoreAppend.h"

#include <algorithm>
#include <cstring>

C_LineStore::C_LineStore() {
    ConfigureArrays();
    ResetToEmptyLine();
}

// --- state of the arrays --------------------------------------------------------------------------------

// The cells and attributes reserve their whole room at once: the capacity and a quarter of it again to slide
// through, so a full store moves its cells back once every two or three drops (a room of one drop would move
// nine tenths of the store at every drop and cost a quarter of the receive speed). The indexes hold one entry per line
// or row, far fewer than cells, so they start with a modest reservation and move to a larger one in the rare store of
// very short lines or a very narrow view.
void C_LineStore::ConfigureArrays() {
    uint32_t room = m_capacity + m_capacity / 4;
    uint32_t indexes = m_capacity / 16 + 1;
    m_cells.Configure(room, room);
    m_attributes.Configure(room, room);
    m_lineStarts.Configure(indexes, room + 1);
    m_rowEnds.Configure(indexes, room + 1);
    m_segments.Configure(indexes, room + 2);
}

void C_LineStore::SetCapacity(uint32_t cells) {
    {
        C_Lock lock(m_lock);
        m_capacity = cells < kMinimumCapacity ? kMinimumCapacity : cells;
        ConfigureArrays();
        ResetToEmptyLine();
        m_selection = {kNoSelection, kNoSelection};
        m_searchPosition = 0;
    }
    m_window->RowsChanged(C_StoreWindow::Scroll::Keep);
    m_window->RepaintWanted(false);
}

C_LineStore::DropTotals C_LineStore::GetDropTotals() {
    C_Lock lock(m_lock);
    return m_dropTotals;
}

uint64_t C_LineStore::DroppedLines() {
    C_Lock lock(m_lock);
    return m_dropTotals.lines;
}

bool C_LineStore::ResetToEmptyLine() {
    m_cells.Free();
    m_attributes.Free();
    m_lineStarts.Free();
    m_rowEnds.Free();
    m_segments.Free();
    m_cells.Add(kEndMarker);
    m_attributes.Add(GetAttribute());
    m_lineStarts.Add(0);
    m_rowEnds.Add(1);
    m_segments.Add({0, 0});
    m_cursor = {0, 0};
    m_link.Reset();
    return m_cells.Count() == 1 && m_attributes.Count() == 1 && m_lineStarts.Count() == 1 && m_rowEnds.Count() == 1 &&
           m_segments.Count() == 1;
}

// After an allocation failure the arrays may be empty; every operation first brings back the one empty
// line, and does nothing while even that cannot be allocated.
bool C_LineStore::EnsureValid() {
    if (m_cells.Count() && m_attributes.Count() == m_cells.Count() && m_lineStarts.Count() && m_rowEnds.Count() &&
        m_segments.Count())
        return true;
    return ResetToEmptyLine();
}

void C_LineStore::ClampCursor() {
    uint32_t lines = m_lineStarts.Count();
    if (m_cursor.row < 0)
        m_cursor.row = 0;
    if (uint32_t(m_cursor.row) >= lines)
        m_cursor.row = int(lines - 1);
    int lastColumn = int(LineLength(uint32_t(m_cursor.row)) - 1);
    if (m_cursor.column < 0)
        m_cursor.column = 0;
    if (m_cursor.column > lastColumn)
        m_cursor.column = lastColumn;
}

bool C_LineStore::CursorOnFinalMarker() const {
    uint32_t last = m_lineStarts.Count() - 1;
    return uint32_t(m_cursor.row) == last && uint32_t(m_cursor.column) == LineLength(last) - 1;
}

uint64_t C_LineStore::CommittedBytes() const {
    return m_cells.CommittedBytes() + m_attributes.CommittedBytes() + m_lineStarts.CommittedBytes() +
           m_rowEnds.CommittedBytes() + m_segments.CommittedBytes();
}

uint64_t C_LineStore::StoredBytes() const {
    return uint64_t(m_cells.Count()) * sizeof(wchar_t) + uint64_t(m_attributes.Count()) * sizeof(Attribute) +
           uint64_t(m_lineStarts.Count()) * sizeof(uint32_t) + uint64_t(m_rowEnds.Count()) * sizeof(uint32_t) +
           uint64_t(m_segments.Count()) * sizeof(Segment);
}

// --- appending text -------------------------------------------------------------------------------------

bool C_LineStore::AppendText(const wchar_t* text, uint32_t length) {
    if (!text || !length)
        return false;
    AppendState state;
    // The filter takes its own lock; it is asked before the store lock so the two are never nested the
    // other way round.
    state.show = !m_filterActive || !m_filter || m_filter->LineMatchesFilter(text, length);
    bool failed = false;
    C_StoreWindow::Dropped dropped;
    {
        C_Lock lock(m_lock);
        if (!EnsureValid())
            return false;
        state.segmentStart = m_cells.Count() >= 2 ? m_cells.Count() - 1 : 0;
        if (!m_filterActive)
            ClampCursor();
        uint32_t i = 0;
        while (i < length && !failed) {
            if (text[i] == kLineFeed) {
                failed = !AppendLineFeed(state);
                ++i;
                continue;
            }
            // A run goes in pieces no longer than one drop, so room can always be made for a piece.
            uint32_t runEnd = i;
            uint32_t pieceEnd = length - i > DropBlock() ? i + DropBlock() : length;
            while (runEnd < pieceEnd && text[runEnd] != kLineFeed)
                ++runEnd;
            if (m_filterActive || CursorOnFinalMarker())
                failed = !AppendAtEnd(text + i, runEnd - i, state);
            else
                failed = !WriteInside(text + i, runEnd - i, state);
            i = runEnd;
        }
        // Rebuilt before the lock is released, so a paint never sees rows that lag behind the cells.
        if (!failed && state.rewrapLine != UINT32_MAX)
            failed = !RewrapFrom(state.rewrapLine);
        dropped = TakeUnreportedDrops();
    }
    ReportDrops(dropped);
    if (failed) {
        DiscardAll();
        return false;
    }
    if (state.hiddenLine)
        m_window->HiddenLineReceived();
    if (state.structureChanged || dropped.lines || dropped.cells)
        m_window->RowsChanged(C_StoreWindow::Scroll::FollowIfAtEnd);
    else
        m_window->CaretMoved();
    m_window->RepaintWanted(true);
    return state.show;
}

bool C_LineStore::AppendLineFeed(AppendState& state) {
    if (!MakeRoom({1, 1, 1}, &state))
        return false;
    uint32_t last = m_lineStarts.Count() - 1;
    uint32_t target = m_filterActive ? m_cells.Count() - 1 : CellIndexHeld(m_cursor.column, m_cursor.row);
    if (m_filterActive || uint32_t(m_cursor.row) >= last) {
        if (m_filterActive) {
            if (state.show) {
                m_segments.Last() = {state.segmentStart, target - state.segmentStart + 1};
                m_segments.Add({target + 1, 0});
                state.segmentStart = target + 1;
            } else {
                state.hiddenLine = true;
            }
        }
        if (!AddEmptyLines(1))
            return false;
        state.structureChanged = true;
    }
    m_cursor = {0, m_cursor.row + 1};
    FlagLink(m_link.Finish(target));
    return true;
}

// The common case: text at the end of the store. The cells are written in one pass and the last display
// row grows in place, a new row starting whenever the wrap width is reached (the end marker then moves to
// a row of its own until the next character arrives).
bool C_LineStore::AppendAtEnd(const wchar_t* text, uint32_t length, AppendState& state) {
    uint32_t width = uint32_t(EffectiveWrapWidth());
    uint32_t newRowsBound = width == 1 ? length : length / (width - 1) + 1;
    bool keepSegments = m_filterActive && state.show;
    if (!MakeRoom({length, 0, newRowsBound}, &state))
        return false;

    uint32_t first = m_cells.Count() - 1; // the final end marker, overwritten by the first character
    m_cells.SetCount(first + length + 1);
    m_attributes.SetCount(first + length + 1);
    wchar_t* cells = m_cells.Data() + first;
    Attribute* attributes = m_attributes.Data() + first;
    const Attribute attribute = GetAttribute(); // a local, so the loop need not reload it after every store
    for (uint32_t i = 0; i < length; ++i) {
        cells[i] = text[i];
        attributes[i] = attribute;
    }
    cells[length] = kEndMarker;
    attributes[length] = attribute;

    uint32_t rowEnd = m_rowEnds.Last();
    uint32_t rowLength = rowEnd - RowStart(m_rowEnds.Count() - 1);
    for (uint32_t remaining = length; remaining;) {
        if (rowLength >= width) {
            m_rowEnds.Last() = rowEnd;
            m_rowEnds.Add(rowEnd + 1);
            if (keepSegments) {
                m_segments.Last() = {state.segmentStart, rowEnd - state.segmentStart};
                m_segments.Add({rowEnd, 0});
                state.segmentStart = rowEnd;
            }
            state.structureChanged = true;
            rowLength = 1;
            ++rowEnd;
            --remaining;
        } else {
            uint32_t fit = width - rowLength < remaining ? width - rowLength : remaining;
            rowLength += fit;
            rowEnd += fit;
            remaining -= fit;
        }
    }
    m_rowEnds.Last() = rowEnd;

    m_link.TakeRun(text, length, first, [this](C_LinkDetector::Range range) { FlagLink(range); });
    m_cursor.column += int(length);
    return true;
}

// Text at a cursor inside the store overwrites cells. At the end marker of a line that is not the last,
// the line is lengthened first: by the whole rest of the run at once, since every further character would
// land on the end marker again.
bool C_LineStore::WriteInside(const wchar_t* text, uint32_t length, AppendState& state) {
    for (uint32_t i = 0; i < length; ++i) {
        if (CursorOnFinalMarker())
            return AppendAtEnd(text + i, length - i, state);
        uint32_t row = uint32_t(m_cursor.row);
        uint32_t target = CellIndexHeld(m_cursor.column, m_cursor.row);
        uint32_t count = 1;
        if (target == LineEndCell(row)) {
            count = length - i;
            if (!MakeRoom({count, 0, 0}, &state))
                return false;
            // Dropping may have moved the cursor's line, or the cursor itself when its line went.
            if (CursorOnFinalMarker())
                return AppendAtEnd(text + i, length - i, state);
            row = uint32_t(m_cursor.row);
            target = CellIndexHeld(m_cursor.column, m_cursor.row);
        }
        if (target == LineEndCell(row)) {
            if (!InsertBlanks(row, target, count))
                return false;
            if (row < state.rewrapLine)
                state.rewrapLine = row;
            state.structureChanged = true;
        } else {
            count = 1;
        }
        for (uint32_t k = 0; k < count; ++k) {
            m_cells[target + k] = text[i + k];
            m_attributes[target + k] = GetAttribute();
            TakeLinkCharacter(text[i + k], target + k);
        }
        m_cursor.column += int(count);
        i += count - 1;
    }
    return true;
}

void C_LineStore::TakeLinkCharacter(wchar_t ch, uint32_t cell) {
    FlagLink(m_link.Take(ch, cell));
}

void C_LineStore::FlagLink(C_LinkDetector::Range range) {
    if (range.end > m_attributes.Count())
        range.end = m_attributes.Count();
    for (uint32_t cell = range.begin; cell < range.end; ++cell)
        m_attributes[cell] |= Colour::kAttributeLinkFlag;
}

// --- cursor -----------------------------------------------------------------------------------------------

C_LineStore::Position C_LineStore::GetCursor() {
    C_Lock lock(m_lock);
    return m_cursor;
}

void C_LineStore::SetCursor(int column, int row) {
    bool grown = false;
    bool failed = false;
    C_StoreWindow::Dropped dropped{0, 0, 0};
    {
        C_Lock lock(m_lock);
        if (!EnsureValid())
            return;
        uint32_t lines = m_lineStarts.Count();
        int64_t lastRow = int64_t(lines) - 1 + kMaxCursorGrowth;
        int64_t firstRow = int64_t(lines) - 1 > kMaxCursorReach ? int64_t(lines) - 1 - kMaxCursorReach : 0;
        int64_t targetRow = row < firstRow ? firstRow : (row > lastRow ? lastRow : row);
        int64_t wantedColumn = column < 0 ? 0 : column;
        uint32_t newLines = uint64_t(targetRow) >= lines ? uint32_t(targetRow - lines + 1) : 0;
        uint32_t length = newLines ? 1 : LineLength(uint32_t(targetRow));
        uint32_t blanks =
            wantedColumn >= length ? uint32_t(std::min<int64_t>(wantedColumn - length + 1, kMaxCursorGrowth)) : 0;
        if (newLines || blanks) {
            // Rows are numbered anew when lines are dropped to make room.
            uint64_t droppedBefore = m_dropTotals.lines;
            failed = !MakeRoom({newLines + blanks, newLines, newLines + blanks}, nullptr);
            uint64_t droppedNow = m_dropTotals.lines - droppedBefore;
            targetRow = targetRow > int64_t(droppedNow) ? targetRow - int64_t(droppedNow) : 0;
            lines = m_lineStarts.Count();
        }
        if (!failed && uint64_t(targetRow) >= lines) {
            failed = !AddEmptyLines(uint32_t(targetRow - lines + 1));
            grown = true;
        }
        int64_t targetColumn = wantedColumn;
        if (!failed) {
            length = LineLength(uint32_t(targetRow));
            int64_t lastColumn = int64_t(length) - 1 + kMaxCursorGrowth;
            if (targetColumn > lastColumn)
                targetColumn = lastColumn;
            if (targetColumn >= length) {
                uint32_t line = uint32_t(targetRow);
                failed =
                    !InsertBlanks(line, LineEndCell(line), uint32_t(targetColumn - length + 1)) || !RewrapFrom(line);
                grown = true;
            }
        }
        m_cursor = {int(targetColumn), int(targetRow)};
        m_link.Reset();
        dropped = TakeUnreportedDrops();
    }
    ReportDrops(dropped);
    if (failed) {
        DiscardAll();
        return;
    }
    m_window->CaretMoved();
    if (grown || dropped.lines || dropped.cells)
        m_window->RowsChanged(C_StoreWindow::Scroll::Keep);
    m_window->RepaintWanted(false);
}

void C_LineStore::CursorToEnd() {
    {
        C_Lock lock(m_lock);
        if (!EnsureValid())
            return;
        uint32_t last = m_lineStarts.Count() - 1;
        m_cursor = {int(LineLength(last) - 1), int(last)};
        m_link.Reset();
    }
    m_window->CaretMoved();
    m_window->RowsChanged(C_StoreWindow::Scroll::Keep);
    m_window->RepaintWanted(false);
}

uint32_t C_LineStore::CellIndex(int column, int row) {
    C_Lock lock(m_lock);
    return CellIndexHeld(column, row);
}

uint32_t C_LineStore::CellIndexHeld(int column, int row) const {
    uint32_t lines = m_lineStarts.Count();
    if (!lines)
        return 0;
    uint32_t line = row < 0 ? 0 : (uint32_t(row) >= lines ? lines - 1 : uint32_t(row));
    return m_lineStarts[line] + uint32_t(column < 0 ? 0 : column);
}

// --- colours ----------------------------------------------------------------------------------------------

void C_LineStore::SetColours(Rgb foreground, Rgb background) {
    m_attribute.store(Colour::MakeAttribute(foreground, background), std::memory_order_relaxed);
}

void C_LineStore::GetColours(Rgb& foreground, Rgb& background) {
    Attribute attribute = GetAttribute();
    foreground = Colour::ForegroundOf(attribute);
    background = Colour::BackgroundOf(attribute);
}

// --- clearing ---------------------------------------------------------------------------------------------

void C_LineStore::Clear() {
    {
        C_Lock lock(m_lock);
        m_attribute.store(Colour::kDefaultAttribute, std::memory_order_relaxed);
        ResetToEmptyLine();
        m_selection = {kNoSelection, kNoSelection};
        m_searchPosition = 0;
    }
    m_window->RowsChanged(C_StoreWindow::Scroll::Keep);
    m_window->RepaintWanted(false);
}

void C_LineStore::SetFilterActive(bool active) {
    {
        C_Lock lock(m_lock);
        m_filterActive = active;
    }
    Rewrap();
}

void C_LineStore::ApplyFilter(bool filterSet) {
    {
        C_Lock lock(m_lock);
        if (!EnsureValid())
            return;
        m_filterActive = filterSet;
        if (!filterSet) {
            uint32_t last = m_lineStarts.Count() - 1;
            m_cursor = {int(LineLength(last) - 1), int(last)};
            m_link.Reset();
        }
        m_selection = {kNoSelection, kNoSelection};
    }
    Rewrap();
    m_window->RowsChanged(C_StoreWindow::Scroll::ToEnd);
    m_window->RepaintWanted(false);
}
