#pragma once
// C_HexView: the child window that shows the byte journal as a hex dump, in the place of the terminal view while
// the Hex button is down. It paints only the rows on the screen, formatted from the journal at each paint, in the
// terminal's font; received bytes in the terminal's text colour, sent ones in amber. As the terminal view does, it
// follows new rows while the user is at the bottom (a scroll-to-end icon otherwise), scrolls, selects with the
// mouse (bytes, by their hex pairs or their characters), copies the selected rows as text, searches and saves the
// dump; keys go to the device as in the terminal view.
//
// The journal is filled on the reader thread and tells the view; the view takes note on its own thread, at most
// one message outstanding, and repaints at most every 100 ms, so a fast stream costs the window a few paints a
// second whatever its rate.
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"
#include "platform/window/BackBuffer.h"
#include "terminal/bytes/ByteJournal.h"
#include "terminal/bytes/HexRows.h"
#include "ui/view/TerminalKeys.h"
#include "ui/view/TerminalView.h"
#include "ui/view/ViewWindow.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

class C_EscapeInterpreter;

class C_HexView final : private C_JournalWindow, private C_KeySelection {
public:
    // Posted by whichever thread recorded: the journal changed since the window last looked.
    static constexpr UINT WM_JOURNAL_CHANGED = WM_USER + 1;
    static constexpr UINT_PTR TIMER_REFRESH = 20; // one shot: the throttled refresh
    static constexpr DWORD kRefreshIntervalMs = 100;

    static constexpr COLORREF kBackground = C_TerminalView::kBackground;
    static constexpr COLORREF kReceivedText = RGB(0xD8, 0xE3, 0xEA);
    static constexpr COLORREF kSentText = RGB(0xF0, 0xC7, 0x5E);
    static constexpr COLORREF kMarginText = RGB(0x7F, 0x93, 0xA8); // time, direction and offset
    static constexpr COLORREF kSelection = C_TerminalView::kSelection;
    static constexpr COLORREF kSelectedText = RGB(0xFF, 0xFF, 0xFF);
    static constexpr int kMargin = C_TerminalView::kMargin;

    static constexpr int64_t kNoSelection = -1;

    explicit C_HexView(C_ByteJournal& journal);
    ~C_HexView();
    C_HexView(const C_HexView&) = delete;
    C_HexView& operator=(const C_HexView&) = delete;

    // A child of parent at rect (parent client pixels), hidden or shown as asked. False when it cannot be made.
    enum class Visibility { Hidden, Shown };
    bool Create(HWND parent, const RECT& rect, UINT controlId, Visibility visibility);
    void Destroy();
    HWND GetWindow() const { return m_window; }
    // Showing brings the rows up to date at once.
    void Show(Visibility visibility);
    bool IsShown() const { return m_shown; }

    // Wiring, as for the terminal view; each may be null.
    void SetSendSink(C_SendSink* sink) { m_sink = sink; }
    // What Enter sends ("\r", "\n" or "\r\n"), as in the terminal view; the text must outlive the view.
    void SetEnterText(const wchar_t* text) { m_enterText = text; }
    void SetHost(C_TerminalViewHost* host) { m_host = host; }
    void SetKeyModeSource(const C_EscapeInterpreter* interpreter) { m_keyMode = interpreter; }

    // The terminal's face, size (twentieths of a point) and Flags (FLAG_BOLD); CreateFonts applies them.
    void SetFontOptions(const wchar_t* faceName, uint32_t fontSize, uint32_t flags);
    bool CreateFonts();
    // The time column is shown while the terminal stamps its lines.
    void SetTimesShown(bool shown);
    bool TimesShown() const { return m_withTimes; }

    // Empties the journal (the Clear button).
    void Clear();
    // The search bar's search (C_LineStore::SearchFlags, start a byte number, C_LineStore::kSearchPosition or
    // C_LineStore::kStoreEnd), with its single wrap-around; selects and shows what it finds.
    bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start);
    // The dump as text into a new file; 1 when every write succeeded.
    int SaveDump(const wchar_t* path);

    // Operations behind the messages, public for the host and the tests.
    void Refresh();
    void ScrollToRow(uint64_t row);
    void ScrollToEnd();
    void CopySelection() override;
    void SelectRowAt(POINT point);
    // The byte under a client point: a point left of a row's bytes gives its first, right of them the one after.
    uint64_t HitTest(POINT point);
    // The selected bytes [low, high); false when nothing is selected.
    bool GetSelection(uint64_t& low, uint64_t& high) const;
    void SetSelection(int64_t anchor, int64_t active);

    // What the window shows.
    uint64_t TopRow() const { return m_topRow; }
    // The journal's end as the window last took it.
    uint64_t KnownEndRow() const { return m_extent.endRow; }
    uint32_t VisibleRows() const { return m_visibleRows; }
    bool IsAtBottom() const;
    const HexRows::Layout& Layout() const { return m_layout; }
    int CharacterWidth() const { return m_characterWidth; }
    int RowHeight() const { return m_rowHeight; }
    HDC BackBuffer() const { return m_backBuffer.Get(); }
    RECT ScrollToEndRect() const { return m_scrollToEnd.Rect(); }
    uint32_t PaintCount() const { return m_paintCount; }

private:
    // C_JournalWindow: any thread.
    void JournalChanged() override;

    static bool RegisterWindowClass(HINSTANCE instance);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool HandleMouseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool HandleKeyMessage(UINT message, WPARAM wParam, LRESULT& result);

    // Window and scrolling (HexView.cpp).
    void OnSize(int width, int height);
    void OnJournalChanged();
    void OnTimer(UINT_PTR timer);
    void OnVerticalScroll(int code);
    void ApplyExtent(bool follow);
    void SetScrollBar();
    uint64_t LastTopRow() const;

    // Drawing (HexViewPaint.cpp).
    bool RecreateBackBuffer(int width, int height);
    void RebuildScrollToEndIcon(UINT dpi);
    void OnPaint();
    void RenderBackBuffer();
    void PaintRow(const C_ByteJournal::Row& row, int top);
    void PaintSelected(const C_ByteJournal::Row& row, const wchar_t* text, int top);
    void DrawText(const wchar_t* text, uint32_t from, uint32_t to, int top, COLORREF colour, COLORREF background);

    // Mouse and keys (HexViewInput.cpp).
    void OnLeftButtonDown(POINT point);
    void OnMouseMove(POINT point);
    void EndMouseSelection();
    bool OnSetCursor();
    bool IsOverScrollToEnd(POINT point) const;
    bool Perform(const TerminalKeys::Result& key);
    bool HasSelection() override;
    bool CursorKeyApplicationMode() const;

    C_ByteJournal& m_journal;
    HWND m_window = nullptr;
    bool m_shown = false;
    C_SendSink* m_sink = nullptr;
    C_TerminalViewHost* m_host = nullptr;
    const wchar_t* m_enterText = L"\r";
    const C_EscapeInterpreter* m_keyMode = nullptr;

    C_String m_faceName;
    uint32_t m_fontSize;
    uint32_t m_fontFlags = 0;
    C_Font m_font;
    int m_characterWidth = 0;
    int m_rowHeight = 0;
    bool m_withTimes = false;
    HexRows::Layout m_layout;

    // Back buffer, declared after the font so it is deleted first and releases it.
    C_BackBuffer m_backBuffer;
    int m_clientWidth = 0;
    int m_clientHeight = 0;

    // What the journal held when the window last looked, and the rows shown from it.
    C_ByteJournal::Extent m_extent{};
    uint64_t m_topRow = 0;
    uint32_t m_visibleRows = 0; // whole rows that fit
    std::vector<C_ByteJournal::Row> m_frame;

    int64_t m_anchor = kNoSelection; // bytes; the selection is [min, max) of the two
    int64_t m_active = kNoSelection;
    bool m_selecting = false;
    bool m_clickOnButton = false;
    uint64_t m_searchPosition = 0; // one past the start of the last match

    C_ScrollToEndIcon m_scrollToEnd;

    std::atomic<bool> m_changePosted{false};
    bool m_refreshTimerArmed = false;
    DWORD m_lastRefresh = 0;
    uint32_t m_paintCount = 0;
};
