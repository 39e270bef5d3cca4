// The filter's pieces and what it shows of the store.
#include "terminal/TerminalHarness.h"

#include "terminal/store/Filter.h"

#include <gtest/gtest.h>

namespace {

bool Shows(const wchar_t* filterText, const wchar_t* line) {
    C_FilterText filter;
    filter.SetText(filterText);
    return filter.LineMatchesFilter(line, uint32_t(wcslen(line)));
}

} // namespace

TEST(FilterPieces, IncludeExcludeAndCase) {
    EXPECT_TRUE(Shows(L"error", L"an ERROR here"));
    EXPECT_FALSE(Shows(L"error", L"all fine"));
    EXPECT_TRUE(Shows(L"error,warn", L"a Warning"));
    EXPECT_FALSE(Shows(L"-debug", L"DEBUG: x"));
    EXPECT_TRUE(Shows(L"-debug", L"info"));
    EXPECT_TRUE(Shows(L"error,-timeout", L"error: bad crc"));
    EXPECT_FALSE(Shows(L"error,-timeout", L"error: Timeout"));
    EXPECT_FALSE(Shows(L"error,-timeout", L"timeout"));
    EXPECT_TRUE(Shows(L"\u043e\u0448\u0438\u0431\u043a\u0430", L"\u041e\u0428\u0418\u0411\u041a\u0410!")); // Cyrillic
}

TEST(FilterPieces, QuotesSpacesMinusAndEmptyPieces) {
    EXPECT_TRUE(Shows(L"\"a,b\"", L"x a,b y"));
    EXPECT_FALSE(Shows(L"\"a,b\"", L"a b"));
    EXPECT_FALSE(Shows(L"error, warn", L"warn")); // the second pattern is " warn"
    EXPECT_TRUE(Shows(L"error, warn", L"a warn"));
    EXPECT_TRUE(Shows(L"-", L"anything"));
    EXPECT_TRUE(Shows(L",,error,,", L"error"));
    EXPECT_FALSE(Shows(L",,error,,", L"other"));
    EXPECT_TRUE(Shows(L"", L"anything"));
    EXPECT_TRUE(Shows(L"\"x\\\"y\"", L"x\\\"y")); // a quote after a backslash does not end the piece
}

TEST(FilterStore, ApplyingAFilterRefiltersStoredLinesAndClearingShowsAllAtTheEnd) {
    TerminalHarness t;
    C_FilterText filter;
    t.store.SetFilter(&filter);
    t.Receive("boot ok\nerror 1\ndebug error\nfine\n");
    t.Receive("\x1b[2A"); // the cursor somewhere above
    filter.SetText(L"error,-debug");
    t.window.events.clear();
    ApplyFilter(t.store, filter);
    EXPECT_TRUE(t.store.IsFilterActive());
    EXPECT_TRUE(t.window.Saw("rows+end"));
    auto segments = t.Segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(t.store.Cells()[segments[0].start], L'e');
    EXPECT_EQ(segments[0].count, 8u);
    // Lines arriving now are stored whole, hidden or not, and only matching ones become visible.
    t.Receive("another error\nnoise\n");
    EXPECT_EQ(t.store.LineCount(), 7u);
    EXPECT_EQ(t.Segments().size(), 3u);
    EXPECT_TRUE(t.window.Saw("hidden"));
    // Clearing the filter shows every line, also those received while hidden, with the cursor at the end.
    filter.SetText(L"");
    ApplyFilter(t.store, filter);
    EXPECT_FALSE(t.store.IsFilterActive());
    EXPECT_EQ(t.store.RowCount(), 7u);
    C_LineStore::Position cursor = t.store.GetCursor();
    EXPECT_EQ(cursor.row, 6);
    EXPECT_EQ(cursor.column, 0);
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
}

TEST(FilterStore, ApplyingAFilterDropsTheSelection) {
    TerminalHarness t;
    C_FilterText filter;
    t.store.SetFilter(&filter);
    t.Receive("abc\n");
    t.store.SetSelection(0, 2);
    filter.SetText(L"b");
    ApplyFilter(t.store, filter);
    int64_t start, end;
    EXPECT_FALSE(t.store.GetSelection(start, end));
}
