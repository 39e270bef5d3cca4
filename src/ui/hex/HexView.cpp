// The hex view's window: class registration, creation, the message dispatch, the journal's notices and
// scrolling. Drawing is in HexViewPaint.cpp, the mouse, keys, clipboard, search and save in HexViewInput.cpp.
#include "ui/hex/HexView.h"

#include "foundation/settings/Options.h"
#include "platform/system/WindowProcedure.h"
#include "platform/window/Dpi.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>

namespace {

constexpr UINT kDpiChangedAfterParent = 0x02E3; // WM_DPICHANGED_AFTERPARENT, Windows 10 and later
constexpr DWORD kViewStyle = WS_CHILD | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kViewExtendedStyle = WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY;
constexpr int kWheelRows = 1; // per notch, as the terminal view scrolls

C_PrivateWindowClass g_windowClass(L"BrannickHex_");

} // namespace

C_HexView::C_HexView(C_ByteJournal& journal)
    : m_journal(journal), m_fontSize(C_PersistedOptions::kDefaultFontSize),
      m_layout(HexRows::LayoutFor(HexRows::COLUMNS_PLAIN, 0)) {
    m_journal.SetWindow(this);
}

C_HexView::~C_HexView() {
    Destroy();
    m_journal.SetWindow(nullptr);
}

// --- creation -------------------------------------------------------------------------------------------------

bool C_HexView::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = OwnerWindowProcedure<C_HexView, &C_HexView::m_window, &C_HexView::HandleMessage>;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    return g_windowClass.Register(windowClass);
}

bool C_HexView::Create(HWND parent, const RECT& rect, UINT controlId, Visibility visibility) {
    if (m_window)
        return false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance))
        return false;
    HWND window = CreateWindowExW(kViewExtendedStyle, g_windowClass.Name(), L"", kViewStyle, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId)), instance, this);
    if (!window)
        return false;
    Show(visibility);
    return true;
}

void C_HexView::Destroy() {
    if (m_window)
        DestroyWindow(m_window);
}

void C_HexView::Show(Visibility visibility) {
    if (!m_window)
        return;
    m_shown = visibility == Visibility::Shown;
    if (m_shown)
        ApplyExtent(IsAtBottom());
    ShowWindow(m_window, visibility == Visibility::Shown ? SW_SHOW : SW_HIDE);
}

void C_HexView::SetFontOptions(const wchar_t* faceName, uint32_t fontSize, uint32_t flags) {
    m_faceName.Assign(faceName ? faceName : L"");
    m_fontSize = fontSize;
    m_fontFlags = flags;
}

void C_HexView::SetTimesShown(bool shown) {
    m_withTimes = shown;
    Refresh();
}

void C_HexView::Clear() {
    EndMouseSelection();
    SetSelection(kNoSelection, kNoSelection);
    m_journal.Clear();
    Refresh();
}

// --- messages -------------------------------------------------------------------------------------------------

LRESULT C_HexView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleWindowMessage(message, wParam, lParam, result) || HandleMouseMessage(message, wParam, lParam, result) ||
        HandleKeyMessage(message, wParam, result))
        return result;
    return DefWindowProcW(m_window, message, wParam, lParam);
}

bool C_HexView::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_CREATE:
        RebuildScrollToEndIcon(Dpi::ForWindow(m_window));
        return true;
    case WM_DESTROY:
        KillTimer(m_window, TIMER_REFRESH);
        m_refreshTimerArmed = false;
        EndMouseSelection();
        return true;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return true;
    case WM_ERASEBKGND:
        result = 1; // the paint covers everything
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_TIMER:
        OnTimer(wParam);
        return true;
    case WM_VSCROLL:
        OnVerticalScroll(LOWORD(wParam));
        return true;
    case kDpiChangedAfterParent:
        CreateFonts();
        return true;
    case WM_JOURNAL_CHANGED:
        OnJournalChanged();
        return true;
    default:
        return false;
    }
}

void C_HexView::OnSize(int width, int height) {
    if (!width || !height || (m_backBuffer && width == m_clientWidth && height == m_clientHeight))
        return;
    const bool follow = IsAtBottom();
    m_clientWidth = width;
    m_clientHeight = height;
    m_scrollToEnd.Place(width, height);
    if (!RecreateBackBuffer(width, height))
        return;
    if (!m_font)
        CreateFonts();
    m_visibleRows = m_rowHeight > 0 ? uint32_t(std::max(0, (height - 2 * kMargin) / m_rowHeight)) : 0;
    ApplyExtent(follow);
}

// --- the journal's notices ---------------------------------------------------------------------------------------

// The recording thread only posts, and only when no notice is waiting: it never waits for the window.
void C_HexView::JournalChanged() {
    HWND window = m_window;
    if (window && !m_changePosted.exchange(true))
        PostMessageW(window, WM_JOURNAL_CHANGED, 0, 0);
}

// At most one refresh per interval: a notice inside it arms the timer, which brings the rest.
void C_HexView::OnJournalChanged() {
    m_changePosted = false;
    if (m_refreshTimerArmed)
        return;
    const DWORD elapsed = GetTickCount() - m_lastRefresh;
    if (elapsed >= kRefreshIntervalMs) {
        Refresh();
        return;
    }
    m_refreshTimerArmed = true;
    SetTimer(m_window, TIMER_REFRESH, kRefreshIntervalMs - elapsed, nullptr);
}

void C_HexView::OnTimer(UINT_PTR timer) {
    if (timer != TIMER_REFRESH)
        return;
    KillTimer(m_window, TIMER_REFRESH);
    m_refreshTimerArmed = false;
    Refresh();
}

void C_HexView::Refresh() {
    m_lastRefresh = GetTickCount();
    ApplyExtent(IsAtBottom());
}

// --- scrolling ------------------------------------------------------------------------------------------------

bool C_HexView::IsAtBottom() const {
    return m_topRow >= LastTopRow();
}

// The top row that shows the last row at the bottom.
uint64_t C_HexView::LastTopRow() const {
    const uint64_t rows = m_extent.endRow - m_extent.firstRow;
    return rows > m_visibleRows ? m_extent.endRow - m_visibleRows : m_extent.firstRow;
}

// Rows the journal dropped take the top row along only when it was among them: what the user looks at stays.
void C_HexView::ApplyExtent(bool follow) {
    m_extent = m_journal.GetExtent();
    m_layout = HexRows::LayoutFor((m_withTimes ? HexRows::COLUMN_TIME : HexRows::COLUMNS_PLAIN) |
                                      (m_extent.hasSent ? HexRows::COLUMN_DIRECTION : HexRows::COLUMNS_PLAIN),
                                  m_extent.largestOffset);
    const uint64_t last = LastTopRow();
    m_topRow = follow ? last : std::min(std::max(m_topRow, m_extent.firstRow), last);
    SetScrollBar();
    if (m_window)
        InvalidateRect(m_window, nullptr, FALSE);
}

void C_HexView::SetScrollBar() {
    if (!m_window)
        return;
    const uint64_t rows = m_extent.endRow - m_extent.firstRow;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = rows ? int(std::min<uint64_t>(rows - 1, INT_MAX)) : 0;
    info.nPage = m_visibleRows;
    info.nPos = int(std::min<uint64_t>(m_topRow - m_extent.firstRow, INT_MAX));
    SetScrollInfo(m_window, SB_VERT, &info, TRUE);
}

void C_HexView::ScrollToRow(uint64_t row) {
    m_topRow = std::min(std::max(row, m_extent.firstRow), LastTopRow());
    SetScrollBar();
    if (m_window)
        InvalidateRect(m_window, nullptr, FALSE);
}

void C_HexView::ScrollToEnd() {
    ApplyExtent(true);
}

void C_HexView::OnVerticalScroll(int code) {
    const uint64_t page = m_visibleRows > 1 ? m_visibleRows - 1 : 1;
    uint64_t row = m_topRow;
    switch (code) {
    case SB_LINEUP:
        row = row > 0 ? row - 1 : 0;
        break;
    case SB_LINEDOWN:
        ++row;
        break;
    case SB_PAGEUP:
        row = row > page ? row - page : 0;
        break;
    case SB_PAGEDOWN:
        row += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The tracking position has 32 bits; the message's own only 16.
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        if (GetScrollInfo(m_window, SB_VERT, &info))
            row = m_extent.firstRow + uint64_t(std::max(0, info.nTrackPos));
        break;
    }
    case SB_TOP:
        row = m_extent.firstRow;
        break;
    case SB_BOTTOM:
        row = LastTopRow();
        break;
    default:
        return;
    }
    ScrollToRow(row);
}

bool C_HexView::HandleMouseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    result = 0;
    switch (message) {
    case WM_MOUSEWHEEL: {
        const int rows = GET_WHEEL_DELTA_WPARAM(wParam) * kWheelRows / WHEEL_DELTA;
        ScrollToRow(rows > 0 ? (m_topRow > uint64_t(rows) ? m_topRow - uint64_t(rows) : 0)
                             : m_topRow + uint64_t(-rows));
        return true;
    }
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return true;
    case WM_SETCURSOR:
        result = TRUE;
        return LOWORD(lParam) == HTCLIENT && OnSetCursor();
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(point);
        return true;
    case WM_LBUTTONUP:
        EndMouseSelection();
        return true;
    case WM_LBUTTONDBLCLK:
        if (!m_clickOnButton)
            SelectRowAt(point);
        return true;
    case WM_CAPTURECHANGED:
        m_selecting = false;
        return true;
    case WM_MOUSEACTIVATE:
        SetFocus(m_window);
        result = MA_ACTIVATE;
        return true;
    default:
        return false;
    }
}
