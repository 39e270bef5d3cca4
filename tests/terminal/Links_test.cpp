// Link detection while text is stored.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

namespace {

// One character per cell of the first line: 'L' for a link cell, '.' otherwise.
std::string LinkMap(TerminalHarness& t, uint32_t line = 0) {
    std::string map;
    std::wstring text = t.Line(line);
    for (uint32_t i = 0; i < text.size(); ++i)
        map += Colour::IsLink(t.AttributeAt(line, i)) ? 'L' : '.';
    return map;
}

} // namespace

TEST(Links, SchemeColonSlashDotIsALink) {
    TerminalHarness t;
    t.Receive("see http://example.com/x?a=1 now");
    EXPECT_EQ(LinkMap(t), "...." + std::string(24, 'L') + "....");
}

TEST(Links, IncompleteFormsAreNotLinks) {
    for (const char* text : {"time 12:30 ok", "a:b ok", "c:\\dir ok", "http:x.y ok", "www.example.com"}) {
        TerminalHarness t;
        t.Receive(text);
        EXPECT_EQ(LinkMap(t).find('L'), std::string::npos) << text;
    }
}

TEST(Links, EqualsOrQuoteBeforeCompletionRestartsDetection) {
    TerminalHarness t;
    t.Receive("x=http://a.b ok");
    EXPECT_EQ(LinkMap(t), "..LLLLLLLLLL...");
    TerminalHarness u;
    u.Receive("'http://a.b' x");
    EXPECT_EQ(LinkMap(u), ".LLLLLLLLLLL..");
}

TEST(Links, BackslashPathsAndLineEndsFinishALink) {
    TerminalHarness t;
    t.Receive("file:\\\\server\\share.txt\nnext");
    EXPECT_EQ(LinkMap(t), std::string(23, 'L'));
    EXPECT_EQ(LinkMap(t, 1), "....");
}

TEST(Links, LinkAcrossFlushesIsStillFound) {
    TerminalHarness t;
    t.Receive("go https://a");
    t.Receive(".b/c d");
    EXPECT_EQ(LinkMap(t), "..." + std::string(13, 'L') + "..");
}

TEST(Links, ColourChangeInsideEndsNothingButCursorMoveResets) {
    TerminalHarness t;
    t.Receive("http://a\x1b[31m.b x");
    EXPECT_EQ(LinkMap(t), "LLLLLLLLLL..");
    TerminalHarness u;
    u.Receive("http://a\x1b[C.b x");
    EXPECT_EQ(LinkMap(u).find('L'), std::string::npos);
}

TEST(Links, LinkWrittenOverAnEarlierLineIsFlaggedInPlace) {
    TerminalHarness t;
    t.Receive("..............\nlast");
    t.Receive("\x1b[A\x1b[20Dhttp://a.b ");
    EXPECT_EQ(LinkMap(t), "LLLLLLLLLL....");
    EXPECT_EQ(LinkMap(t, 1), "....");
}
