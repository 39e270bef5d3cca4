#include "TerminalViewFixture.h"

#include "terminal/store/Colour.h"

#include <chrono>

namespace {

constexpr uint32_t kDefaultBackground = Colour::Unpack(Colour::Pack(Colour::kDefaultBackground));
constexpr uint32_t kDefaultForeground = Colour::Unpack(Colour::Pack(Colour::kDefaultForeground));
constexpr uint32_t kViewBackground = 0x001023; // where no cell is painted
constexpr uint32_t kSelectionFill = 0x005AC8;

std::string Lines(int first, int count) {
    std::string text;
    for (int i = first; i < first + count; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    return text;
}

} // namespace

// --- painting ---------------------------------------------------------------------------------------------

TEST_F(TerminalViewTest, PaintsEachCellInItsColoursOnTheGrid) {
    // A full block shows the foreground in the middle of its cell; a blank shows the background. The second
    // line's end marker gets the blue background of its text, yet is not painted.
    Receive("\x1b[38;2;240;128;0m\xe2\x96\x88 \x1b[0m\xe2\x96\x88 "
            "\x1b[38;2;0;200;80;48;2;0;64;192m\xe2\x96\x88 \x1b[0m\r\n"
            "\x1b[48;2;0;64;192mab\r\n\x1b[0m");
    Paint();
    struct Cell {
        int row, column;
        uint32_t colour;
    } expected[] = {
        {0, 0, 0xF08000}, {0, 1, kDefaultBackground}, {0, 2, kDefaultForeground}, {0, 3, kDefaultBackground},
        {0, 4, 0x00C850}, {0, 5, 0x0040C0},           {1, 2, kViewBackground},    {2, 0, kViewBackground},
    };
    for (const Cell& cell : expected)
        EXPECT_EQ(CentreOf(cell.row, cell.column), cell.colour) << "row " << cell.row << ", column " << cell.column;
    EXPECT_EQ(PixelAt(1, 0, 0, 0), 0x0040C0u) << "behind the text: its background";
}

TEST_F(TerminalViewTest, EveryCharacterTakesOneCellWhateverItsOwnWidth) {
    // In a proportional face 'i' is narrow and 'W' wide; the block after three of them still stands in cell 3.
    view.SetFontOptions(L"DejaVu Sans", 200, 0, L"");
    ASSERT_TRUE(view.CreateFonts());
    for (const char* letters : {"iii", "WWW", "XXX"}) {
        view.Clear();
        Receive(std::string("\x1b[38;2;240;128;0m") + letters + "\xe2\x96\x88 \x1b[0m\r\n");
        Paint();
        EXPECT_EQ(CentreOf(0, 3), 0xF08000u) << letters;
        EXPECT_EQ(CentreOf(0, 4), kDefaultBackground) << letters;
    }
}

TEST_F(TerminalViewTest, SelectionMergesItsColourIntoTextAndBackground) {
    Receive("\xe2\x96\x88\xe2\x96\x88  \r\n");
    view.Store().SetSelection(1, 3);
    Paint();
    EXPECT_EQ(CentreOf(0, 0), kDefaultForeground);
    EXPECT_EQ(CentreOf(0, 1), kDefaultForeground | kSelectionFill);
    EXPECT_EQ(CentreOf(0, 2), kDefaultBackground | kSelectionFill);
    EXPECT_EQ(CentreOf(0, 3), kDefaultBackground);
}

TEST_F(TerminalViewTest, LinksAreUnderlined) {
    Receive("see http://example.org/x now\r\n");
    Paint();
    auto underlined = [&](int column) {
        for (int y = view.RowHeight() / 2; y < view.RowHeight(); ++y) {
            bool full = true;
            for (int x = 0; x < view.CharacterWidth() && full; ++x)
                full = PixelAt(0, column, x, y) != kDefaultBackground;
            if (full)
                return true;
        }
        return false;
    };
    EXPECT_FALSE(underlined(1)) << "'e' of see";
    EXPECT_TRUE(underlined(4)) << "'h' of the link";
    EXPECT_TRUE(underlined(20)) << "'.' of the link";
    EXPECT_FALSE(underlined(25)) << "'n' of now";
}

TEST_F(TerminalViewTest, PowerlineGlyphTestAsksTheFaceItself) {
    struct Case {
        const wchar_t* powerLine;
        bool available;
    } cases[] = {{L"\xE0B0", false}, {L">", true}, {L"", true}, {L"=\xE0B0", false}};
    for (const Case& c : cases) {
        view.SetFontOptions(kFace, 200, 0, c.powerLine);
        ASSERT_TRUE(view.CreateFonts());
        EXPECT_EQ(view.PowerLineGlyphsAvailable(), c.available) << testing::PrintToString(std::wstring(c.powerLine));
    }
}

TEST_F(TerminalViewTest, NarrowerWindowRewrapsTheStore) {
    Receive(std::string(100, 'x') + "\r\n");
    EXPECT_EQ(view.Store().RowCount(), 4u); // 40 + 40 + 20 with the end marker, and the empty last line
    ResizeToCells(20, kRows);
    EXPECT_EQ(view.Store().RowCount(), 7u);
}

TEST_F(TerminalViewTest, CaretBlinksByInvertingItsBarOnTheScreenOnly) {
    Receive("ok");
    Paint(); // a paint ends with phase 1
    RECT caret = view.CaretRect();
    ASSERT_FALSE(IsRectEmpty(&caret));
    C_WindowDc screen(view.GetWindow());
    auto screenPixel = [&](int x, int y) {
        COLORREF colour = GetPixel(screen.Get(), x, y);
        return uint32_t(GetRValue(colour)) << 16 | uint32_t(GetGValue(colour)) << 8 | GetBValue(colour);
    };
    const int x = (caret.left + caret.right) / 2;
    const int y = caret.bottom - 1;
    // Gray, then white and light gray, and so on: what the inversions amount to over the cell's background.
    struct Step {
        int phase;
        uint32_t mask;
    } steps[] = {{0, 0x808080}, {2, 0xBFBFBF}, {1, 0x3F3F3F}, {2, 0x000000}, {1, 0x808080}};
    for (const Step& step : steps) {
        if (step.phase)
            view.BlinkCaret(step.phase);
        EXPECT_EQ(screenPixel(x, y), kViewBackground ^ step.mask) << "after phase " << step.phase;
        EXPECT_EQ(screenPixel(x, caret.top - 1), kViewBackground) << "above the bar";
    }
    EXPECT_EQ(CentreOf(0, 2), kViewBackground) << "the back buffer holds no caret";

    // The cursor moves on: the old place shows the new character's cell, clean, after the next paint.
    Receive("!");
    Paint();
    EXPECT_EQ(screenPixel(x, y), kDefaultBackground);
    EXPECT_EQ(screenPixel(x + view.CharacterWidth(), y), kViewBackground ^ 0x808080u);
}

// --- scrolling --------------------------------------------------------------------------------------------

TEST_F(TerminalViewTest, FollowsOutputAtTheBottomAndStaysPutWhenScrolledUp) {
    ReceiveOnReader(Lines(0, 50));
    EXPECT_GT(view.MaximumScrollPosition(), 0);
    EXPECT_TRUE(view.IsAtBottom());

    PostMessageW(view.GetWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, 3 * WHEEL_DELTA), 0);
    PumpPending();
    int scrolled = view.ScrollPosition();
    EXPECT_EQ(scrolled, view.MaximumScrollPosition() - 3 * view.RowHeight());

    ReceiveOnReader(Lines(50, 20));
    EXPECT_EQ(view.ScrollPosition(), scrolled);
    EXPECT_FALSE(view.IsAtBottom());

    // The scroll-to-end icon shows in the lower right corner, and a click on it goes to the end.
    Paint();
    RECT icon = view.ScrollToEndRect();
    bool drawn = false;
    for (int y = icon.top; y < icon.bottom && !drawn; y += 2)
        for (int x = icon.left; x < icon.right && !drawn; x += 2)
            drawn = GetPixel(view.BackBuffer(), x, y) != RGB(0x00, 0x10, 0x20) &&
                    GetPixel(view.BackBuffer(), x, y) != RGB(0x00, 0x10, 0x23);
    EXPECT_TRUE(drawn);
    Mouse(WM_LBUTTONDOWN, {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2}, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2});
    EXPECT_TRUE(view.IsAtBottom());
    int64_t start, end;
    EXPECT_FALSE(view.GetSelection(start, end)) << "the click on the icon starts no selection";

    ReceiveOnReader(Lines(70, 5));
    EXPECT_TRUE(view.IsAtBottom());
}

TEST_F(TerminalViewTest, HostScrollingRightAfterTextArrivedIsNotUndone) {
    // The writer never waits for the window, so its rows are still the window's to take when the host scrolls.
    std::thread reader([&] { Receive(Lines(0, 50)); });
    reader.join();
    view.ScrollTo(0);
    PumpPending();
    EXPECT_EQ(view.ScrollPosition(), 0);
    EXPECT_GT(view.MaximumScrollPosition(), 0);
}

TEST_F(TerminalViewTest, SearchShowsTheFoundRowWithARowToSpare) {
    Receive(Lines(0, 60));
    const int row = view.RowHeight();
    const int client = view.ClientSize().cy;
    struct Step {
        const wchar_t* text;
        int scroll;
    } steps[] = {
        {L"line 3", 3 * row},                          // above: scrolled to its top
        {L"line 5", 3 * row},                          // already in view: stays
        {L"line 55", 55 * row + 2 * row - client + 4}, // below: shown with a row beneath it
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(view.Search(step.text, C_LineStore::SEARCH_FORWARD)) << testing::PrintToString(step.text);
        EXPECT_EQ(view.ScrollPosition(), step.scroll) << testing::PrintToString(step.text);
    }
}

TEST_F(TerminalViewTest, ScrollBarCodesMoveByLinesAndPages) {
    Receive(Lines(0, 60));
    view.ScrollTo(0);
    struct Step {
        WORD code;
        int expected;
    } steps[] = {{SB_LINEDOWN, view.RowHeight()},
                 {SB_PAGEDOWN, view.RowHeight() + view.ClientSize().cy},
                 {SB_LINEUP, view.ClientSize().cy},
                 {SB_PAGEUP, 0},
                 {SB_ENDSCROLL, 0}};
    for (const Step& step : steps) {
        SendMessageW(view.GetWindow(), WM_VSCROLL, MAKEWPARAM(step.code, 0), 0);
        EXPECT_EQ(view.ScrollPosition(), step.expected) << "code " << step.code;
    }
}

TEST_F(TerminalViewTest, DraggedThumbDefersTheRangeUntilLetGo) {
    Receive(Lines(0, 30));
    auto rangeMaximum = [&] {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE;
        GetScrollInfo(view.GetWindow(), SB_VERT, &info);
        return info.nMax;
    };
    int before = rangeMaximum();
    SendMessageW(view.GetWindow(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), 0);
    Receive(Lines(30, 10));
    EXPECT_EQ(rangeMaximum(), before);
    SendMessageW(view.GetWindow(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    EXPECT_EQ(rangeMaximum(), before + 10 * view.RowHeight());
}

TEST_F(TerminalViewTest, ResizingKeepsAFollowingViewAtTheEnd) {
    Receive(Lines(0, 30));
    ASSERT_TRUE(view.IsAtBottom());
    ResizeToCells(kColumns, kRows / 2);
    EXPECT_TRUE(view.IsAtBottom());
    ResizeToCells(8, kRows / 2); // narrower: more wrapped rows
    EXPECT_TRUE(view.IsAtBottom());
}

TEST_F(TerminalViewTest, FilterHidesTheCaretAndNarrowsTheScrollRange) {
    class Contains final : public C_LineFilter {
    public:
        bool LineMatchesFilter(const wchar_t* text, uint32_t length) override {
            return std::wstring(text, length).find(L"7") != std::wstring::npos;
        }
    } filter;
    Receive(Lines(0, 40));
    RECT caret = view.CaretRect();
    EXPECT_EQ(caret.left, C_TerminalView::kMargin);
    EXPECT_EQ(caret.bottom, C_TerminalView::kMargin + 40 * view.RowHeight() - view.ScrollPosition() + view.RowHeight());

    view.SetFilter(&filter);
    view.ApplyFilter(true);
    caret = view.CaretRect();
    EXPECT_TRUE(IsRectEmpty(&caret));
    // line 7, line 17, line 27, line 37 and the open segment.
    EXPECT_EQ(view.MaximumScrollPosition(), std::max<int>(0, 5 * view.RowHeight() + 5 - view.ClientSize().cy));
    view.ApplyFilter(false);
    caret = view.CaretRect();
    EXPECT_FALSE(IsRectEmpty(&caret));
}

// --- mouse and clipboard ----------------------------------------------------------------------------------

TEST_F(TerminalViewTest, DragSelectsAndCopyJoinsLinesWithCrLf) {
    Receive("first line\r\nsecond line\r\n");
    Mouse(WM_LBUTTONDOWN, CellPoint(0, 6), MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, CellPoint(1, 6), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, CellPoint(1, 6));
    int64_t start, end;
    ASSERT_TRUE(view.GetSelection(start, end));
    EXPECT_EQ(start, 6);
    EXPECT_EQ(end, 11 + 6);

    {
        HeldKeys control({VK_CONTROL});
        SendMessageW(view.GetWindow(), WM_CHAR, 3, 0);
    }
    EXPECT_EQ(ClipboardText(), L"line\r\nsecond");
    EXPECT_FALSE(view.GetSelection(start, end)) << "copying removes the selection";
    EXPECT_EQ(sink.sent, L"") << "Ctrl+C with a selection copies and sends nothing";
}

TEST_F(TerminalViewTest, DoubleClickSelectsAWordAndTripleClickTheLine) {
    Receive("xy ab=cd ef\r\nab=cd\r\n");
    auto doubleClick = [&](POINT point) {
        Mouse(WM_LBUTTONDOWN, point, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, point);
        Mouse(WM_LBUTTONDBLCLK, point, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, point);
    };
    doubleClick(CellPoint(0, 6));
    view.CopySelection();
    EXPECT_EQ(ClipboardText(), L"cd");
    // A word at the end of a line takes the line's end with it.
    doubleClick(CellPoint(1, 3));
    int64_t start, end;
    ASSERT_TRUE(view.GetSelection(start, end));
    EXPECT_EQ(start, 12 + 3);
    EXPECT_EQ(end, 12 + 6);
    view.CopySelection();
    EXPECT_EQ(ClipboardText(), L"cd\r\n");

    doubleClick(CellPoint(0, 6));
    Mouse(WM_LBUTTONDOWN, CellPoint(0, 6), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, CellPoint(0, 6));
    ASSERT_TRUE(view.GetSelection(start, end));
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 12); // through the end marker
    view.CopySelection();
    EXPECT_EQ(ClipboardText(), L"xy ab=cd ef\r\n");
}

TEST_F(TerminalViewTest, HitTestClampsToTheRowAndTheLastRow) {
    Receive("abc\r\nde");
    struct Case {
        POINT point;
        uint32_t cell;
    } cases[] = {
        {{0, 0}, 0},          {CellPoint(0, 1), 1},  {CellPoint(0, 30), 4}, // right of "abc": the cell after the row
        {CellPoint(1, 1), 5}, {CellPoint(8, 30), 7},                        // below the last row: the last row
    };
    for (const Case& c : cases)
        EXPECT_EQ(view.HitTest(c.point), c.cell) << c.point.x << "," << c.point.y;
}

TEST_F(TerminalViewTest, ClickOnALinkOpensItWithoutSelecting) {
    Receive("go to https://example.org/a?b=1 now\r\n");
    Mouse(WM_LBUTTONDOWN, CellPoint(0, 10), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, CellPoint(0, 10));
    ASSERT_EQ(links.opened.size(), 1u);
    EXPECT_EQ(links.opened[0], L"https://example.org/a?b=1");
    Mouse(WM_MOUSEMOVE, CellPoint(0, 20));
    int64_t start, end;
    EXPECT_FALSE(view.GetSelection(start, end));

    Mouse(WM_LBUTTONDOWN, CellPoint(0, 1), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, CellPoint(0, 1));
    EXPECT_EQ(links.opened.size(), 1u) << "plain text opens nothing";

    // The hand shows over the link only (the system's own pointer is moved there).
    auto cursorOver = [&](int column) {
        POINT point = CellPoint(0, column);
        ClientToScreen(view.GetWindow(), &point);
        SetCursorPos(point.x, point.y);
        SendMessageW(view.GetWindow(), WM_SETCURSOR, WPARAM(view.GetWindow()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    EXPECT_EQ(cursorOver(10), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(cursorOver(1), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(TerminalViewTest, CopyUnderAFilterTakesOnlyVisibleLines) {
    class Contains final : public C_LineFilter {
    public:
        bool LineMatchesFilter(const wchar_t* text, uint32_t length) override {
            return std::wstring(text, length).find(L"keep") != std::wstring::npos;
        }
    } filter;
    Receive("keep 1\r\ndrop 2\r\nkeep 3\r\n");
    view.SetFilter(&filter);
    view.ApplyFilter(true);
    Mouse(WM_LBUTTONDOWN, CellPoint(0, 0), MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, CellPoint(1, 6), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, CellPoint(1, 6));
    view.CopySelection();
    EXPECT_EQ(ClipboardText(), L"keep 1\r\nkeep 3");
}

TEST_F(TerminalViewTest, BehavesAsADialogControl) {
    EXPECT_EQ(SendMessageW(view.GetWindow(), WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
    SetFocus(parent);
    SendMessageW(view.GetWindow(), WM_MOUSEACTIVATE, WPARAM(parent), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    EXPECT_EQ(GetFocus(), view.GetWindow());
}

// --- repaint throttle -------------------------------------------------------------------------------------

TEST_F(TerminalViewTest, BurstOfFlushesRepaintsAFewTimesAndShowsTheLastText) {
    Paint();
    PumpPending();
    uint32_t paintsBefore = view.PaintCount();
    auto started = std::chrono::steady_clock::now();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < 999; ++i)
            view.Store().AppendText(L"ab", 2); // each a flush of its own
        view.Store().AppendText(L"\x2588", 1);
        done = true;
    });
    bool finished = PumpUntil([&] { return done.load(); }, 60000);
    reader.join();
    ASSERT_TRUE(finished);
    double elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    uint32_t paints = view.PaintCount() - paintsBefore;
    EXPECT_LE(paints, 2 + uint32_t(elapsedMs / C_TerminalView::kRepaintIntervalMs)) << elapsedMs << " ms";

    // The last flush fell inside an interval, and the repaint timer shows it: cell 1,998 is row 49, column 38.
    EXPECT_TRUE(PumpUntil([&] { return CentreOf(49, 38) == kDefaultForeground; }));
}
