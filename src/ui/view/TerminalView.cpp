// The terminal view's window: class registration, creation, the message dispatch and the line store's
// notifications. Painting is in TerminalViewPaint.cpp, scrolling, mouse and keys in TerminalViewInput.cpp.
#include "ui/view/TerminalView.h"

#include "foundation/settings/Options.h"
#include "terminal/export/StoreExport.h"
#include "platform/window/Dpi.h"
#include "platform/system/UrlProtocolHandler.h"
#include "platform/system/WindowProcedure.h"

#include <algorithm>
#include <windowsx.h>

namespace {

constexpr UINT kDpiChangedAfterParent = 0x02E3; // WM_DPICHANGED_AFTERPARENT, Windows 10 and later
constexpr DWORD kViewStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kViewExtendedStyle = WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY;

C_PrivateWindowClass g_windowClass(L"Brannick_");

// The program's way of opening a link; tests give the view a recorder instead.
class C_SystemLinkOpener final : public C_LinkOpener {
public:
    void OpenLink(const wchar_t* link) override { UrlProtocolHandler::Open(link); }
};
C_SystemLinkOpener g_systemLinkOpener;

} // namespace

C_TerminalView::C_TerminalView() : C_TerminalView(*new C_LineStore) {
    m_ownStore.reset(&m_store);
}

C_TerminalView::C_TerminalView(C_LineStore& store)
    : m_store(store), m_linkOpener(&g_systemLinkOpener), m_fontSize(C_PersistedOptions::kDefaultFontSize) {
    m_powerLine.Assign(C_PersistedOptions::kDefaultPowerLine);
    m_store.SetWindow(this);
}

C_TerminalView::~C_TerminalView() {
    Destroy();
    m_store.SetWindow(nullptr);
}

// --- creation ---------------------------------------------------------------------------------------------

bool C_TerminalView::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc =
        OwnerWindowProcedure<C_TerminalView, &C_TerminalView::m_window, &C_TerminalView::HandleMessage>;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    return g_windowClass.Register(windowClass);
}

bool C_TerminalView::Create(HWND parent, const RECT& rect, UINT controlId) {
    if (m_window)
        return false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance))
        return false;
    // The window belongs to the thread that creates it.
    m_windowThread = GetCurrentThreadId();
    HWND window = CreateWindowExW(kViewExtendedStyle, g_windowClass.Name(), L"", kViewStyle, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId)), instance, this);
    if (!window)
        return false;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return true;
}

bool C_TerminalView::CreateInDialog(HWND dialog, UINT controlId) {
    RECT rect = kDialogUnitRect;
    MapDialogRect(dialog, &rect);
    return Create(dialog, rect, controlId);
}

void C_TerminalView::Destroy() {
    if (m_window)
        DestroyWindow(m_window);
}

void C_TerminalView::Focus() {
    if (m_window)
        SetFocus(m_window);
}

void C_TerminalView::SetFontOptions(const wchar_t* faceName, uint32_t fontSize, uint32_t flags,
                                    const wchar_t* powerLine) {
    m_faceName.Assign(faceName ? faceName : L"");
    m_fontSize = fontSize;
    m_fontFlags = flags;
    m_powerLine.Assign(powerLine ? powerLine : L"");
}

int C_TerminalView::Export(const wchar_t* path, ExportFormat format, TextFileEncoding encoding) {
    return StoreExport::WriteFile(m_store, path, format == ExportFormat::Html, encoding);
}

bool C_TerminalView::Search(const wchar_t* text, uint32_t searchFlags, int64_t start) {
    return m_store.Search(text, searchFlags, start);
}

void C_TerminalView::Clear() {
    EndMouseSelection();
    m_lastDoubleClickTime = 0;
    m_store.Clear();
}

void C_TerminalView::ApplyFilter(bool filterSet) {
    EndMouseSelection();
    m_store.ApplyFilter(filterSet);
}

// --- messages ---------------------------------------------------------------------------------------------

LRESULT C_TerminalView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Whatever the message, it sees the rows the writer thread has added or dropped so far.
    ApplyPendingStoreChanges();
    LRESULT result = 0;
    if (HandleWindowMessage(message, wParam, lParam, result) || HandleMouseMessage(message, wParam, lParam, result) ||
        HandleKeyMessage(message, wParam, result))
        return result;
    return DefWindowProcW(m_window, message, wParam, lParam);
}

// Life, size, painting, timers and the store's notices. False for a message it leaves to the others.
bool C_TerminalView::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return true;
    case WM_DESTROY:
        OnDestroy();
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
        OnVerticalScroll(LOWORD(wParam), HIWORD(wParam));
        return true;
    case kDpiChangedAfterParent:
        OnFontsChanged();
        return true;
    case WM_STORE_CHANGED:
        SetTimer(m_window, TIMER_REPAINT, kRepaintIntervalMs, nullptr);
        result = 1;
        return true;
    case WM_STORE_SHOW_ROW:
        BringRowIntoView(int(lParam));
        return true;
    default:
        return false;
    }
}

bool C_TerminalView::HandleMouseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    result = 0;
    switch (message) {
    case WM_MOUSEWHEEL:
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return true;
    case WM_SETCURSOR:
        result = TRUE;
        return LOWORD(lParam) == HTCLIENT && OnSetCursor();
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(point, GetMessageTime());
        return true;
    case WM_LBUTTONUP:
        OnLeftButtonUp();
        return true;
    case WM_LBUTTONDBLCLK:
        OnLeftButtonDoubleClick(point, GetMessageTime());
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

bool C_TerminalView::HandleKeyMessage(UINT message, WPARAM wParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_GETDLGCODE:
        result = DLGC_WANTALLKEYS;
        return true;
    case WM_CHAR:
        OnChar(wchar_t(wParam));
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return OnKeyDown(UINT(wParam), message == WM_SYSKEYDOWN ? TerminalKeys::KeyMessage::SystemKeyDown
                                                                : TerminalKeys::KeyMessage::KeyDown);
    default:
        return false;
    }
}

void C_TerminalView::OnCreate() {
    SetTimer(m_window, TIMER_CARET, kCaretIntervalMs, nullptr);
    m_scrollToEnd.Load(Dpi::ForWindow(m_window));
}

void C_TerminalView::OnDestroy() {
    KillTimer(m_window, TIMER_CARET);
    KillTimer(m_window, TIMER_CARET_PHASE);
    KillTimer(m_window, TIMER_REPAINT);
    m_repaintTimerArmed = false;
    EndMouseSelection();
}

void C_TerminalView::OnTimer(UINT_PTR timer) {
    switch (timer) {
    case TIMER_CARET:
        BlinkCaret(1);
        break;
    case TIMER_CARET_PHASE:
        KillTimer(m_window, TIMER_CARET_PHASE);
        BlinkCaret(2);
        break;
    case TIMER_REPAINT:
        OnRepaintTimer();
        break;
    default:
        break;
    }
}

// --- the store's notifications ----------------------------------------------------------------------------

// The store calls these on the reader thread while text arrives, and on this window's thread for the user's
// own actions. Whatever touches the window's state is done on its thread: what the writer changed is left for it
// and taken before the window's next message, which the throttled repaint brings at the latest; a search's row is
// sent, as the search waits for it.

void C_TerminalView::RowsChanged(Scroll scroll) {
    HWND window = m_window;
    if (!window)
        return;
    if (OnWindowThread()) {
        ApplyPendingStoreChanges();
        OnRowsChanged(scroll);
        return;
    }
    int wanted = int(scroll);
    int pending = m_pendingScroll.load();
    while (pending < wanted && !m_pendingScroll.compare_exchange_weak(pending, wanted)) {
    }
    RepaintWanted(true);
}

// A RowsChanged always follows.
void C_TerminalView::LinesDropped(const Dropped& dropped) {
    if (m_window && OnWindowThread())
        OnLinesDropped(dropped.rows);
    else
        m_pendingDroppedRows += dropped.rows;
}

void C_TerminalView::ApplyPendingStoreChanges() {
    if (!m_pendingDroppedRows.load() && m_pendingScroll.load() == kNoScrollRequest)
        return;
    // Left for a later message while the writer holds the store.
    C_TryLock lock(m_store.Lock());
    if (!lock)
        return;
    if (uint32_t rows = m_pendingDroppedRows.exchange(0))
        OnLinesDropped(rows);
    int scroll = m_pendingScroll.exchange(kNoScrollRequest);
    if (scroll != kNoScrollRequest)
        OnRowsChanged(Scroll(scroll));
}

void C_TerminalView::OnRowsChanged(Scroll scroll) {
    bool follow = scroll == Scroll::ToEnd || (scroll == Scroll::FollowIfAtEnd && IsAtBottom());
    UpdateScrollRange(follow ? Follow::Tail : Follow::Keep);
}

// The text on the screen moved up by the dropped rows; the view moves with it, so what the user looks at stays
// put. A view at the bottom stays there, and goes on following.
void C_TerminalView::OnLinesDropped(uint32_t rows) {
    int64_t shift = int64_t(rows) * m_rowHeight;
    m_scrollPosition = int(std::max<int64_t>(0, m_scrollPosition - shift));
    m_maximumScroll = int(std::max<int64_t>(0, m_maximumScroll - shift));
    m_paintedScroll = -1;
}

void C_TerminalView::CaretMoved() {
    // The caret is placed anew before each blink and paint; on this thread it moves at once.
    if (m_window && OnWindowThread())
        UpdateCaret();
}

void C_TerminalView::HiddenLineReceived() {
    if (m_host)
        m_host->NoteActivity();
}

void C_TerminalView::BringRowIntoView(int row) {
    HWND window = m_window;
    if (!window || row < 0)
        return;
    if (!OnWindowThread()) {
        SendMessageW(window, WM_STORE_SHOW_ROW, 0, row);
        return;
    }
    int y = row * m_rowHeight;
    if (y < m_scrollPosition)
        ScrollTo(y);
    else if (y - m_scrollPosition > m_clientHeight - 2 * m_rowHeight - 4)
        ScrollTo(y + 2 * m_rowHeight - m_clientHeight + 4);
}

// --- repaint throttle -------------------------------------------------------------------------------------

// Received text asks for a repaint with every flush, up to fifty times a second; the window is repainted at most
// once per interval. A request inside the interval starts the repaint timer, which shows it when the interval is
// over, so the last text of a burst is never left unshown.

void C_TerminalView::RepaintWanted(bool throttled) {
    HWND window = m_window;
    if (!window)
        return;
    if (!throttled) {
        InvalidateAll();
        return;
    }
    DWORD now = GetTickCount();
    if (now - m_lastRepaint.load() > kRepaintIntervalMs) {
        InvalidateAll();
        return;
    }
    m_repaintPending = true;
    if (!m_repaintTimerArmed.exchange(true)) {
        if (OnWindowThread())
            SetTimer(window, TIMER_REPAINT, kRepaintIntervalMs, nullptr);
        else
            PostMessageW(window, WM_STORE_CHANGED, 0, 0);
    }
}

void C_TerminalView::OnRepaintTimer() {
    KillTimer(m_window, TIMER_REPAINT);
    // Cleared before the pending flag is taken: a request made meanwhile either is seen below or arms anew.
    m_repaintTimerArmed = false;
    if (!m_repaintPending.exchange(false))
        return;
    DWORD elapsed = GetTickCount() - m_lastRepaint.load();
    if (elapsed > kRepaintIntervalMs) {
        InvalidateAll();
        return;
    }
    // Another repaint came in between: wait for the rest of its interval.
    m_repaintPending = true;
    m_repaintTimerArmed = true;
    SetTimer(m_window, TIMER_REPAINT, kRepaintIntervalMs - elapsed + 1, nullptr);
}

void C_TerminalView::InvalidateAll() {
    HWND window = m_window;
    if (!window)
        return;
    m_lastRepaint = GetTickCount();
    m_repaintPending = false;
    InvalidateRect(window, nullptr, FALSE);
}
