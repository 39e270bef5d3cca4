#pragma once
// C_LineStore: every character received since the last clear, with its colours, as one long array of 16-bit
// cells divided into lines. Each line is its characters followed by one end-marker cell (0x0001); the last
// cell of the store is always the end marker of the last line. A parallel array holds one 32-bit attribute
// per cell (see Colour.h). On top of the lines the store keeps two derived indexes: the display rows (lines
// cut at the wrap width) and, while a filter is active, the visible segments (the rows of the lines that
// pass the filter, followed by one open segment where the next text begins).
//
// The store is not a screen: a cursor (column = cell within the line, row = line) can be moved back into
// earlier lines, where text overwrites cells, and moves beyond the end add lines and blanks.
//
// The store has a capacity in cells. Text that would go beyond it makes the store drop its oldest whole lines,
// a tenth of the capacity at a time, so the cost is spread over many appends; the cursor, selection, search
// position, links and indexes move with the cells, and the window is told (LinesDropped). A single line
// longer than the drop is cut at a display-row boundary instead. Only when even that frees nothing, or
// memory cannot be had after dropping, is the store cleared.
//
// Threads: the reader thread writes (AppendText and the cursor operations), the user-interface thread reads
// for painting and rebuilds the layout. Every access to the arrays happens under the store lock, which is
// re-entrant; readers outside this class take it with Lock(). Window notifications are made after the lock
// is released.
#include "foundation/base/ReservedBuffer.h"
#include "platform/system/Handles.h"
#include "terminal/store/Colour.h"
#include "terminal/store/LineFilter.h"
#include "terminal/store/LinkDetector.h"
#include "terminal/store/StoreWindow.h"

#include <atomic>
#include <cstdint>

class C_LineStore {
public:
    static constexpr wchar_t kEndMarker = 0x0001;
    static constexpr wchar_t kLineFeed = L'\n';
    static constexpr wchar_t kBlank = L' ';
    static constexpr int kDefaultWrapWidth = 80;
    // A single cursor move adds at most this many lines, or blanks to a line. Moves to far-away rows or
    // columns (a hostile or garbled stream can ask for row 4,000,000,000) stop there instead of allocating
    // without bound; a screen-sized move such as row 999, column 999 is unaffected.
    static constexpr int kMaxCursorGrowth = 1024;
    // Nor does a move reach further up than this many lines above the last one: the lines a device can still
    // address as its screen (taller than any window shows). Lengthening a line moves every cell after it, so a
    // garbled stream that sent the cursor to the top of a large store and kept writing would cost a move of
    // the whole store for every line it wrote; within this reach it costs at most a screen's worth.
    static constexpr int kMaxCursorReach = 256;
    // 48 Mi cells: 6 bytes each (the character and its colours) is 288 MB, and with the room the arrays slide
    // through before they move back (a quarter of the capacity again) at most 360 MB committed, a sixth of
    // what a 32-bit process has even without the large-address flag. That leaves room for a copy of the whole
    // store (clipboard, export) and for a fragmented address space. At 80 characters a line it keeps about
    // 600,000 lines.
    static constexpr uint32_t kDefaultCapacity = 48u * 1024 * 1024;
    static constexpr uint32_t kMinimumCapacity = 64;
    static constexpr uint32_t kDropDivisor = 10; // a drop frees at least capacity / kDropDivisor cells

    struct Segment {
        uint32_t start;
        uint32_t count;
    };
    struct Position {
        int column;
        int row;
    };
    enum class Erase { ToLineEnd, FromLineStart, WholeLine };

    C_LineStore();
    C_LineStore(const C_LineStore&) = delete;
    C_LineStore& operator=(const C_LineStore&) = delete;

    // Wiring. The window defaults to none; the filter is asked only while the filter is active.
    void SetWindow(C_StoreWindow* window) { m_window = window ? window : &m_noWindow; }
    void SetFilter(C_LineFilter* filter) { m_filter = filter; }

    // Capacity in cells (at least kMinimumCapacity). Setting it empties the store; the program keeps the
    // default, tests and tools choose smaller ones.
    void SetCapacity(uint32_t cells);
    uint32_t GetCapacity() const { return m_capacity; }
    // Everything dropped at the capacity since the store was made: whole lines, cells (including those cut
    // from the front of an overlong line) and stores cleared as the last resort.
    struct DropTotals {
        uint64_t lines;
        uint64_t cells;
        uint32_t clears;
        bool firstLineCut; // the first stored line lost its beginning
    };
    DropTotals GetDropTotals();
    // Lines dropped from the top so far: a line's absolute number is its row plus this.
    uint64_t DroppedLines();

    // Layout. The view passes WrapWidthFor(client width, character width); a width below one cell counts
    // as one, so the layout always ends.
    static int WrapWidthFor(int clientWidth, int characterWidth);
    void SetWrapWidth(int cells);
    int GetWrapWidth() const { return m_wrapWidth; }
    void Rewrap();

    // Writing.
    // True when the text passed the filter (always without one): the view shows it.
    bool AppendText(const wchar_t* text, uint32_t length);
    Position GetCursor();
    void SetCursor(int column, int row);
    void CursorToEnd();
    void EraseInLine(Erase mode);
    void DeleteChars(uint32_t count);
    void SetColours(Rgb foreground, Rgb background);
    void GetColours(Rgb& foreground, Rgb& background);
    void Clear();

    // Used by the operations above and by tests; callers hold the lock or accept a single step.
    bool InsertBlanks(uint32_t row, uint32_t cell, uint32_t count);
    bool AppendEmptyLines(uint32_t count);

    // Filter mode: text is appended at the end whatever the cursor says, and segments are kept.
    // ApplyFilter is what the main window runs after the filter text changed: it also drops the selection,
    // puts the cursor back at the end when the filter was cleared, and has the view show the end.
    void ApplyFilter(bool filterSet);
    void SetFilterActive(bool active);
    bool IsFilterActive() const { return m_filterActive; }

    // Selection (cell indexes, start may lie after end) and search, which the view's search bar drives.
    // Find searches once from start (a cell index, kSearchPosition or kStoreEnd); Search adds the single
    // wrap-around to the other end of the store. Both select what they find and have the view show it.
    static constexpr int64_t kNoSelection = -1;
    static constexpr int64_t kSearchPosition = -1;
    static constexpr int64_t kStoreEnd = -2;
    void SetSelection(int64_t start, int64_t end);
    bool GetSelection(int64_t& start, int64_t& end);
    uint32_t GetSearchPosition();
    enum SearchFlags : uint32_t {
        SEARCH_FORWARD = 0,
        SEARCH_BACKWARD = 0x1,
        SEARCH_MATCH_CASE = 0x2,
        SEARCH_INCREMENTAL = 0x4, // typing in the search field: the current match is found again and extended
    };
    bool Find(const wchar_t* text, uint32_t searchFlags, int64_t start);
    bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start);
    // The row the view paints a cell in: a display row, or a visible segment while filtering; -1 if none.
    int VisibleRowOfIndex(uint32_t cell);

    // Reading. Hold Lock() across a sequence of reads that must agree with each other.
    C_CriticalSection& Lock() { return m_lock; }
    uint32_t CellIndex(int column, int row);
    int RowOfIndex(uint32_t cell);
    uint32_t CellCount() const { return m_cells.Count(); }
    const wchar_t* Cells() const { return m_cells.Data(); }
    const Attribute* Attributes() const { return m_attributes.Data(); }
    uint32_t LineCount() const { return m_lineStarts.Count(); }
    uint32_t LineStart(uint32_t line) const { return m_lineStarts[line]; }
    uint32_t LineLength(uint32_t line) const { return LineEndCell(line) + 1 - m_lineStarts[line]; }
    uint32_t LineOfCell(uint32_t cell) const;
    uint32_t RowCount() const { return m_rowEnds.Count(); }
    uint32_t RowEnd(uint32_t row) const { return m_rowEnds[row]; }
    uint32_t RowStart(uint32_t row) const { return row ? m_rowEnds[row - 1] : 0; }
    uint32_t SegmentCount() const { return m_segments.Count(); }
    Segment GetSegment(uint32_t index) const { return m_segments[index]; }
    Attribute GetAttribute() const { return m_attribute.load(std::memory_order_relaxed); }
    // Bytes held by the cells and indexes (counts, not capacities).
    uint64_t StoredBytes() const;
    // Bytes of memory committed for the arrays.
    uint64_t CommittedBytes() const;

private:
    struct AppendState;
    // What an operation is about to add, so that room is made before any cell index is computed.
    struct Growth {
        uint32_t cells;
        uint32_t lines;
        uint32_t rows;
    };

    // The same as CellIndex and AppendEmptyLines for callers that already hold the lock.
    uint32_t CellIndexHeld(int column, int row) const;
    bool AddEmptyLines(uint32_t count);

    uint32_t LineEndCell(uint32_t line) const {
        return line + 1 < m_lineStarts.Count() ? m_lineStarts[line + 1] - 1 : m_cells.Count() - 1;
    }
    int EffectiveWrapWidth() const { return m_wrapWidth > 0 ? m_wrapWidth : 1; }
    bool EnsureValid();
    void ConfigureArrays();
    uint32_t DropBlock() const { return m_capacity / kDropDivisor ? m_capacity / kDropDivisor : 1; }
    bool MakeRoom(const Growth& growth, AppendState* state);
    bool ReserveFor(const Growth& growth);
    bool DropOldest(uint32_t wanted, AppendState* state);
    uint32_t DropCut(uint32_t wanted) const;
    void RebaseAfterDrop(uint32_t cut, uint32_t lines, uint32_t lineCutColumns, AppendState* state);
    C_StoreWindow::Dropped TakeUnreportedDrops();
    void ReportDrops(const C_StoreWindow::Dropped& dropped);
    void DiscardAll();
    bool ResetToEmptyLine();
    void ClampCursor();
    bool CursorOnFinalMarker() const;

    bool AppendLineFeed(AppendState& state);
    bool AppendAtEnd(const wchar_t* text, uint32_t length, AppendState& state);
    bool WriteInside(const wchar_t* text, uint32_t length, AppendState& state);
    void TakeLinkCharacter(wchar_t ch, uint32_t cell);
    void FlagLink(C_LinkDetector::Range range);

    bool RewrapFrom(uint32_t line);
    int64_t FindIn(const wchar_t* text, uint32_t length, uint32_t searchFlags, uint32_t start);
    uint32_t FirstRowOfCell(uint32_t cell) const;
    uint32_t FirstSegmentFrom(uint32_t cell) const;
    bool LineIsVisible(uint32_t line);

    C_ReservedBuffer<wchar_t> m_cells;
    C_ReservedBuffer<Attribute> m_attributes;
    C_ReservedBuffer<uint32_t> m_lineStarts; // first cell of each line; lengths follow from neighbours
    C_ReservedBuffer<uint32_t> m_rowEnds;    // one past the last cell of each display row
    C_ReservedBuffer<Segment> m_segments;
    uint32_t m_capacity = kDefaultCapacity;
    DropTotals m_dropTotals{0, 0, 0, false};
    C_StoreWindow::Dropped m_unreported{0, 0, 0}; // dropped under the lock, told the window after it

    // Set by colour sequences on the reader thread many times a line, so without the store lock; the user's
    // Clear on the user-interface thread resets it.
    std::atomic<Attribute> m_attribute{Colour::kDefaultAttribute};
    Position m_cursor{0, 0};
    C_LinkDetector m_link;
    struct Selection {
        int64_t start;
        int64_t end;
    };
    Selection m_selection{kNoSelection, kNoSelection};
    uint32_t m_searchPosition = 0;           // one past the start of the last match
    std::atomic<bool> m_filterActive{false}; // also read by the reader thread's flush, without the lock
    int m_wrapWidth = kDefaultWrapWidth;

    C_CriticalSection m_lock;
    C_NoWindow m_noWindow;
    C_StoreWindow* m_window = &m_noWindow;
    C_LineFilter* m_filter = nullptr;
};
