// The text an expect searches: found whatever windows it is searched in, consumed up to each match, bounded.
#include "velto-cli/run/ReceivedText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr size_t kWindow = C_ExpectText::kWindow;

struct SearchCase {
    const char* what;
    std::wstring text;
    size_t from;
    const wchar_t* pattern;
    bool found;
    size_t begin;
};

TEST(ExpectText, MatchesAreFoundAcrossWindowsAndAnchorsHoldOnlyWhereTheTextDoes) {
    const std::wstring filler(kWindow, L'.');
    const SearchCase cases[] = {
        {"a match across the first window's edge", filler.substr(0, kWindow - 2) + L"login:", 0, L"login:", true,
         kWindow - 2},
        {"a match deep in a long text", filler + filler + L"\n# ", 0, L"^# $", true, 2 * kWindow + 1},
        {"a window's edge is no line end", filler.substr(0, kWindow - 1) + L"ab", 0, L"a$", false, 0},
        {"nor a word's end", filler.substr(0, kWindow - 1) + L"ab", 0, L"a\\b", false, 0},
        {"the real end is both", filler + L"ab", 0, L"b$", true, kWindow + 1},
        {"a search from a line start sees it", L"xx\nlogin", 3, L"^login", true, 3},
        {"a search from within a line sees that too", L"xxlogin", 2, L"^login", false, 0},
        {"nothing before from is found", L"login login", 1, L"login", true, 6},
    };
    for (const SearchCase& test : cases) {
        const std::wregex pattern(test.pattern, std::regex_constants::ECMAScript | std::regex_constants::multiline);
        size_t begin = 0, end = 0;
        EXPECT_EQ(C_ExpectText::Search(pattern, test.text, test.from, begin, end), test.found) << test.what;
        if (test.found)
            EXPECT_EQ(begin, test.begin) << test.what;
    }
}

TEST(ExpectText, AMatchConsumesTheTextUpToItsEndAndANewPatternSearchesTheRestAgain) {
    C_ExpectText text;
    text.Append(L"login: root\n");
    EXPECT_EQ(text.SearchFrom(), 0u);
    text.Searched(12);
    EXPECT_FALSE(text.HasUnsearched());
    text.Append(L"Password: ");
    EXPECT_TRUE(text.HasUnsearched());
    EXPECT_EQ(text.SearchFrom(), 0u) << "a match may begin in the text searched before";

    text.Consume(6);
    EXPECT_EQ(text.Text(), L" root\nPassword: ");
    EXPECT_TRUE(text.HasUnsearched());
    text.Searched(text.Text().size());
    text.BeginPattern();
    EXPECT_TRUE(text.HasUnsearched()) << "the next expect's pattern has not seen this text";
}

TEST(ExpectText, OnlyTheOverlapIsSearchedAgainAndAFloodKeepsTheNewestText) {
    C_ExpectText text;
    text.Append(std::wstring(3 * C_ExpectText::kMaxMatchLength, L'a'));
    text.Searched(text.Text().size());
    EXPECT_EQ(text.SearchFrom(), 2 * C_ExpectText::kMaxMatchLength);

    text.Append(std::wstring(C_ExpectText::kMaxHeld, L'b') + L"end");
    EXPECT_LE(text.Text().size(), C_ExpectText::kMaxHeld);
    EXPECT_EQ(text.Text().substr(text.Text().size() - 4), L"bend");
    EXPECT_EQ(text.SearchFrom(), 0u) << "what was searched was dropped, so everything held is new";
    EXPECT_EQ(text.Text().find(L'a'), std::wstring::npos);
}

TEST(ReceivedText, ArrivalsSignalMoveOverOnceAndTheTailKeepsTheLast300Characters) {
    C_ReceivedText received;
    EXPECT_EQ(WaitForSingleObject(received.Arrived(), 0), DWORD(WAIT_TIMEOUT));
    const std::wstring first(250, L'x'), second = L"0123456789" + std::wstring(90, L'y');
    received.AppendToLog(first.data(), uint32_t(first.size()));
    received.AppendToLog(second.data(), uint32_t(second.size()));
    EXPECT_EQ(WaitForSingleObject(received.Arrived(), 0), DWORD(WAIT_OBJECT_0));

    C_ExpectText text;
    received.MoveInto(text);
    received.MoveInto(text);
    EXPECT_EQ(text.Text(), first + second);
    EXPECT_EQ(received.Tail(), std::wstring(200, L'x') + second);
    text.Consume(text.Text().size());
    EXPECT_EQ(received.Tail().size(), C_ReceivedText::kTailLength) << "a match does not shorten the tail";
}

} // namespace
