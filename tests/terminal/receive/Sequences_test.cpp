// What the escape interpreter swallows and what it lets through as text.
#include "terminal/TerminalHarness.h"

#include <gtest/gtest.h>

namespace {

std::wstring Shown(const std::string& bytes) {
    TerminalHarness t;
    t.Receive(bytes);
    return t.Text();
}

} // namespace

TEST(Sequences, KnownSequencesProduceNoText) {
    EXPECT_EQ(Shown("a\x1b[?25hb\x1b[?2004lc\x1b[?7h\x1b[4hd"), L"abcd|");
    EXPECT_EQ(Shown("a\x1b[Lb\x1b[6nc\x1b[1;24rd\x1b[!pe"), L"abcde|");
    EXPECT_EQ(Shown("a\x1b"
                    "7b\x1b(Bc\x1b)0d\x1b(Ke\x1b(Uf"),
              L"abcdef|");
}

TEST(Sequences, UnknownFinalByteBecomesTextAndParametersAreLost) {
    EXPECT_EQ(Shown("\x1b[12X"), L"X|");
    EXPECT_EQ(Shown("a\x1b[3;4zb"), L"azb|");
    EXPECT_EQ(Shown("\x1b[?1049h"), L"h|"); // a mode that is not understood
    EXPECT_EQ(Shown("\x1b[5p"), L"p|");     // not the soft reset
}

TEST(Sequences, UnknownEscapeShowsTheFollowingByte) {
    EXPECT_EQ(Shown("\x1b"
                    "cabc"),
              L"cabc|");
    EXPECT_EQ(Shown("\x1b"
                    "8x"),
              L"8x|");
    // A second ESC is not a new introducer: it becomes a character of its own.
    EXPECT_EQ(Shown("\x1b\x1b[m"), L"\x1b[m|");
}

TEST(Sequences, UndesignatedCharacterSetByteBecomesText) {
    EXPECT_EQ(Shown("\x1b(Zq"), L"Zq|");
}

TEST(Sequences, OperatingSystemCommandEndsAtFirstByteOutsideDigits) {
    EXPECT_EQ(Shown("\x1b]0;T\x07"), L"T|");
    EXPECT_EQ(Shown("\x1b]0;Title\x07rest"), L"Titlerest|");
    EXPECT_EQ(Shown("\x1b]104\x07ok"), L"ok|");
    EXPECT_EQ(Shown("\x1b]104xok"), L"ok|"); // the byte ending 104 is consumed whatever it is
}

TEST(Sequences, ReverseIndexConsumesTheNextByte) {
    EXPECT_EQ(Shown("a\x1bMxb"), L"ab|");
}

TEST(Sequences, BrokenControlSequenceWritesItsParametersForEachBreakingByte) {
    // The space and the tab break the sequence; each writes "12" and is itself dropped. The sequence
    // goes on, so 'X' is still its final byte (unknown, so it shows).
    EXPECT_EQ(Shown("\x1b[12 \tXz"), L"1212Xz|");
    EXPECT_EQ(Shown("\x1b[31 m!"), L"31!|");
    // A line end that breaks it still ends the line.
    EXPECT_EQ(Shown("\x1b[7\r\nm"), L"7|7|");
}

TEST(Sequences, NulNeverDisturbsASequence) {
    TerminalHarness t;
    t.Receive(std::string("\x1b\0[31mred", 9));
    EXPECT_EQ(t.Text(), L"red|");
    EXPECT_EQ(t.ForegroundAt(0, 0), Stored(0xE7132C));
}

TEST(Sequences, SequencesCutAcrossBlocksContinue) {
    TerminalHarness t;
    t.Block("a\x1b");
    t.Block("[");
    t.Block("3");
    t.Block("1mb");
    t.Receive("");
    EXPECT_EQ(t.Text(), L"ab|");
    EXPECT_EQ(t.ForegroundAt(0, 1), Stored(0xE7132C));
}

TEST(Sequences, ControlsAreDroppedAndOtherBytesKept) {
    EXPECT_EQ(Shown("a\x07\x0e\x0f"
                    "b\tc\x7f"),
              L"ab\tc\x7f|");
    EXPECT_EQ(Shown("\x01\x02\x1f"), L"\x01\x02\x1f|");
}

TEST(Sequences, CursorKeyApplicationModeFollowsQuestionOne) {
    TerminalHarness t;
    t.Receive("\x1b[?1h");
    EXPECT_TRUE(t.assembly.Interpreter().CursorKeyApplicationMode());
    t.Receive("\x1b[?1l");
    EXPECT_FALSE(t.assembly.Interpreter().CursorKeyApplicationMode());
    EXPECT_EQ(t.Text(), L"|");
}

// Parameters of any length: the sequence still ends at its final byte, and what is kept is bounded, so a
// broken sequence cannot multiply a stream into the store.
TEST(Sequences, LongParametersAreBoundedAndStillEndTheSequence) {
    TerminalHarness t;
    t.Receive("\x1b[" + std::string(100000, '1') + "mok");
    EXPECT_EQ(t.Text(), L"ok|");
    EXPECT_EQ(t.ForegroundAt(0, 0), Stored(Colour::kDefaultForeground));

    TerminalHarness broken;
    broken.Receive("\x1b[" + std::string(5000, '9') + std::string(1000, ' ') + "X");
    EXPECT_EQ(broken.Line(0).size(), 1000u * C_ParameterText::kCapacity + 1); // and the final X
}
