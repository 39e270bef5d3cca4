// The hex view's answers to the user: the mouse (selection, the scroll-to-end icon), the clipboard, the keyboard,
// the search and the dump's save.
#include "ui/hex/HexView.h"

#include "platform/system/Clipboard.h"
#include "terminal/bytes/HexSearch.h"
#include "terminal/export/HexExport.h"
#include "terminal/receive/EscapeInterpreter.h"

#include <algorithm>
#include <string>

namespace {

// The rows' text for the clipboard.
class C_TextSink final : public C_ByteSink {
public:
    bool Write(const void* data, uint32_t size) override {
        const char* bytes = static_cast<const char*>(data);
        text.append(bytes, bytes + size); // ASCII: each byte is its character
        return true;
    }
    std::wstring text;
};

} // namespace

// --- selection ------------------------------------------------------------------------------------------------

bool C_HexView::GetSelection(uint64_t& low, uint64_t& high) const {
    if (m_anchor == kNoSelection || m_active == kNoSelection || m_anchor == m_active)
        return false;
    low = uint64_t(std::min(m_anchor, m_active));
    high = uint64_t(std::max(m_anchor, m_active));
    return true;
}

void C_HexView::SetSelection(int64_t anchor, int64_t active) {
    m_anchor = anchor;
    m_active = active;
    if (m_window)
        InvalidateRect(m_window, nullptr, FALSE);
}

uint64_t C_HexView::HitTest(POINT point) {
    const int y = std::max(0, int(point.y) - kMargin);
    const int x = std::max(0, int(point.x) - kMargin);
    if (m_rowHeight <= 0 || m_characterWidth <= 0)
        return m_extent.endByte;
    C_ByteJournal::Row row;
    if (!m_journal.GetRows(m_topRow + uint64_t(y / m_rowHeight), 1, &row))
        return m_extent.endByte;
    if (row.number < m_topRow + uint64_t(y / m_rowHeight))
        return row.firstByte + row.count; // below the last row: after it
    const int index = HexRows::ByteAtColumn(m_layout, uint32_t(x / m_characterWidth), row.count);
    return row.firstByte + uint64_t(std::max(0, index));
}

void C_HexView::SelectRowAt(POINT point) {
    const uint64_t byte = HitTest(point);
    C_ByteJournal::Row row;
    if (m_journal.GetRows(m_journal.RowOfByte(byte), 1, &row))
        SetSelection(int64_t(row.firstByte), int64_t(row.firstByte + row.count));
}

// --- mouse ----------------------------------------------------------------------------------------------------

bool C_HexView::IsOverScrollToEnd(POINT point) const {
    return !IsAtBottom() && m_scrollToEnd.Contains(point);
}

void C_HexView::OnLeftButtonDown(POINT point) {
    m_clickOnButton = IsOverScrollToEnd(point);
    if (m_clickOnButton) {
        ScrollToEnd();
        return;
    }
    const int64_t byte = int64_t(HitTest(point));
    SetSelection(byte, byte);
    SetCapture(m_window);
    m_selecting = true;
}

void C_HexView::OnMouseMove(POINT point) {
    if (!m_selecting)
        return;
    SetSelection(m_anchor, int64_t(HitTest(point)));
}

void C_HexView::EndMouseSelection() {
    const bool captured = m_selecting;
    m_selecting = false;
    if (captured && m_window && GetCapture() == m_window)
        ReleaseCapture();
}

bool C_HexView::OnSetCursor() {
    POINT point;
    if (m_selecting || !GetCursorPos(&point) || !ScreenToClient(m_window, &point) || !IsOverScrollToEnd(point))
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

// --- clipboard, search and save ---------------------------------------------------------------------------------

// The rows the selection touches, whole, as the dump shows them.
void C_HexView::CopySelection() {
    uint64_t low, high;
    if (!GetSelection(low, high))
        return;
    C_TextSink sink;
    HexExport::WriteRows(m_journal, m_journal.RowOfByte(low), m_journal.RowOfByte(high - 1) + 1, m_layout, sink);
    Clipboard::SetText(m_window, sink.text.c_str(), sink.text.size());
    SetSelection(kNoSelection, kNoSelection);
}

bool C_HexView::Search(const wchar_t* text, uint32_t searchFlags, int64_t start) {
    HexSearch::Patterns patterns;
    if (!HexSearch::Parse(text, (searchFlags & C_LineStore::SEARCH_MATCH_CASE) != 0, patterns))
        return false;
    const C_ByteJournal::Extent extent = m_journal.GetExtent();
    const bool backward = (searchFlags & C_LineStore::SEARCH_BACKWARD) != 0;
    uint64_t low, high;
    uint64_t from = m_searchPosition;
    if (start == C_LineStore::kStoreEnd)
        from = extent.endByte;
    else if (start >= 0)
        from = uint64_t(start);
    else if (GetSelection(low, high)) // the search moves past the current match; typing finds it again
        from = low + (!backward && !(searchFlags & C_LineStore::SEARCH_INCREMENTAL) ? 1 : 0);
    HexSearch::Match match = HexSearch::Find(m_journal, patterns, from, backward);
    if (match.position < 0) // once round
        match = HexSearch::Find(m_journal, patterns, backward ? extent.endByte : extent.firstByte, backward);
    if (match.position < 0) {
        SetSelection(kNoSelection, kNoSelection);
        m_searchPosition = extent.firstByte;
        return false;
    }
    m_searchPosition = uint64_t(match.position) + 1;
    SetSelection(match.position, match.position + match.length);
    m_extent = extent;
    const uint64_t row = m_journal.RowOfByte(uint64_t(match.position));
    if (row < m_topRow || row >= m_topRow + m_visibleRows)
        ScrollToRow(row > m_visibleRows / 2 ? row - m_visibleRows / 2 : 0);
    return true;
}

int C_HexView::SaveDump(const wchar_t* path) {
    return HexExport::WriteFile(m_journal, path, m_withTimes);
}

// --- keyboard -------------------------------------------------------------------------------------------------

bool C_HexView::HandleKeyMessage(UINT message, WPARAM wParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_GETDLGCODE:
        result = DLGC_WANTALLKEYS;
        return true;
    case WM_CHAR:
        Perform(TerminalKeys::ForCharacter(wchar_t(wParam), TerminalKeys::HeldModifiers(), m_enterText));
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const TerminalKeys::CursorKeyMode mode =
            CursorKeyApplicationMode() ? TerminalKeys::CursorKeyMode::Application : TerminalKeys::CursorKeyMode::Normal;
        return Perform(TerminalKeys::ForKey(UINT(wParam), TerminalKeys::HeldModifiers(), mode,
                                            message == WM_SYSKEYDOWN ? TerminalKeys::KeyMessage::SystemKeyDown
                                                                     : TerminalKeys::KeyMessage::KeyDown));
    }
    default:
        return false;
    }
}

bool C_HexView::CursorKeyApplicationMode() const {
    return m_keyMode && m_keyMode->CursorKeyApplicationMode();
}

bool C_HexView::HasSelection() {
    uint64_t low, high;
    return GetSelection(low, high);
}

// Keys act as in the terminal view: the same text to the device, the same paste question, bars and break.
bool C_HexView::Perform(const TerminalKeys::Result& key) {
    return ViewKeys::Perform(key, {m_window, m_sink, m_host, *this});
}
