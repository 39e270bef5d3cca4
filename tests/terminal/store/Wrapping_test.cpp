// Display rows, their rebuilding, and the visible segments of a filter.
#include "terminal/TerminalHarness.h"

#include <gtest/gtest.h>

using Rows = std::vector<uint32_t>;

TEST(Wrapping, AppendedLineIsCutAtTheWrapWidth) {
    TerminalHarness t;
    t.store.SetWrapWidth(4);
    t.Receive("abcdefghij");
    EXPECT_EQ(t.RowLengths(), (Rows{4, 4, 3}));
    t.Receive("\nabcd");
    EXPECT_EQ(t.RowLengths(), (Rows{4, 4, 3, 4, 1})); // the end marker goes to a row of its own
    t.store.Rewrap();
    EXPECT_EQ(t.RowLengths(), (Rows{4, 4, 3, 4, 1}));
}

TEST(Wrapping, RewrapFollowsANewWidth) {
    TerminalHarness t;
    t.Receive("abcdefghij\n\nxy");
    t.store.SetWrapWidth(3);
    EXPECT_EQ(t.RowLengths(), (Rows{3, 3, 3, 2, 1, 3}));
    EXPECT_EQ(t.store.RowOfIndex(0), 0);
    EXPECT_EQ(t.store.RowOfIndex(10), 3);
    EXPECT_EQ(t.store.RowOfIndex(11), 4);
    EXPECT_EQ(t.store.RowOfIndex(15), -1);
    t.store.SetWrapWidth(80);
    EXPECT_EQ(t.RowLengths(), (Rows{11, 1, 3}));
}

TEST(Wrapping, WidthBelowOneCellStillEnds) {
    TerminalHarness t;
    t.Receive("ab\nc");
    t.store.SetWrapWidth(0);
    EXPECT_EQ(t.RowLengths(), (Rows{1, 1, 1, 1, 1}));
    t.store.SetWrapWidth(-7);
    t.Receive("d");
    EXPECT_EQ(t.RowLengths(), (Rows{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(C_LineStore::WrapWidthFor(100, 0), 0);
    EXPECT_EQ(C_LineStore::WrapWidthFor(804, 8), 100);
}

TEST(Wrapping, LengtheningAnEarlierLineRewrapsTheRowsAfterIt) {
    TerminalHarness t;
    t.store.SetWrapWidth(4);
    t.Receive("ab\ncd\nef");
    t.Receive("\x1b[2A\x1b[2C123");
    EXPECT_EQ(t.Text(), L"ab  123|cd|ef|");
    EXPECT_EQ(t.RowLengths(), (Rows{4, 4, 3, 3}));
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
}

TEST(Wrapping, FilterShowsOnlyMatchingLinesButStoresAll) {
    TerminalHarness t;
    ContainsFilter filter;
    filter.needle = L"err";
    t.store.SetFilter(&filter);
    t.Receive("ok 1\nerr 2\n");
    t.store.SetFilterActive(true);
    EXPECT_EQ(t.Segments().size(), 2u);
    EXPECT_EQ(t.Segments()[0].start, 5u);
    EXPECT_EQ(t.Segments()[0].count, 6u);
    t.Receive("ok 3\nerr 4\n");
    EXPECT_EQ(t.store.LineCount(), 5u);
    auto segments = t.Segments();
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[1].start, 16u);
    EXPECT_EQ(segments[1].count, 6u);
    EXPECT_EQ(segments[2].count, 0u);
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
    // Leaving filter mode shows every row again.
    t.store.SetFilterActive(false);
    EXPECT_EQ(t.RowLengths(), (Rows{5, 6, 5, 6, 1}));
}

TEST(Wrapping, FilterSegmentsWrapLikeRows) {
    TerminalHarness t;
    ContainsFilter filter;
    t.store.SetFilter(&filter);
    t.store.SetWrapWidth(4);
    t.store.SetFilterActive(true);
    t.Receive("abcdefghij\n");
    auto appended = t.Segments();
    t.store.Rewrap();
    auto rebuilt = t.Segments();
    ASSERT_EQ(appended.size(), rebuilt.size());
    for (size_t i = 0; i < appended.size(); ++i) {
        EXPECT_EQ(appended[i].start, rebuilt[i].start) << i;
        EXPECT_EQ(appended[i].count, rebuilt[i].count) << i;
    }
    EXPECT_EQ(appended.size(), 4u); // 4 + 4 + 3 cells, then the open segment
}

// With a filter that shows empty text (only exclusions), the last line while still empty must not get a
// segment of its own: the next text would appear once in it and once in its own segment.
TEST(Wrapping, EmptyLastLineIsNotAVisibleRowOfItsOwn) {
    TerminalHarness t;
    ContainsFilter filter; // shows everything, like a filter of only exclusions
    t.store.SetFilter(&filter);
    t.Receive("one\n");
    t.store.SetFilterActive(true);
    t.Receive("two\n");
    auto segments = t.Segments();
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0].start, 0u);
    EXPECT_EQ(segments[0].count, 4u);
    EXPECT_EQ(segments[1].start, 4u);
    EXPECT_EQ(segments[1].count, 4u);
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
}
