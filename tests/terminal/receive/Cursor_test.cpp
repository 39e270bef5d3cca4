// Cursor movement, the screen origin, erasing and deleting.
#include "terminal/TerminalHarness.h"

#include <gtest/gtest.h>

namespace {

C_LineStore::Position CursorAfter(TerminalHarness& t, const std::string& bytes) {
    t.Receive(bytes);
    return t.store.GetCursor();
}

void ExpectCursor(C_LineStore::Position p, int column, int row) {
    EXPECT_EQ(p.column, column);
    EXPECT_EQ(p.row, row);
}

} // namespace

TEST(Cursor, AbsolutePositioningNeedsTheOriginOfAnEraseDisplay) {
    TerminalHarness t;
    ExpectCursor(CursorAfter(t, "ab\x1b[3;5H"), 2, 0);
    ExpectCursor(CursorAfter(t, "\x1b[2J"), 0, 1);
    EXPECT_EQ(t.Text(), L"ab||");
    ExpectCursor(CursorAfter(t, "\x1b[H"), 0, 1);
    ExpectCursor(CursorAfter(t, "\x1b[3;5H"), 4, 3);
    ExpectCursor(CursorAfter(t, "\x1b[2;3f"), 2, 2);
    ExpectCursor(CursorAfter(t, "\x1b[4d"), 0, 4);
    ExpectCursor(CursorAfter(t, "\x1b[;7H"), 6, 1);
    ExpectCursor(CursorAfter(t, "\x1b[2H"), 0, 2);
    ExpectCursor(CursorAfter(t, "\x1b[3;H"), 0, 3);
}

TEST(Cursor, PositionWithOnlyASemicolonHasNoEffect) {
    TerminalHarness t;
    t.Receive("\x1b[2J\x1b[3;4H");
    t.Receive("x\x1b[;H");
    EXPECT_EQ(t.Line(3), L"   x");
    ExpectCursor(t.store.GetCursor(), 4, 3);
}

TEST(Cursor, SetCursorPadsLinesAndColumns) {
    TerminalHarness t;
    t.store.SetCursor(10, 0);
    EXPECT_EQ(t.Line(0), std::wstring(10, L' '));
    ExpectCursor(t.store.GetCursor(), 10, 0);
    t.store.SetCursor(2, 3);
    EXPECT_EQ(t.Lines().size(), 4u);
    EXPECT_EQ(t.Line(3), L"  ");
}

TEST(Cursor, RelativeMovesFromTheOrigin) {
    TerminalHarness t;
    t.Receive("\x1b[2J\x1b[3;3H");
    ExpectCursor(CursorAfter(t, "\x1b[A"), 2, 2);
    ExpectCursor(CursorAfter(t, "\x1b[2B"), 2, 4);
    ExpectCursor(CursorAfter(t, "\x1b[3C"), 5, 4);
    ExpectCursor(CursorAfter(t, "\x1b[2D"), 3, 4);
    ExpectCursor(CursorAfter(t, "\x1b[0A"), 3, 4); // 0 is used as 0
}

// Moves that would end before row or column 0 stop there; the first row and column can be reached.
TEST(Cursor, MovesBeforeTheStartStayInsideTheStore) {
    TerminalHarness t;
    t.Receive("abc\ndef");
    ExpectCursor(CursorAfter(t, "\x1b[A"), 3, 0);
    ExpectCursor(CursorAfter(t, "\x1b[9A"), 3, 0);
    ExpectCursor(CursorAfter(t, "\x1b[2D"), 1, 0);
    ExpectCursor(CursorAfter(t, "\x1b[D"), 0, 0);
    ExpectCursor(CursorAfter(t, "\x1b[4000000000D"), 0, 0);
    t.Receive("\x1b[2J\x1b[0;0H"); // row and column 0 lie one before the origin (0, 2)
    ExpectCursor(t.store.GetCursor(), 0, 1);
    ExpectCursor(CursorAfter(t, "\x1b[0d"), 0, 1);
    EXPECT_EQ(t.Text(), L"abc|def||");
}

// A far-away cursor move is stopped after a bounded number of new lines or blanks.
TEST(Cursor, HugeMovesAreBounded) {
    TerminalHarness t;
    t.Receive("\x1b[2J\x1b[4000000000;1H");
    EXPECT_LE(t.store.LineCount(), 2u + C_LineStore::kMaxCursorGrowth);
    t.Receive("\x1b[1;4000000000H");
    EXPECT_LE(t.store.CellCount(), 4u * C_LineStore::kMaxCursorGrowth);
    t.Receive("\x1b[4000000000B\x1b[4000000000C");
    EXPECT_LE(t.store.CellCount(), 8u * C_LineStore::kMaxCursorGrowth);
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
    // A screen-sized move is not affected.
    TerminalHarness screen;
    screen.Receive("\x1b[2J\x1b[999;999Hx");
    EXPECT_EQ(screen.store.LineCount(), 2u + 998u);
    EXPECT_EQ(screen.Lines().back(), std::wstring(998, L' ') + L"x");
    // Nor does a move reach further up than a screen of kMaxCursorReach lines above the last.
    TerminalHarness tall;
    std::string lines;
    for (int i = 0; i < 3000; ++i)
        lines += "l\n";
    tall.Receive(lines);
    ExpectCursor(CursorAfter(tall, "\x1b[99999A"), 0, 3000 - C_LineStore::kMaxCursorReach);
}

TEST(Cursor, WritingOverAnEarlierLineOverwritesAndLengthens) {
    TerminalHarness t;
    t.Receive("abc\ndefg\nlast");
    t.Receive("\x1b[2A\x1b[4D");
    ExpectCursor(t.store.GetCursor(), 0, 0);
    t.Receive("XY");
    EXPECT_EQ(t.Text(), L"XYc |defg|last|"); // moving up into the shorter line padded it
    t.Receive("\x1b[C1234");
    EXPECT_EQ(t.Text(), L"XYc1234|defg|last|");
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
}

TEST(Cursor, LineFeedOnAnEarlierLineMovesDownWithoutAddingLines) {
    TerminalHarness t;
    t.Receive("one\ntwo\nthree");
    t.Receive("\x1b[2A\rX");
    EXPECT_EQ(t.Text(), L"one  |Xwo|three|");
}

TEST(Cursor, BackspaceMovesLeftAndStopsAtColumnZero) {
    TerminalHarness t;
    t.Receive("ab\b\bX\b\b\bY");
    EXPECT_EQ(t.Text(), L"Yb|");
}

TEST(Cursor, ReverseIndexWithCarriageReturnMovesUpWithoutFlushing) {
    TerminalHarness t;
    t.Receive("one\ntwo");
    t.Block("ab\x1bM\r");
    t.Receive("");
    // "ab" was still pending when the cursor moved, so it lands on the line above.
    EXPECT_EQ(t.Text(), L"oneab|two|");
}

TEST(Erase, EraseInLineModesKeepColoursAndTheEndMarker) {
    TerminalHarness t;
    t.Receive("\x1b[31mabcdef\x1b[3D\x1b[K");
    EXPECT_EQ(t.Line(0), L"abc   ");
    EXPECT_EQ(t.ForegroundAt(0, 4), Stored(0xE7132C));
    t.Receive("\x1b[D\x1b[1K");
    EXPECT_EQ(t.Line(0), L"      ");
    t.Receive("XYZ\x1b[2K");
    EXPECT_EQ(t.Line(0), L"      ");
    t.Receive("\x1b[4K\x1b[6C\x1b[1K");
    EXPECT_EQ(t.Lines().size(), 1u);
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
}

TEST(Erase, EraseFromStartOnTheEndMarkerLeavesItInPlace) {
    TerminalHarness t;
    t.Receive("abc\x1b[1K");
    EXPECT_EQ(t.Line(0), L"   ");
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
}

TEST(Erase, DeleteCharsShiftsLeftAndFillsWithBlanksInCurrentColours) {
    TerminalHarness t;
    t.Receive("abcdef\x1b[4D\x1b[2P");
    EXPECT_EQ(t.Line(0), L"abef  ");
    t.Receive("\x1b[44m\x1b[99P");
    EXPECT_EQ(t.Line(0), L"ab    ");
    EXPECT_EQ(t.BackgroundAt(0, 5), Stored(0x0037DA));
    t.Receive("\x1b[0P");
    EXPECT_EQ(t.Line(0), L"ab    ");
}

TEST(Erase, EraseDisplayStartsANewScreenBelowAndKeepsPendingTextInPlace) {
    TerminalHarness t;
    t.Receive("one\ntwo\n\x1b[2J");
    EXPECT_EQ(t.Text(), L"one|two|||");
    t.Receive("\x1b[1;1Htop\x1b[2J");
    EXPECT_EQ(t.Text(), L"one|two||top||");
    // Text still pending when the screen is erased lands where it was received, not after the erase.
    TerminalHarness u;
    u.Receive("x\ny\x1b[2J\x1b[3;1H\x1b[1;1H");
    u.Block("AB\x1b[2J");
    u.Receive("");
    EXPECT_EQ(u.Text(), L"x|y|AB||||");
}
