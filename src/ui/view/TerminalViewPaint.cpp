// The terminal view's drawing: fonts, the back buffer, the rows, the selection, the scroll-to-end icon and the
// caret.
#include "ui/view/TerminalView.h"

#include "platform/window/Dpi.h"
#include "terminal/receive/TimeStamp.h"

#include <algorithm>
#include <cwchar>

namespace {

constexpr LONG kGlyphTestHeight = 10;
constexpr WORD kMissingGlyph = 0xFFFF; // GetGlyphIndices with GGI_MARK_NONEXISTING_GLYPHS
// The caret's phases invert it with these stock brushes: gray, then white and light gray.
constexpr COLORREF kGray = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kLightGray = RGB(0xC0, 0xC0, 0xC0);

COLORREF ToColorRef(Rgb rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Whether every character of the text has a glyph in the face itself (no substitution by another font).
bool FaceHasGlyphs(const LOGFONTW& face, const C_String& text) {
    if (text.IsEmpty())
        return true;
    LOGFONTW probe = face;
    probe.lfHeight = kGlyphTestHeight;
    probe.lfUnderline = FALSE;
    C_Font font(CreateFontIndirectW(&probe));
    C_MemoryDc dc(CreateCompatibleDC(nullptr));
    if (!font || !dc)
        return false;
    C_SelectedObject selected(dc.Get(), font.Get());
    uint32_t length = text.GetLength();
    std::vector<WORD> glyphs(length);
    if (GetGlyphIndicesW(dc.Get(), text.c_str(), int(length), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    return std::find(glyphs.begin(), glyphs.end(), kMissingGlyph) == glyphs.end();
}

} // namespace

// --- fonts ------------------------------------------------------------------------------------------------

bool C_TerminalView::CreateFonts() {
    UINT dpi = m_window ? Dpi::ForWindow(m_window) : Dpi::ForSystem();
    LOGFONTW face = TerminalFont::Face(m_faceName.c_str(), m_fontSize, m_fontFlags, dpi);
    C_Font normal(CreateFontIndirectW(&face));
    face.lfUnderline = TRUE;
    C_Font link(CreateFontIndirectW(&face));
    if (!normal || !link)
        return false;

    SIZE measured = {};
    {
        C_MemoryDc screenDc;
        HDC dc = m_backBuffer.Get();
        if (!dc) {
            screenDc.Reset(CreateCompatibleDC(nullptr));
            dc = screenDc.Get();
        }
        if (!TerminalFont::MeasureCell(dc, normal.Get(), measured))
            return false;
    }
    Follow follow = IsAtBottom() ? Follow::Tail : Follow::Keep;
    m_normalFont = std::move(normal);
    m_linkFont = std::move(link);
    m_characterWidth = measured.cx;
    m_rowHeight = measured.cy;
    m_advanceKinds.assign(size_t(WCHAR_MAX) + 1, kAdvanceUnknown);
    m_powerLineAvailable = FaceHasGlyphs(face, m_powerLine);
    if (m_stamps)
        m_stamps->SetPowerLineGlyphsAvailable(m_powerLineAvailable);
    m_scrollToEnd.Load(dpi);
    ApplyLayout(follow);
    InvalidateAll();
    return true;
}

void C_TerminalView::OnFontsChanged() {
    CreateFonts();
}

// The wrap width follows the client width and the character width; the scroll-to-end icon sits one icon size
// away from the lower right corner.
void C_TerminalView::ApplyLayout(Follow follow) {
    m_scrollToEnd.Place(m_clientWidth, m_clientHeight);
    if (m_clientWidth <= 0 || m_characterWidth <= 0)
        return;
    m_store.SetWrapWidth(C_LineStore::WrapWidthFor(m_clientWidth, m_characterWidth));
    UpdateScrollRange(follow);
}

// --- back buffer ------------------------------------------------------------------------------------------

bool C_TerminalView::RecreateBackBuffer(int width, int height) {
    if (!m_backBuffer.Make(m_window, {width, height}))
        return false;
    HDC dc = m_backBuffer.Get();
    // Selection rectangles are filled with the brush alone, merged into what is drawn (destination OR brush).
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, kSelection);
    SetROP2(dc, R2_MERGEPEN);
    return true;
}

// --- painting ---------------------------------------------------------------------------------------------

void C_TerminalView::OnPaint() {
    // Rows the writer added or dropped since its message was posted are taken first, so the rows and the scroll
    // position painted belong together.
    ApplyPendingStoreChanges();
    // The caret's inversion and a screen at another scroll position must not survive a partial repaint.
    if (m_drawnCaretMask)
        InvalidateRect(m_window, &m_drawnCaret, FALSE);
    if (m_paintedScroll != m_scrollPosition)
        InvalidateRect(m_window, nullptr, FALSE);
    {
        C_PaintDc paint(m_window);
        if (m_backBuffer) {
            // While the writer holds the store (a long append), the last picture is shown again and the rows are
            // drawn at the repaint timer: the window never waits for the writer.
            bool framed = m_rowHeight <= 0 || TakeFrame();
            if (framed)
                RenderBackBuffer();
            BitBlt(paint.Get(), 0, 0, m_clientWidth, m_clientHeight, m_backBuffer.Get(), 0, 0, SRCCOPY);
            if (framed) {
                m_paintedScroll = m_scrollPosition;
            } else {
                m_repaintPending = true;
                if (!m_repaintTimerArmed.exchange(true))
                    SetTimer(m_window, TIMER_REPAINT, kRepaintIntervalMs, nullptr);
            }
        } else {
            SetBkColor(paint.Get(), kBackground);
            ExtTextOutW(paint.Get(), 0, 0, ETO_OPAQUE, &paint.Dirty(), nullptr, 0, nullptr);
        }
        m_drawnCaretMask = 0;
        ++m_paintCount;
        BlinkCaret(1);
    }
}

// The rows on the screen are copied out of the store under its lock, and drawn after it is released: the reader
// thread is kept waiting only for the copy, not for the drawing.
bool C_TerminalView::TakeFrame() {
    C_TryLock lock(m_store.Lock());
    if (!lock)
        return false;
    m_frameRows.clear();
    m_frameCells.clear();
    m_frameAttributes.clear();
    int64_t start, end;
    m_frameSelected = m_store.GetSelection(start, end);
    m_frameSelection = {std::min(start, end), std::max(start, end)};
    uint32_t rows = VisibleRowCount();
    int top = kMargin - m_scrollPosition % m_rowHeight;
    for (uint32_t row = uint32_t(m_scrollPosition / m_rowHeight); row < rows && top < m_clientHeight; ++row) {
        C_LineStore::Segment cells = VisibleRow(row);
        m_frameRows.push_back({cells.start, cells.count, uint32_t(m_frameCells.size()), top});
        m_frameCells.insert(m_frameCells.end(), m_store.Cells() + cells.start,
                            m_store.Cells() + cells.start + cells.count);
        m_frameAttributes.insert(m_frameAttributes.end(), m_store.Attributes() + cells.start,
                                 m_store.Attributes() + cells.start + cells.count);
        top += m_rowHeight;
    }
    return true;
}

void C_TerminalView::RenderBackBuffer() {
    HDC dc = m_backBuffer.Get();
    RECT client = {0, 0, m_clientWidth, m_clientHeight};
    SetBkColor(dc, kBackground);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    if (m_rowHeight <= 0 || m_characterWidth <= 0)
        return;

    C_SelectedObject font(dc, m_normalFont.Get());
    m_currentFont = m_normalFont.Get();
    const RECT area = {kMargin, 0, m_clientWidth - kMargin, m_clientHeight - kMargin};
    for (const FrameRow& row : m_frameRows) {
        PaintRow(m_frameCells.data() + row.frameIndex, m_frameAttributes.data() + row.frameIndex, row.count,
                 {area.left, row.top, area.right, area.bottom});
        int64_t rowStart = row.start;
        int64_t rowEnd = rowStart + row.count;
        int64_t low = m_frameSelection.start;
        int64_t high = m_frameSelection.end;
        if (m_frameSelected && rowStart < high && rowEnd >= low) {
            // With the null pen a rectangle fills one pixel less each way, hence the + 1.
            int left = kMargin + m_characterWidth * int(std::max<int64_t>(0, low - rowStart));
            int right = left + m_characterWidth * int(std::min(high, rowEnd) - std::max(rowStart, low)) + 1;
            Rectangle(dc, left, row.top, right, row.top + m_rowHeight + 1);
        }
    }
    if (!IsAtBottom())
        m_scrollToEnd.Draw(dc);
}

// One text call per run of cells with equal attributes, each character on its cell of the grid. A run's last
// cell is left out when it is the line's end marker.
void C_TerminalView::PaintRow(const wchar_t* cells, const Attribute* attributes, uint32_t count, RECT area) {
    HDC dc = m_backBuffer.Get();
    if (m_advances.size() < count)
        m_advances.resize(count, m_characterWidth);
    int left = area.left;
    for (uint32_t i = 0; i < count;) {
        Attribute attribute = attributes[i];
        uint32_t run = 1;
        while (i + run < count && attributes[i + run] == attribute)
            ++run;
        uint32_t drawn = cells[i + run - 1] == C_LineStore::kEndMarker ? run - 1 : run;
        if (drawn) {
            HFONT font = Colour::IsLink(attribute) ? m_linkFont.Get() : m_normalFont.Get();
            if (font != m_currentFont) {
                SelectObject(dc, font);
                m_currentFont = font;
            }
            SetTextColor(dc, ToColorRef(Colour::ForegroundOf(attribute)));
            SetBkColor(dc, ToColorRef(Colour::BackgroundOf(attribute)));
            RECT box = {left, area.top, left + int(drawn) * m_characterWidth, area.top + m_rowHeight};
            // Clipping costs a little for every call; only the rows at the edges need it.
            UINT options = ETO_OPAQUE;
            if (box.right > area.right || box.bottom > area.bottom) {
                IntersectRect(&box, &box, &area);
                options |= ETO_CLIPPED;
            }
            const INT* advances = RunIsOnGrid(cells + i, drawn) ? nullptr : m_advances.data();
            ExtTextOutW(dc, left, area.top, options, &box, cells + i, drawn, advances);
        }
        left += int(run) * m_characterWidth;
        i += run;
    }
}

// A character the font lacks may be drawn from another font with another width, so only the font's own glyphs
// of exactly one cell count. Asked once per character and font; the font is selected into the back buffer.
bool C_TerminalView::RunIsOnGrid(const wchar_t* cells, uint32_t count) {
    if (m_advanceKinds.empty())
        return false;
    HDC dc = m_backBuffer.Get();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t& kind = m_advanceKinds[cells[i]];
        if (kind == kAdvanceUnknown) {
            WORD glyph = kMissingGlyph;
            INT width = 0;
            bool own = GetGlyphIndicesW(dc, cells + i, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR &&
                       glyph != kMissingGlyph;
            kind = own && GetCharWidth32W(dc, cells[i], cells[i], &width) && width == m_characterWidth
                       ? kAdvanceOnGrid
                       : kAdvanceOffGrid;
        }
        if (kind != kAdvanceOnGrid)
            return false;
    }
    return true;
}

// --- caret ------------------------------------------------------------------------------------------------

void C_TerminalView::UpdateCaret() {
    if (m_store.IsFilterActive() || m_characterWidth <= 0)
        return;
    int wrap = (m_clientWidth - 2 * kMargin) / m_characterWidth;
    if (wrap <= 0)
        return;
    // A caret left where it was for a blink is better than a window waiting for the writer.
    C_TryLock lock(m_store.Lock());
    if (!lock)
        return;
    C_LineStore::Position cursor = m_store.GetCursor();
    int row = m_store.RowOfIndex(m_store.CellIndex(cursor.column, cursor.row));
    if (row < 0)
        return;
    m_caret = {(cursor.column % wrap) * m_characterWidth + kMargin, row * m_rowHeight - m_scrollPosition + kMargin};
    m_caretPlaced = true;
}

RECT C_TerminalView::CaretRect() const {
    if (!m_caretPlaced || m_store.IsFilterActive() || m_characterWidth <= 0)
        return {};
    int bar = m_rowHeight / 4;
    return {m_caret.x, m_caret.y + m_rowHeight - bar, m_caret.x + m_characterWidth, m_caret.y + m_rowHeight};
}

// The caret blinks on the screen, not in the back buffer: phase 1 inverts its bar with gray, phase 2 a tenth of a
// second later with white and light gray, so it changes shade without any row being redrawn. What the inversions
// amount to is remembered, so a caret that moved between blinks can be taken off its old place.
void C_TerminalView::BlinkCaret(int phase) {
    if (!m_window || m_store.IsFilterActive())
        return;
    C_WindowDc dc(m_window);
    if (!dc)
        return;
    if (phase == 1) {
        UpdateCaret();
        RECT rect = CaretRect();
        if (!EqualRect(&rect, &m_drawnCaret)) {
            EraseDrawnCaret(dc.Get());
            m_drawnCaret = rect;
        }
        if (IsRectEmpty(&rect))
            return;
        InvertCaret(dc.Get(), GRAY_BRUSH, kGray);
        SetTimer(m_window, TIMER_CARET_PHASE, kCaretPhaseMs, nullptr);
    } else if (!IsRectEmpty(&m_drawnCaret)) {
        InvertCaret(dc.Get(), WHITE_BRUSH, kWhite);
        InvertCaret(dc.Get(), LTGRAY_BRUSH, kLightGray);
    }
}

void C_TerminalView::InvertCaret(HDC dc, int stockBrush, COLORREF colour) {
    C_SelectedObject brush(dc, GetStockObject(stockBrush));
    PatBlt(dc, m_drawnCaret.left, m_drawnCaret.top, m_drawnCaret.right - m_drawnCaret.left,
           m_drawnCaret.bottom - m_drawnCaret.top, PATINVERT);
    m_drawnCaretMask ^= colour;
}

void C_TerminalView::EraseDrawnCaret(HDC dc) {
    if (!m_drawnCaretMask)
        return;
    C_Brush mask(CreateSolidBrush(m_drawnCaretMask));
    C_SelectedObject brush(dc, mask.Get());
    PatBlt(dc, m_drawnCaret.left, m_drawnCaret.top, m_drawnCaret.right - m_drawnCaret.left,
           m_drawnCaret.bottom - m_drawnCaret.top, PATINVERT);
    m_drawnCaretMask = 0;
}
