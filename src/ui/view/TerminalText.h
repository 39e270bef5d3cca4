#pragma once
// The texts the terminal view takes out of the line store for the mouse and the clipboard: the word or line
// around a cell, the link a cell belongs to, and the selected text. Window-free; every function reads the
// store's arrays, so the caller holds the store lock.
#include "terminal/store/LineStore.h"

#include <cstdint>
#include <string>

namespace TerminalText {

// A selection as the view keeps it: the cell where it started and the cell where it ends (either order).
struct Range {
    int64_t start;
    int64_t end;
};

// Tab, line feed, carriage return, blank and " ' ; < = >.
bool IsWordDelimiter(wchar_t character);

// The word around the cell: from the first cell after a delimiter up to the next delimiter, or through the
// line's end marker. On a delimiter itself, just that one cell.
Range WordAround(const C_LineStore& store, uint32_t cell);
// The whole line around the cell, its end marker included.
Range LineAround(const C_LineStore& store, uint32_t cell);
// The text of the link the cell belongs to (the run of link-flagged cells around it); false when the cell is
// not part of a link.
bool LinkAround(const C_LineStore& store, uint32_t cell, std::wstring& link);
bool IsLinkCell(const C_LineStore& store, uint32_t cell);

// The text of the cells from low up to, not including, high, with CR LF where lines end: the lines' texts
// without a filter; the visible segments' cells while a filter is active, so hidden lines are left out.
std::wstring SelectedText(const C_LineStore& store, uint32_t low, uint32_t high);

} // namespace TerminalText
