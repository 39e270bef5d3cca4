// The hex view's drawing: its font, the back buffer, the rows with their selection and the scroll-to-end icon.
#include "ui/hex/HexView.h"

#include "platform/window/Dpi.h"

#include <algorithm>

// --- font and back buffer -------------------------------------------------------------------------------------

// Every character the view draws is ASCII, so one font and a fixed grid do.
bool C_HexView::CreateFonts() {
    const UINT dpi = m_window ? Dpi::ForWindow(m_window) : Dpi::ForSystem();
    const LOGFONTW face = TerminalFont::Face(m_faceName.c_str(), m_fontSize, m_fontFlags, dpi);
    C_Font font(CreateFontIndirectW(&face));
    C_MemoryDc measuring(CreateCompatibleDC(nullptr));
    SIZE measured = {};
    if (!font || !TerminalFont::MeasureCell(measuring.Get(), font.Get(), measured))
        return false;
    const bool follow = IsAtBottom();
    if (m_backBuffer)
        SelectObject(m_backBuffer.Get(), font.Get());
    m_font = std::move(font);
    m_characterWidth = measured.cx;
    m_rowHeight = measured.cy;
    m_visibleRows = uint32_t(std::max(0, (m_clientHeight - 2 * kMargin) / m_rowHeight));
    RebuildScrollToEndIcon(dpi);
    ApplyExtent(follow);
    return true;
}

bool C_HexView::RecreateBackBuffer(int width, int height) {
    if (!m_backBuffer.Make(m_window, {width, height}))
        return false;
    if (m_font)
        SelectObject(m_backBuffer.Get(), m_font.Get());
    return true;
}

void C_HexView::RebuildScrollToEndIcon(UINT dpi) {
    m_scrollToEnd.Load(dpi);
    m_scrollToEnd.Place(m_clientWidth, m_clientHeight);
}

// --- painting -------------------------------------------------------------------------------------------------

void C_HexView::OnPaint() {
    C_PaintDc paint(m_window);
    if (m_backBuffer) {
        RenderBackBuffer();
        BitBlt(paint.Get(), 0, 0, m_clientWidth, m_clientHeight, m_backBuffer.Get(), 0, 0, SRCCOPY);
    } else {
        SetBkColor(paint.Get(), kBackground);
        ExtTextOutW(paint.Get(), 0, 0, ETO_OPAQUE, &paint.Dirty(), nullptr, 0, nullptr);
    }
    ++m_paintCount;
}

// The rows on the screen are copied out of the journal in one hold of its lock and formatted afterwards.
void C_HexView::RenderBackBuffer() {
    HDC dc = m_backBuffer.Get();
    const RECT client = {0, 0, m_clientWidth, m_clientHeight};
    SetBkColor(dc, kBackground);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    if (m_rowHeight <= 0 || m_characterWidth <= 0)
        return;
    m_frame.resize(m_visibleRows + 1);
    const uint32_t rows = m_journal.GetRows(m_topRow, m_visibleRows + 1, m_frame.data());
    for (uint32_t i = 0; i < rows; ++i) {
        // A row dropped since the extent was taken would start the frame later than the top row.
        const uint64_t shown = m_frame[i].number - m_topRow;
        if (shown > m_visibleRows)
            break;
        PaintRow(m_frame[i], kMargin + int(shown) * m_rowHeight);
    }
    if (!IsAtBottom())
        m_scrollToEnd.Draw(dc);
}

// Two text calls a row: the time, direction and offset in the margin colour, the bytes in their direction's.
void C_HexView::PaintRow(const C_ByteJournal::Row& row, int top) {
    wchar_t text[HexRows::kMaximumWidth];
    const uint32_t length = HexRows::Format(row, m_layout, text);
    const COLORREF colour = row.direction == ByteDirection::Sent ? kSentText : kReceivedText;
    DrawText(text, 0, m_layout.hexStart, top, kMarginText, kBackground);
    DrawText(text, m_layout.hexStart, length, top, colour, kBackground);
    PaintSelected(row, text, top);
}

// The selected bytes of the row, over their pairs and their characters.
void C_HexView::PaintSelected(const C_ByteJournal::Row& row, const wchar_t* text, int top) {
    uint64_t low, high;
    if (!GetSelection(low, high) || high <= row.firstByte || low >= row.firstByte + row.count)
        return;
    const uint32_t first = uint32_t(std::max(low, row.firstByte) - row.firstByte);
    const uint32_t last = uint32_t(std::min(high, row.firstByte + row.count) - row.firstByte) - 1;
    DrawText(text, HexRows::HexColumn(m_layout, first), HexRows::HexColumn(m_layout, last) + 2, top, kSelectedText,
             kSelection);
    DrawText(text, HexRows::CharacterColumn(m_layout, first), HexRows::CharacterColumn(m_layout, last) + 1, top,
             kSelectedText, kSelection);
}

void C_HexView::DrawText(const wchar_t* text, uint32_t from, uint32_t to, int top, COLORREF colour,
                         COLORREF background) {
    if (to <= from)
        return;
    HDC dc = m_backBuffer.Get();
    SetTextColor(dc, colour);
    SetBkColor(dc, background);
    const int left = kMargin + int(from) * m_characterWidth;
    const RECT box = {left, top, left + int(to - from) * m_characterWidth, top + m_rowHeight};
    // Clipping costs a little for every call; only the text at the edges needs it.
    const UINT clipped = box.right > m_clientWidth || box.bottom > m_clientHeight ? ETO_CLIPPED : 0;
    ExtTextOutW(dc, left, top, ETO_OPAQUE | clipped, &box, text + from, to - from, nullptr);
}
