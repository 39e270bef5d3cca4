// Find and Search over the store: direction, case, the single wrap-around, selection and search position.
#include "terminal/TerminalHarness.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kForward = C_LineStore::SEARCH_FORWARD;
constexpr uint32_t kBackward = C_LineStore::SEARCH_BACKWARD;
constexpr uint32_t kMatchCase = C_LineStore::SEARCH_MATCH_CASE;
constexpr uint32_t kIncremental = C_LineStore::SEARCH_INCREMENTAL;

struct SearchTerminal : TerminalHarness {
    SearchTerminal() { Receive("alpha Beta\ngamma beta\ndelta BETA\n"); }
    int64_t SelectionStart() {
        int64_t start, end;
        return store.GetSelection(start, end) ? start : -1;
    }
};

// Cells: "alpha Beta" 0-9, marker 10; "gamma beta" 11-20, marker 21; "delta BETA" 22-31, marker 32.
constexpr int64_t kFirst = 6, kSecond = 17, kThird = 28;

} // namespace

TEST(Search, ForwardFindsEachOccurrenceInTurnAndWrapsOnce) {
    SearchTerminal t;
    EXPECT_TRUE(t.store.Search(L"beta", kForward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kFirst);
    EXPECT_TRUE(t.store.Search(L"beta", kForward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kSecond);
    EXPECT_TRUE(t.store.Search(L"beta", kForward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kThird);
    EXPECT_TRUE(t.store.Search(L"beta", kForward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kFirst); // round to the start of the store
    int64_t start, end;
    ASSERT_TRUE(t.store.GetSelection(start, end));
    EXPECT_EQ(end, kFirst + 4);
    EXPECT_EQ(t.store.GetSearchPosition(), uint32_t(kFirst + 1));
}

TEST(Search, IncrementalSearchStaysOnTheCurrentMatch) {
    SearchTerminal t;
    t.store.Search(L"b", kIncremental, C_LineStore::kSearchPosition);
    EXPECT_EQ(t.SelectionStart(), kFirst);
    t.store.Search(L"be", kIncremental, C_LineStore::kSearchPosition);
    EXPECT_EQ(t.SelectionStart(), kFirst);
}

TEST(Search, CaseSensitiveSkipsOtherCasesInBothDirections) {
    SearchTerminal t;
    EXPECT_TRUE(t.store.Search(L"BETA", kForward | kMatchCase, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kThird);
    EXPECT_TRUE(t.store.Search(L"Beta", kBackward | kMatchCase, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kFirst);
    EXPECT_TRUE(t.store.Search(L"Beta", kBackward | kMatchCase, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kFirst); // wrapped to the end and came back to the only match
}

TEST(Search, BackwardFromTheEndAndAroundOnce) {
    SearchTerminal t;
    EXPECT_TRUE(t.store.Search(L"beta", kBackward, C_LineStore::kStoreEnd));
    EXPECT_EQ(t.SelectionStart(), kThird);
    EXPECT_TRUE(t.store.Search(L"beta", kBackward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kSecond);
    EXPECT_TRUE(t.store.Search(L"beta", kBackward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kFirst);
    EXPECT_TRUE(t.store.Search(L"beta", kBackward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), kThird);
}

TEST(Search, FailedSearchClearsSelectionAndPosition) {
    SearchTerminal t;
    t.store.Search(L"gamma", kForward, C_LineStore::kSearchPosition);
    EXPECT_EQ(t.SelectionStart(), 11);
    EXPECT_FALSE(t.store.Search(L"epsilon", kForward, C_LineStore::kSearchPosition));
    EXPECT_EQ(t.SelectionStart(), -1);
    EXPECT_EQ(t.store.GetSearchPosition(), 0u);
    EXPECT_FALSE(t.store.Search(L"", kForward, C_LineStore::kSearchPosition));
}

TEST(Search, NoMatchAcrossALineEndAndStartsBeyondTheStoreCountAsZero) {
    SearchTerminal t;
    EXPECT_FALSE(t.store.Find(L"Betagamma", kForward, 0));
    EXPECT_TRUE(t.store.Find(L"alpha", kForward, 5000));
    EXPECT_EQ(t.SelectionStart(), 0);
}

TEST(Search, FoundRowIsBroughtIntoView) {
    SearchTerminal t;
    t.store.SetWrapWidth(4);
    t.window.events.clear();
    t.store.Find(L"delta", kForward, 0);
    EXPECT_TRUE(t.window.Saw("show row 6")); // rows: alph|a Be|ta., gamm|a be|ta., delt|...
}

TEST(Search, ClearEndsSelectionAndResetsThePosition) {
    SearchTerminal t;
    t.store.Find(L"delta", kForward, 0);
    t.store.Clear();
    EXPECT_EQ(t.SelectionStart(), -1);
    EXPECT_EQ(t.store.GetSearchPosition(), 0u);
}
