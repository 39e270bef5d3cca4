// The terminal view's answers to the user: size changes, scrolling, the mouse (selection, links, the
// scroll-to-end icon), the clipboard and the keyboard.
#include "ui/view/TerminalView.h"

#include "platform/system/Clipboard.h"
#include "ui/view/ViewKeys.h"
#include "terminal/receive/EscapeInterpreter.h"
#include "ui/view/TerminalText.h"

#include <algorithm>
#include <climits>
#include <string>

namespace {

constexpr int kWheelDelta = WHEEL_DELTA;

} // namespace

// --- size -------------------------------------------------------------------------------------------------

void C_TerminalView::OnSize(int width, int height) {
    if (!width || !height || (m_backBuffer && width == m_clientWidth && height == m_clientHeight))
        return;
    m_clientWidth = width;
    m_clientHeight = height;
    if (!RecreateBackBuffer(width, height))
        return;
    // A view that shows the end goes on showing it: a smaller window or more wrapped rows must not leave it
    // stranded above new output.
    CreateFonts();
}

// --- scrolling --------------------------------------------------------------------------------------------

uint32_t C_TerminalView::VisibleRowCount() const {
    return m_store.IsFilterActive() ? m_store.SegmentCount() : m_store.RowCount();
}

C_LineStore::Segment C_TerminalView::VisibleRow(uint32_t row) const {
    if (m_store.IsFilterActive())
        return m_store.GetSegment(row);
    uint32_t start = m_store.RowStart(row);
    return {start, m_store.RowEnd(row) - start};
}

void C_TerminalView::UpdateScrollRange(Follow follow) {
    uint32_t rows;
    {
        C_Lock lock(m_store.Lock());
        rows = VisibleRowCount();
    }
    int64_t range = int64_t(rows) * m_rowHeight + kScrollRangeExtra;
    int64_t maximum = std::max<int64_t>(0, range - m_clientHeight);
    // Scroll bars count in ints; a store of more rows than that can show keeps its last part reachable.
    m_rangeMaximum = int(std::min<int64_t>(range, INT_MAX));
    m_maximumScroll = int(std::min<int64_t>(maximum, INT_MAX - m_clientHeight));
    m_scrollPosition = follow == Follow::Tail ? m_maximumScroll : std::min(m_scrollPosition, m_maximumScroll);
    if (m_thumbTracking)
        m_rangeUpdateDeferred = true;
    SetScrollBar(m_thumbTracking ? ScrollBarPart::PageAndPosition : ScrollBarPart::All);
    UpdateCaret();
}

void C_TerminalView::SetScrollBar(ScrollBarPart part) {
    if (!m_window)
        return;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    if (part == ScrollBarPart::All) {
        info.fMask |= SIF_RANGE;
        info.nMin = 0;
        info.nMax = m_rangeMaximum > 0 ? m_rangeMaximum - 1 : 0; // the bar's last position is then ours
    }
    info.nPage = UINT(std::max(0, m_clientHeight));
    info.nPos = m_scrollPosition;
    SetScrollInfo(m_window, SB_VERT, &info, TRUE);
}

void C_TerminalView::ScrollTo(int position) {
    // A host may call this straight after text arrived: the rows the writer added count first, or a view that
    // was at the bottom would follow them again and undo the move.
    ApplyPendingStoreChanges();
    position = std::max(0, std::min(position, m_maximumScroll));
    if (position == m_scrollPosition)
        return;
    m_scrollPosition = position;
    if (m_window) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_POS;
        info.nPos = position;
        SetScrollInfo(m_window, SB_VERT, &info, TRUE);
    }
    UpdateCaret();
    InvalidateAll();
}

void C_TerminalView::OnVerticalScroll(int code, int messagePosition) {
    int position = m_scrollPosition;
    switch (code) {
    case SB_LINEUP:
        position -= m_rowHeight;
        break;
    case SB_LINEDOWN:
        position += m_rowHeight;
        break;
    case SB_PAGEUP:
        position -= m_clientHeight;
        break;
    case SB_PAGEDOWN:
        position += m_clientHeight;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        m_thumbTracking = code == SB_THUMBTRACK;
        // The tracking position has 32 bits; the message's own only 16.
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        position = GetScrollInfo(m_window, SB_VERT, &info) ? info.nTrackPos : messagePosition;
        break;
    }
    default:
        break;
    }
    ScrollTo(position);
    if (!m_thumbTracking && m_rangeUpdateDeferred) {
        m_rangeUpdateDeferred = false;
        SetScrollBar(ScrollBarPart::All);
    }
}

void C_TerminalView::OnMouseWheel(int delta) {
    ScrollTo(m_scrollPosition - delta * m_rowHeight / kWheelDelta);
}

// --- mouse ------------------------------------------------------------------------------------------------

uint32_t C_TerminalView::HitTest(POINT point) {
    int x = point.x >= kMargin + 1 ? point.x - kMargin : 0;
    int y = point.y >= kMargin + 1 ? point.y - kMargin : 0;
    C_Lock lock(m_store.Lock());
    uint32_t rows = VisibleRowCount();
    if (!rows || m_rowHeight <= 0 || m_characterWidth <= 0)
        return 0;
    uint32_t row = uint32_t((int64_t(y) + m_scrollPosition) / m_rowHeight);
    C_LineStore::Segment cells = VisibleRow(std::min(row, rows - 1));
    uint32_t column = uint32_t(x / m_characterWidth);
    return cells.start + std::min(column, cells.count);
}

bool C_TerminalView::IsOverScrollToEnd(POINT point) const {
    return !IsAtBottom() && m_scrollToEnd.Contains(point);
}

bool C_TerminalView::IsOverLink(POINT point) {
    uint32_t cell = HitTest(point);
    C_Lock lock(m_store.Lock());
    return TerminalText::IsLinkCell(m_store, cell);
}

void C_TerminalView::OnMouseMove(POINT point) {
    if (!m_selecting)
        return; // the cursor shape is WM_SETCURSOR's
    int64_t start, end;
    m_store.GetSelection(start, end);
    m_store.SetSelection(start, HitTest(point));
    InvalidateAll();
}

bool C_TerminalView::OnSetCursor() {
    POINT point;
    if (m_selecting || !GetCursorPos(&point) || !ScreenToClient(m_window, &point))
        return false;
    if (!IsOverScrollToEnd(point) && !IsOverLink(point))
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void C_TerminalView::OnLeftButtonDown(POINT point, LONG messageTime) {
    bool thirdClick = m_lastDoubleClickTime != 0 && PtInRect(&m_doubleClickRect, point) &&
                      DWORD(messageTime - m_lastDoubleClickTime) < GetDoubleClickTime();
    if (thirdClick) {
        if (!m_clickOnButton && !m_clickOnLink) {
            m_lastDoubleClickTime = 0;
            SelectLine(point);
        }
        return;
    }
    if (IsOverScrollToEnd(point)) {
        m_clickOnButton = true;
        ScrollTo(m_maximumScroll);
        return;
    }
    m_clickOnButton = false;
    m_doubleClickRect = {point.x, point.y, point.x, point.y};
    InflateRect(&m_doubleClickRect, GetSystemMetrics(SM_CXDOUBLECLK) / 2, GetSystemMetrics(SM_CYDOUBLECLK) / 2);
    uint32_t cell = HitTest(point);
    m_store.SetSelection(cell, cell);
    InvalidateAll();
    bool onLink;
    {
        C_Lock lock(m_store.Lock());
        onLink = TerminalText::IsLinkCell(m_store, cell);
    }
    m_clickOnLink = onLink;
    if (onLink) {
        OpenLink(cell);
        return;
    }
    SetCapture(m_window);
    m_selecting = true;
}

void C_TerminalView::OnLeftButtonUp() {
    EndMouseSelection();
}

void C_TerminalView::EndMouseSelection() {
    bool captured = m_selecting;
    m_selecting = false;
    if (captured && m_window && GetCapture() == m_window)
        ReleaseCapture();
}

void C_TerminalView::OnLeftButtonDoubleClick(POINT point, LONG messageTime) {
    m_lastDoubleClickTime = messageTime;
    if (!m_clickOnButton && !m_clickOnLink)
        SelectWord(point);
}

void C_TerminalView::SelectWord(POINT point) {
    SelectAround(point, TerminalText::WordAround);
}

void C_TerminalView::SelectLine(POINT point) {
    SelectAround(point, TerminalText::LineAround);
}

void C_TerminalView::SelectAround(POINT point, TerminalText::Range (*around)(const C_LineStore&, uint32_t)) {
    uint32_t cell = HitTest(point);
    TerminalText::Range range;
    {
        C_Lock lock(m_store.Lock());
        range = around(m_store, cell);
    }
    m_store.SetSelection(range.start, range.end);
    InvalidateAll();
}

void C_TerminalView::OpenLink(uint32_t cell) {
    std::wstring link;
    {
        C_Lock lock(m_store.Lock());
        if (!TerminalText::LinkAround(m_store, cell, link))
            return;
    }
    if (m_linkOpener)
        m_linkOpener->OpenLink(link.c_str());
}

// --- clipboard --------------------------------------------------------------------------------------------

bool C_TerminalView::HasSelection() {
    int64_t start, end;
    return m_store.GetSelection(start, end);
}

void C_TerminalView::CopySelection() {
    int64_t start, end;
    if (!m_store.GetSelection(start, end))
        return;
    std::wstring text;
    {
        C_Lock lock(m_store.Lock());
        int64_t low = std::max<int64_t>(0, std::min(start, end));
        int64_t high = std::min<int64_t>(std::max(start, end), m_store.CellCount());
        text = TerminalText::SelectedText(m_store, uint32_t(low), uint32_t(high));
    }
    Clipboard::SetText(m_window, text.c_str(), text.size());
    m_store.SetSelection(C_LineStore::kNoSelection, C_LineStore::kNoSelection);
    InvalidateAll();
}

// --- keyboard ---------------------------------------------------------------------------------------------

bool C_TerminalView::CursorKeyApplicationMode() const {
    return m_keyMode && m_keyMode->CursorKeyApplicationMode();
}

bool C_TerminalView::Perform(const TerminalKeys::Result& key) {
    return ViewKeys::Perform(key, {m_window, m_sink, m_host, *this});
}

void C_TerminalView::OnChar(wchar_t character) {
    Perform(TerminalKeys::ForCharacter(character, TerminalKeys::HeldModifiers(), m_enterText));
}

bool C_TerminalView::OnKeyDown(UINT key, TerminalKeys::KeyMessage message) {
    TerminalKeys::CursorKeyMode mode =
        CursorKeyApplicationMode() ? TerminalKeys::CursorKeyMode::Application : TerminalKeys::CursorKeyMode::Normal;
    return Perform(TerminalKeys::ForKey(key, TerminalKeys::HeldModifiers(), mode, message));
}
