// The store's capacity: fed far more than it holds, it keeps the newest whole lines with everything that
// points into them, and clears itself only when nothing else is left.
#include "terminal/TerminalHarness.h"

#include "support/FailingAllocator.h"
#include "terminal/receive/Palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr uint32_t kCapacity = 2000;

// "line N" in a colour of its own, so a line that lost or swapped its colours shows.
std::string NumberedLine(unsigned n) {
    return "\x1b[3" + std::to_string(1 + n % 7) + "mline " + std::to_string(n) + "\r\n";
}

unsigned NumberOf(const std::wstring& line) {
    return unsigned(std::stoul(line.substr(5)));
}

struct Feeding {
    const char* name;
    int wrapWidth;
    const wchar_t* filter; // null: no filter
    bool oneBlock;         // everything in one block (a flush far longer than a drop)
};

class CapacityFeeding : public testing::TestWithParam<Feeding> {};

} // namespace

TEST_P(CapacityFeeding, KeepsExactlyTheNewestLinesInOrderWithTheirColours) {
    const Feeding& feeding = GetParam();
    TerminalHarness t;
    ContainsFilter filter;
    filter.record = false;
    t.store.SetCapacity(kCapacity);
    t.store.SetWrapWidth(feeding.wrapWidth);
    if (feeding.filter) {
        filter.needle = feeding.filter;
        t.store.SetFilter(&filter);
        t.store.SetFilterActive(true);
    }
    constexpr unsigned kLines = 5000;
    std::string all;
    for (unsigned n = 0; n < kLines; ++n) {
        if (feeding.oneBlock)
            all += NumberedLine(n);
        else
            t.Receive(NumberedLine(n));
    }
    if (feeding.oneBlock)
        t.Receive(all);

    ASSERT_EQ(CheckStoreInvariants(t.store), "");
    EXPECT_LE(t.store.CellCount(), kCapacity);
    std::vector<std::wstring> lines = t.Lines();
    ASSERT_GT(lines.size(), 100u);
    EXPECT_EQ(lines.back(), L"");
    C_LineStore::DropTotals dropped = t.store.GetDropTotals();
    EXPECT_EQ(dropped.clears, 0u);
    EXPECT_FALSE(dropped.firstLineCut);
    EXPECT_EQ(NumberOf(lines[0]), dropped.lines) << "the first kept line follows the dropped ones";
    for (uint32_t i = 0; i + 1 < lines.size(); ++i) {
        unsigned n = NumberOf(lines[i]);
        ASSERT_EQ(n, NumberOf(lines[0]) + i) << lines[i];
        Rgb expected = Stored(PaletteColour(31 + n % 7, false));
        ASSERT_EQ(t.ForegroundAt(i, 0), expected) << lines[i];
    }
    EXPECT_EQ(NumberOf(lines[lines.size() - 2]), kLines - 1);
    EXPECT_TRUE(t.window.droppedCells > 0);
}

INSTANTIATE_TEST_SUITE_P(Store, CapacityFeeding,
                         testing::Values(Feeding{"Wide", 80, nullptr, false}, Feeding{"Wrapped", 4, nullptr, false},
                                         Feeding{"OneLongFlush", 80, nullptr, true},
                                         Feeding{"Filtered", 7, L"line 1", false}),
                         [](const testing::TestParamInfo<Feeding>& info) { return std::string(info.param.name); });

TEST(Capacity, TheWindowHearsOfDropsBeforeTheRowsChange) {
    TerminalHarness t;
    t.store.SetCapacity(kCapacity);
    for (unsigned n = 0; n < 400 && !t.window.droppedCells; ++n)
        t.Receive(NumberedLine(n));
    ASSERT_GT(t.window.droppedCells, 0u);
    auto dropped = std::find_if(t.window.events.begin(), t.window.events.end(),
                                [](const std::string& e) { return e.rfind("dropped ", 0) == 0; });
    ASSERT_NE(dropped, t.window.events.end());
    EXPECT_EQ(*(dropped + 1), "rows+follow");
    // A tenth of the capacity goes at once, rounded up to whole lines.
    EXPECT_GE(t.window.droppedCells, kCapacity / C_LineStore::kDropDivisor);
    EXPECT_LT(t.window.droppedCells, kCapacity / C_LineStore::kDropDivisor + 20);
}

// Positions into the store move with the cells; those that pointed into dropped lines are clamped.
TEST(Capacity, CursorSelectionAndSearchFollowTheCells) {
    TerminalHarness t;
    t.store.SetCapacity(kCapacity);
    t.Receive("\x1b[2Jfirst screen\r\n");
    unsigned n = 0;
    for (; n < 150; ++n)
        t.Receive(NumberedLine(n));
    ASSERT_TRUE(t.store.Find(L"line 149", C_LineStore::SEARCH_MATCH_CASE, 0));
    int64_t start, end;
    ASSERT_TRUE(t.store.GetSelection(start, end));
    uint64_t droppedBefore = t.store.GetDropTotals().cells;
    for (; t.store.GetDropTotals().cells == droppedBefore; ++n)
        t.Receive(NumberedLine(n));
    int64_t movedStart, movedEnd;
    ASSERT_TRUE(t.store.GetSelection(movedStart, movedEnd));
    int64_t moved = int64_t(t.store.GetDropTotals().cells - droppedBefore);
    EXPECT_EQ(movedStart, start - moved);
    EXPECT_EQ(movedEnd, end - moved);
    EXPECT_EQ(t.store.GetSearchPosition(), uint32_t(start - moved + 1));
    {
        C_Lock lock(t.store.Lock());
        EXPECT_EQ(std::wstring(t.store.Cells() + movedStart, size_t(movedEnd - movedStart)), L"line 149");
    }

    // The origin's line is long gone: addressing the screen lands in the first stored line at worst.
    for (; n < 2000; ++n)
        t.Receive(NumberedLine(n));
    t.Receive("\x1b[H<home>\x1b[3;4H<3;4>\x1b[99999A<up>\x1b[5d<row 5>\x1b[1P\x1b[2K\x1b[10;2000H<far>");
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
    EXPECT_FALSE(t.store.GetSelection(start, end)) << "the selected line was dropped";
    EXPECT_NE(t.Text().find(L"<far>"), std::wstring::npos);
}

TEST(Capacity, ScreenAddressingKeepsItsRowsWhileTheOriginIsStillStored) {
    TerminalHarness t;
    t.store.SetCapacity(kCapacity);
    for (unsigned n = 0; n < 150; ++n)
        t.Receive(NumberedLine(n));
    t.Receive("\x1b[2J");
    for (unsigned n = 0; n < 5; ++n)
        t.Receive("screen row " + std::to_string(n) + "\r\n");
    C_LineStore::Position origin = t.assembly.Interpreter().GetScreenOrigin();
    uint64_t droppedBefore = t.store.DroppedLines();
    for (unsigned n = 0; n < 100 && t.store.DroppedLines() == droppedBefore; ++n)
        t.Receive(NumberedLine(n));
    uint64_t dropped = t.store.DroppedLines() - droppedBefore;
    ASSERT_GT(dropped, 0u);
    ASSERT_LT(dropped, uint64_t(origin.row));
    t.Receive("\x1b[3;1Hthird");
    EXPECT_EQ(t.Line(uint32_t(origin.row - int(dropped) + 2)), L"thirdn row 2");
    EXPECT_EQ(t.assembly.Interpreter().GetScreenOrigin().row, origin.row - int(dropped));
}

// A line longer than the capacity is cut at a row boundary and keeps its newest part.
TEST(Capacity, AnOverlongLineLosesItsBeginningAtARowBoundary) {
    TerminalHarness t;
    t.store.SetCapacity(kCapacity);
    t.store.SetWrapWidth(10);
    std::string digits;
    for (int i = 0; i < 5000; ++i)
        digits += char('0' + i % 10);
    for (size_t at = 0; at < digits.size(); at += 700)
        t.Receive(digits.substr(at, 700));
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
    ASSERT_EQ(t.Lines().size(), 1u);
    std::wstring kept = t.Line(0);
    EXPECT_LE(kept.size(), kCapacity);
    EXPECT_EQ(kept.front(), L'0') << "cut where a row begins";
    EXPECT_EQ(std::wstring(digits.end() - kept.size(), digits.end()), kept);
    EXPECT_TRUE(t.store.GetDropTotals().firstLineCut);
    EXPECT_EQ(t.store.GetCursor().column, int(kept.size()));
    t.Receive("\r\nnext");
    EXPECT_EQ(t.Lines().size(), 2u);
}

// Memory that cannot be had is a reason to drop lines, not to clear the store; only when nothing at all can
// be had does the store start again, and it recovers afterwards.
TEST(Capacity, MemoryShortageDropsLinesAndClearsOnlyAsTheLastResort) {
    TerminalHarness t;
    unsigned n = 0;
    {
        FailingAllocator noMoreThan(2 * C_ReservedBuffer<Attribute>::kCommitStep);
        for (; t.store.GetDropTotals().lines == 0 && n < 200000; ++n)
            t.Receive(NumberedLine(n));
        for (unsigned more = 0; more < 1000; ++more, ++n)
            t.Receive(NumberedLine(n));
    }
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
    EXPECT_EQ(t.store.GetDropTotals().clears, 0u);
    std::vector<std::wstring> lines = t.Lines();
    EXPECT_EQ(NumberOf(lines[lines.size() - 2]), n - 1);
    EXPECT_EQ(NumberOf(lines[0]), t.store.GetDropTotals().lines);

    // A view narrowed to one column needs a row per cell; without memory for them, older lines go.
    TerminalHarness narrow;
    narrow.store.SetCapacity(20000);
    for (n = 0; narrow.store.CellCount() < 19000; ++n)
        narrow.Receive(NumberedLine(n));
    {
        FailingAllocator rowsShort(64 * 1024);
        narrow.store.SetWrapWidth(1);
    }
    EXPECT_EQ(CheckStoreInvariants(narrow.store), "");
    EXPECT_EQ(narrow.store.GetDropTotals().clears, 0u);
    EXPECT_LT(narrow.store.RowCount(), 16u * 1024);
    lines = narrow.Lines();
    EXPECT_EQ(NumberOf(lines[lines.size() - 2]), n - 1);

    TerminalHarness fresh;
    {
        FailingAllocator failAll(0);
        fresh.store.Clear();
        fresh.Receive("lost\n");
        fresh.store.SetCursor(3, 3);
        fresh.store.Rewrap();
    }
    fresh.Receive("back");
    EXPECT_EQ(fresh.Lines(), std::vector<std::wstring>{L"back"});
    EXPECT_EQ(CheckStoreInvariants(fresh.store), "");
}
