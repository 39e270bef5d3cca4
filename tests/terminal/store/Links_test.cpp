// Link detection while text is stored.
#include "terminal/TerminalHarness.h"

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

namespace {

// The detector's rules one character at a time, as plainly as they can be written.
std::vector<std::pair<uint32_t, uint32_t>> ReferenceLinks(const std::wstring& text) {
    std::vector<std::pair<uint32_t, uint32_t>> links;
    int state = 0;
    uint32_t start = 0;
    for (uint32_t i = 0; i <= text.size(); ++i) {
        wchar_t ch = i < text.size() ? text[i] : L' ';
        bool link = ch < 0x80 && (iswalnum(ch) || wcschr(L"#&'-./:;=?@\\_", ch));
        if (!link) {
            if (state == 4 && i > start)
                links.push_back({start, i});
            state = 0;
        } else if (state == 4) {
        } else if (ch == L'=' || ch == L'\'') {
            state = 0;
        } else if (state == 0) {
            start = i;
            state = 1;
        } else if ((state == 1 && ch == L':') || (state == 2 && (ch == L'/' || ch == L'\\')) ||
                   (state == 3 && ch == L'.')) {
            ++state;
        }
    }
    return links;
}

} // namespace

// The detector skips ahead to the next ':' where nothing can complete; fed the same text in pieces cut
// anywhere, it must find what the plain rules find.
TEST(Links, PiecesCutAnywhereFindWhatThePlainRulesFind) {
    const wchar_t alphabet[] = L"ab:/.\\=' _\u00e9h";
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    size_t links = 0;
    for (int round = 0; round < 2000; ++round) {
        std::wstring text;
        for (uint32_t n = 5 + next(40); n; --n)
            text += alphabet[next(12)];
        std::vector<std::pair<uint32_t, uint32_t>> found;
        C_LinkDetector detector;
        auto flag = [&found](C_LinkDetector::Range range) { found.push_back({range.begin, range.end}); };
        for (uint32_t at = 0; at < text.size();) {
            uint32_t piece = 1 + next(uint32_t(text.size() - at));
            detector.TakeRun(text.data() + at, piece, at, flag);
            at += piece;
        }
        C_LinkDetector::Range last = detector.Finish(uint32_t(text.size()));
        if (last.end > last.begin)
            found.push_back({last.begin, last.end});
        ASSERT_EQ(found, ReferenceLinks(text)) << std::string(text.begin(), text.end());
        links += found.size();
    }
    EXPECT_GT(links, 100u) << "the texts must hold links for the comparison to mean anything";
}
