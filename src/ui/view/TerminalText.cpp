#include "ui/view/TerminalText.h"

#include "terminal/store/Colour.h"

namespace TerminalText {
namespace {

constexpr wchar_t kCrLf[] = L"\r\n";

// The last cell the store holds; a hit test may answer one past it.
uint32_t Clamped(const C_LineStore& store, uint32_t cell) {
    uint32_t count = store.CellCount();
    return count && cell >= count ? count - 1 : cell;
}

// Cells of the line up to, not including, its end marker, with the end marker of every line passed as CR LF.
void AppendLines(const C_LineStore& store, uint32_t low, uint32_t high, std::wstring& text) {
    const wchar_t* cells = store.Cells();
    uint32_t line = store.LineOfCell(low);
    uint32_t lastLine = store.LineOfCell(Clamped(store, high));
    for (uint32_t at = low;; ++line) {
        uint32_t marker = store.LineStart(line) + store.LineLength(line) - 1;
        uint32_t end = high < marker ? high : marker;
        if (end > at)
            text.append(cells + at, end - at);
        if (line >= lastLine || line + 1 >= store.LineCount())
            break;
        text += kCrLf;
        at = store.LineStart(line + 1);
    }
}

void AppendSegments(const C_LineStore& store, uint32_t low, uint32_t high, std::wstring& text) {
    const wchar_t* cells = store.Cells();
    for (uint32_t i = 0; i < store.SegmentCount(); ++i) {
        C_LineStore::Segment segment = store.GetSegment(i);
        if (segment.start > high)
            break;
        uint32_t segmentEnd = segment.start + segment.count;
        if (segmentEnd <= low)
            continue;
        uint32_t from = segment.start > low ? segment.start : low;
        uint32_t to = high < segmentEnd ? high : segmentEnd;
        for (uint32_t cell = from; cell < to; ++cell) {
            if (cells[cell] == C_LineStore::kEndMarker)
                text += kCrLf;
            else
                text += cells[cell];
        }
    }
}

} // namespace

bool IsWordDelimiter(wchar_t character) {
    switch (character) {
    case L'\t':
    case L'\n':
    case L'\r':
    case L' ':
    case L'"':
    case L'\'':
    case L';':
    case L'<':
    case L'=':
    case L'>':
        return true;
    default:
        return false;
    }
}

Range WordAround(const C_LineStore& store, uint32_t cell) {
    if (!store.CellCount())
        return {C_LineStore::kNoSelection, C_LineStore::kNoSelection};
    cell = Clamped(store, cell);
    const wchar_t* cells = store.Cells();
    uint32_t line = store.LineOfCell(cell);
    uint32_t first = store.LineStart(line);
    uint32_t marker = first + store.LineLength(line) - 1;
    uint32_t start = cell;
    if (IsWordDelimiter(cells[cell])) {
        if (cell != first)
            start = cell + 1;
    } else {
        while (start > first && !IsWordDelimiter(cells[start - 1]))
            --start;
    }
    uint32_t end = cell;
    while (end <= marker && !IsWordDelimiter(cells[end]))
        ++end;
    return {start, end};
}

Range LineAround(const C_LineStore& store, uint32_t cell) {
    if (!store.CellCount())
        return {C_LineStore::kNoSelection, C_LineStore::kNoSelection};
    uint32_t line = store.LineOfCell(Clamped(store, cell));
    uint32_t first = store.LineStart(line);
    return {first, first + store.LineLength(line)};
}

bool IsLinkCell(const C_LineStore& store, uint32_t cell) {
    return cell < store.CellCount() && Colour::IsLink(store.Attributes()[cell]);
}

bool LinkAround(const C_LineStore& store, uint32_t cell, std::wstring& link) {
    link.clear();
    if (!IsLinkCell(store, cell))
        return false;
    uint32_t first = cell;
    while (first > 0 && IsLinkCell(store, first - 1))
        --first;
    uint32_t last = cell;
    while (IsLinkCell(store, last + 1))
        ++last;
    link.assign(store.Cells() + first, last + 1 - first);
    return true;
}

std::wstring SelectedText(const C_LineStore& store, uint32_t low, uint32_t high) {
    std::wstring text;
    if (high <= low || !store.CellCount() || low >= store.CellCount())
        return text;
    if (store.IsFilterActive())
        AppendSegments(store, low, high, text);
    else
        AppendLines(store, low, high, text);
    return text;
}

} // namespace TerminalText
