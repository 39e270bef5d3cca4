#pragma once
// C_TerminalView: the child window that shows the line store. It paints the wrapped rows in a fixed-pitch font
// with per-cell colours through a back buffer, blinks an underline caret at the terminal cursor, follows new
// output while the user is at the bottom, selects with the mouse, copies, opens detected links and turns
// keystrokes into the text sent to the device. It shows a line store that it owns, or one it is given (a port
// session's); the receive assembly writes into the store on the reader thread, and the view answers the store's
// notifications (C_StoreWindow) on its own thread. A store shows in one view at a time: the view is its window.
//
// The view runs inside any parent window: the main window hosts it, and so do the preview program, the
// benchmark and the tests. What it needs of its surroundings comes through three small seams: where typed text
// goes (C_SendSink), what the host does for it (C_TerminalViewHost) and how a link is opened (C_LinkOpener).
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"
#include "platform/window/BackBuffer.h"
#include "terminal/export/TextEncoding.h"
#include "terminal/store/LineStore.h"
#include "ui/view/TerminalKeys.h"
#include "ui/view/ViewKeys.h"
#include "ui/view/ViewWindow.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <cstdint>
#include <vector>

namespace TerminalText {
struct Range;
}

class C_EscapeInterpreter;
class C_TimeStamps;

// Where keys typed into the view go: the connection's SendText in the program, a recorder in tests.
class C_SendSink {
public:
    virtual void SendText(const wchar_t* text) = 0;
    // The clipboard's text for Ctrl+V and Shift+Insert: the program asks before a large paste goes out.
    virtual void SendPastedText(const wchar_t* text) { SendText(text); }
    // Ctrl+Break: a break on the line, where the connection has one.
    virtual void SendBreak() {}

protected:
    ~C_SendSink() = default;
};

// What the view asks of the window that hosts it.
class C_TerminalViewHost {
public:
    // Ctrl+F and F3 open or close the search bar.
    virtual void ToggleSearchBar() = 0;
    // Ctrl+Shift+S opens or closes the send bar; Ctrl+Shift+O sends a file.
    virtual void ToggleSendBar() = 0;
    virtual void ChooseFileToSend() = 0;
    // Ctrl+Shift+H switches between the terminal view and the hex view; a host without one ignores it.
    virtual void ToggleHexView() {}
    // A received line was hidden by the filter. Called on the reader thread.
    virtual void NoteActivity() = 0;

protected:
    ~C_TerminalViewHost() = default;
};

// Opens the text of a clicked link. The program hands it to the system's URL protocol handler; tests record.
class C_LinkOpener {
public:
    virtual void OpenLink(const wchar_t* link) = 0;

protected:
    ~C_LinkOpener() = default;
};

class C_TerminalView final : private C_StoreWindow, private C_KeySelection {
public:
    // Posted by the store's writer thread, at most one at a time, when text arrived within the repaint interval:
    // the window starts the repaint timer (only its own thread can). The rows the writer added or dropped are left
    // for the window and taken before its next message; a writer that flushes at every colour change must never
    // wait for the window.
    static constexpr UINT WM_STORE_CHANGED = WM_USER + 1;
    // Sent by another thread: a row must be brought into view (lParam the row).
    static constexpr UINT WM_STORE_SHOW_ROW = WM_USER + 2;

    static constexpr UINT_PTR TIMER_CARET = 1;       // periodic: caret phase 1
    static constexpr UINT_PTR TIMER_CARET_PHASE = 2; // one shot: caret phase 2
    static constexpr UINT_PTR TIMER_REPAINT = 5;     // one shot: the throttled repaint
    static constexpr UINT kCaretIntervalMs = 750;
    static constexpr UINT kCaretPhaseMs = 100;
    static constexpr DWORD kRepaintIntervalMs = 100;

    static constexpr COLORREF kBackground = RGB(0x00, 0x10, 0x23);
    static constexpr COLORREF kSelection = RGB(0x00, 0x5A, 0xC8);
    static constexpr int kMargin = 2;           // pixels around the rows
    static constexpr int kScrollRangeExtra = 5; // pixels below the last row
    // Where the main window puts the view, in its dialog units.
    static constexpr RECT kDialogUnitRect = {4, 22, 4 + 517, 22 + 206};

    enum class Follow { Keep, Tail };
    enum class ExportFormat { Text, Html };

    // A view with a store of its own.
    C_TerminalView();
    // A view of store, which must outlive the view; nothing may write into it while the view is made or goes.
    explicit C_TerminalView(C_LineStore& store);
    ~C_TerminalView();
    C_TerminalView(const C_TerminalView&) = delete;
    C_TerminalView& operator=(const C_TerminalView&) = delete;

    // Creates the window as a visible child of parent at rect (parent client pixels) and shows it. The
    // window class is registered at the first creation. False when the window cannot be made.
    bool Create(HWND parent, const RECT& rect, UINT controlId = 0);
    // The same at kDialogUnitRect of a dialog (the dialog lays it out afterwards).
    bool CreateInDialog(HWND dialog, UINT controlId = 0);
    void Destroy();
    HWND GetWindow() const { return m_window; }
    void Focus();

    // Wiring; each may be null (keys are then dropped, the search keys do nothing, links do not open).
    void SetSendSink(C_SendSink* sink) { m_sink = sink; }
    void SetHost(C_TerminalViewHost* host) { m_host = host; }
    void SetLinkOpener(C_LinkOpener* opener) { m_linkOpener = opener; }
    // The filter the store asks while a filter is active.
    void SetFilter(C_LineFilter* filter) { m_store.SetFilter(filter); }
    // Where the cursor-key mode is read (ESC [ ? 1 h): the receive assembly's interpreter.
    void SetKeyModeSource(const C_EscapeInterpreter* interpreter) { m_keyMode = interpreter; }
    // Told whether the font can draw the powerline text whenever the fonts are made.
    void SetTimeStamps(C_TimeStamps* stamps) { m_stamps = stamps; }
    // What Enter sends: "\r", "\n" or "\r\n"; a static text.
    void SetEnterText(const wchar_t* text) { m_enterText = text; }

    // Fonts: the face, the size in twentieths of a point, the Flags option (FLAG_BOLD) and the powerline text.
    // CreateFonts applies them (the main window calls it after the options changed), rewraps the store to the new
    // character width and repaints.
    void SetFontOptions(const wchar_t* faceName, uint32_t fontSize, uint32_t flags, const wchar_t* powerLine);
    bool CreateFonts();
    bool PowerLineGlyphsAvailable() const { return m_powerLineAvailable; }

    // The store and its lock, for the receive assembly and for readers that hold the lock across reads.
    C_LineStore& Store() { return m_store; }
    C_CriticalSection& StoreLock() { return m_store.Lock(); }
    // Empties the store (the Clear button); a mouse selection under way ends.
    void Clear();
    // 1 when every write succeeded (Save); text in the encoding, HTML always ASCII.
    int Export(const wchar_t* path, ExportFormat format, TextFileEncoding encoding = TextFileEncoding::AnsiCodePage);
    // After the filter text changed: filterSet is whether the text is not empty.
    void ApplyFilter(bool filterSet);
    // The search bar's search with its single wrap-around; start is a cell, C_LineStore::kSearchPosition or
    // C_LineStore::kStoreEnd; searchFlags are C_LineStore::SearchFlags. Selects and shows what it finds.
    bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start = C_LineStore::kSearchPosition);

    // Operations behind the messages, public for the hosts and the tests.
    void UpdateScrollRange(Follow follow);
    void ScrollTo(int position);
    void UpdateCaret();
    void BlinkCaret(int phase);
    // The cell under a client point: a point below the last row gives the last row, one right of a row's text
    // the cell just after the row.
    uint32_t HitTest(POINT point);
    void CopySelection() override;
    void SelectWord(POINT point);
    void SelectLine(POINT point);
    void SelectAround(POINT point, TerminalText::Range (*around)(const C_LineStore&, uint32_t));
    bool GetSelection(int64_t& start, int64_t& end) { return m_store.GetSelection(start, end); }
    void OpenLink(uint32_t cell);

    // What the window shows, for the hosts and the tests. Rows the writer added count from the window's next
    // message on (or the next ScrollTo).
    int ScrollPosition() const { return m_scrollPosition; }
    int MaximumScrollPosition() const { return m_maximumScroll; }
    bool IsAtBottom() const { return m_scrollPosition == m_maximumScroll; }
    int CharacterWidth() const { return m_characterWidth; }
    int RowHeight() const { return m_rowHeight; }
    SIZE ClientSize() const { return {m_clientWidth, m_clientHeight}; }
    // The back buffer after the last paint (32 bits per pixel, client size).
    HDC BackBuffer() const { return m_backBuffer.Get(); }
    // The caret cell's underline in client pixels; empty when no caret is shown.
    RECT CaretRect() const;
    RECT ScrollToEndRect() const { return m_scrollToEnd.Rect(); }
    // Paints handled since creation.
    uint32_t PaintCount() const { return m_paintCount; }

private:
    enum class ScrollBarPart { PageAndPosition, All };

    // C_StoreWindow: called on the store writer's thread or on the window's own.
    void RowsChanged(Scroll scroll) override;
    void CaretMoved() override;
    void RepaintWanted(bool throttled) override;
    void HiddenLineReceived() override;
    void BringRowIntoView(int row) override;
    void LinesDropped(const Dropped& dropped) override;

    static bool RegisterWindowClass(HINSTANCE instance);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Each group handles its messages and returns true, with the result set; false leaves the message to the
    // next group and finally to the default procedure.
    bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool HandleMouseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool HandleKeyMessage(UINT message, WPARAM wParam, LRESULT& result);
    bool OnWindowThread() const { return GetCurrentThreadId() == m_windowThread; }

    // Message handlers.
    void OnCreate();
    void OnDestroy();
    void OnSize(int width, int height);
    void OnPaint();
    void OnTimer(UINT_PTR timer);
    void OnVerticalScroll(int code, int messagePosition);
    void OnMouseWheel(int delta);
    void OnMouseMove(POINT point);
    void OnLeftButtonDown(POINT point, LONG messageTime);
    void OnLeftButtonUp();
    void OnLeftButtonDoubleClick(POINT point, LONG messageTime);
    bool OnSetCursor();
    void OnChar(wchar_t character);
    bool OnKeyDown(UINT key, TerminalKeys::KeyMessage message);
    void OnFontsChanged();
    void OnRowsChanged(Scroll scroll);
    void OnLinesDropped(uint32_t rows);
    void ApplyPendingStoreChanges();
    void OnRepaintTimer();

    // Drawing.
    void InvalidateAll();
    void ApplyLayout(Follow follow);
    bool TakeFrame();
    void RenderBackBuffer();
    void PaintRow(const wchar_t* cells, const Attribute* attributes, uint32_t count, RECT area);
    void InvertCaret(HDC dc, int stockBrush, COLORREF colour);
    void EraseDrawnCaret(HDC dc);
    bool RecreateBackBuffer(int width, int height);
    void SetScrollBar(ScrollBarPart part);

    // Mouse, keys and clipboard.
    void EndMouseSelection();
    bool Perform(const TerminalKeys::Result& key);
    bool CursorKeyApplicationMode() const;
    bool HasSelection() override;
    bool IsOverLink(POINT point);
    bool IsOverScrollToEnd(POINT point) const;

    // Rows as painted: display rows, or visible segments while a filter is active (the caller holds the lock).
    uint32_t VisibleRowCount() const;
    C_LineStore::Segment VisibleRow(uint32_t row) const;

    std::unique_ptr<C_LineStore> m_ownStore; // the store of a view made without one
    C_LineStore& m_store;
    HWND m_window = nullptr;
    DWORD m_windowThread = 0;
    C_SendSink* m_sink = nullptr;
    C_TerminalViewHost* m_host = nullptr;
    C_LinkOpener* m_linkOpener;
    const C_EscapeInterpreter* m_keyMode = nullptr;
    C_TimeStamps* m_stamps = nullptr;
    const wchar_t* m_enterText = L"\r";

    // Fonts and their options.
    C_String m_faceName;
    uint32_t m_fontSize;
    uint32_t m_fontFlags = 0;
    C_String m_powerLine;
    C_Font m_normalFont;
    C_Font m_linkFont;
    HFONT m_currentFont = nullptr; // selected into the back buffer during a paint
    bool m_powerLineAvailable = true;
    int m_characterWidth = 0;
    int m_rowHeight = 0;
    std::vector<INT> m_advances; // one character width per cell, for placing text on the grid
    // Per UTF-16 unit: whether the font draws it itself, one cell wide (kAdvanceUnknown until first asked). A run
    // of such characters lands on the grid by itself, and text placed character by character costs the system
    // much more (Wine: about twice as much).
    enum : uint8_t { kAdvanceUnknown, kAdvanceOnGrid, kAdvanceOffGrid };
    std::vector<uint8_t> m_advanceKinds;
    bool RunIsOnGrid(const wchar_t* cells, uint32_t count);

    // The rows of the paint under way, copied out of the store.
    struct FrameRow {
        uint32_t start;      // first cell in the store
        uint32_t count;      // cells
        uint32_t frameIndex; // first cell in the copies below
        int top;             // client y
    };
    std::vector<FrameRow> m_frameRows;
    std::vector<wchar_t> m_frameCells;
    std::vector<Attribute> m_frameAttributes;
    bool m_frameSelected = false;
    struct {
        int64_t start, end; // low and high
    } m_frameSelection{};

    // Back buffer. Declared after the fonts and its bitmap, so it is deleted first and releases them.
    C_BackBuffer m_backBuffer;
    int m_clientWidth = 0;
    int m_clientHeight = 0;

    // Scrolling, in pixels.
    int m_scrollPosition = 0;
    int m_maximumScroll = 0;
    int m_rangeMaximum = 0;
    int m_paintedScroll = -1; // the position the screen shows; a paint at another one redraws everything
    bool m_thumbTracking = false;
    bool m_rangeUpdateDeferred = false;

    // Caret: where the terminal cursor is, and where (and how) it is inverted on the screen right now.
    POINT m_caret{kMargin, kMargin};
    bool m_caretPlaced = false;
    RECT m_drawnCaret{};
    COLORREF m_drawnCaretMask = 0; // what the inversions so far amount to: 0 when the screen is clean

    // Mouse.
    bool m_selecting = false;
    bool m_clickOnButton = false;
    bool m_clickOnLink = false;
    RECT m_doubleClickRect{};
    LONG m_lastDoubleClickTime = 0;

    C_ScrollToEndIcon m_scrollToEnd;

    // What the store's writer thread left for the window's thread: rows it dropped, and the strongest scroll
    // request (a C_StoreWindow::Scroll, kNoScrollRequest for none).
    static constexpr int kNoScrollRequest = -1;
    std::atomic<uint32_t> m_pendingDroppedRows{0};
    std::atomic<int> m_pendingScroll{kNoScrollRequest};

    // Repaint throttle, shared with the store writer's thread.
    std::atomic<DWORD> m_lastRepaint{0};
    std::atomic<bool> m_repaintTimerArmed{false};
    std::atomic<bool> m_repaintPending{false}; // a throttled change has not been invalidated yet
    uint32_t m_paintCount = 0;
};
