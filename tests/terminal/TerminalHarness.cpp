#include "TerminalHarness.h"

std::string CheckStoreInvariants(C_LineStore& store) {
    C_Lock lock(store.Lock());
    uint32_t cells = store.CellCount();
    if (!cells || store.LineCount() == 0 || store.RowCount() == 0)
        return "empty arrays";
    uint64_t sum = 0;
    for (uint32_t line = 0; line < store.LineCount(); ++line) {
        if (store.LineStart(line) != sum)
            return "line " + std::to_string(line) + " does not start where the previous ended";
        uint32_t length = store.LineLength(line);
        if (length < 1)
            return "line without end marker";
        if (store.Cells()[store.LineStart(line) + length - 1] != C_LineStore::kEndMarker)
            return "line " + std::to_string(line) + " does not end with the end marker";
        sum += length;
    }
    if (sum != cells)
        return "cells != sum of line lengths";
    if (store.Cells()[cells - 1] != C_LineStore::kEndMarker)
        return "last cell is not an end marker";
    uint32_t previous = 0;
    for (uint32_t row = 0; row < store.RowCount(); ++row) {
        uint32_t end = store.RowEnd(row);
        if (end <= previous)
            return "row " + std::to_string(row) + " is empty or out of order";
        if (store.LineOfCell(previous) != store.LineOfCell(end - 1))
            return "row " + std::to_string(row) + " spans two lines";
        int width = store.GetWrapWidth() > 0 ? store.GetWrapWidth() : 1;
        if (end - previous > uint32_t(width))
            return "row " + std::to_string(row) + " is wider than the wrap width";
        previous = end;
    }
    if (previous != cells)
        return "rows do not cover the cells";
    if (store.IsFilterActive()) {
        uint32_t segmentEnd = 0;
        for (uint32_t i = 0; i + 1 < store.SegmentCount(); ++i) {
            C_LineStore::Segment segment = store.GetSegment(i);
            if (segment.start < segmentEnd || segment.count == 0 || segment.start + segment.count > cells)
                return "segment " + std::to_string(i) + " out of order or outside the store";
            segmentEnd = segment.start + segment.count;
        }
        if (store.GetSegment(store.SegmentCount() - 1).count != 0)
            return "no open segment at the end";
    }
    C_LineStore::Position cursor = store.GetCursor();
    if (!store.IsFilterActive() && (cursor.row < 0 || uint32_t(cursor.row) >= store.LineCount() || cursor.column < 0 ||
                                    uint32_t(cursor.column) >= store.LineLength(uint32_t(cursor.row))))
        return "cursor outside the store";
    int64_t start, end;
    if (store.GetSelection(start, end) && (start < 0 || end < 0 || start > cells || end > cells))
        return "selection outside the store";
    if (store.GetSearchPosition() > cells)
        return "search position outside the store";
    if (cells > uint64_t(store.GetCapacity()) + 2 * C_LineStore::kMaxCursorGrowth)
        return "more cells than the capacity";
    return "";
}
