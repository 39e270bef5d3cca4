// UTF-8 decoding per flush, with the whole flush kept as bytes when any of it is not valid UTF-8.
#include "terminal/TerminalHarness.h"

#include "terminal/receive/Utf8.h"

#include <gtest/gtest.h>

namespace {

std::wstring Decoded(const std::string& bytes) {
    TerminalHarness t;
    t.Receive(bytes);
    return t.Line(0);
}

std::wstring Widened(const std::string& bytes) {
    std::wstring text;
    for (unsigned char b : bytes)
        text += wchar_t(b);
    return text;
}

} // namespace

TEST(Utf8, ValidTextIsDecoded) {
    EXPECT_EQ(Decoded("\xc3\xa9"), L"\u00e9");
    EXPECT_EQ(Decoded("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82"), L"\u041f\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(Decoded("\xe2\xa0\x8b\xce\xb1"), L"\u280b\u03b1");
    EXPECT_EQ(Decoded("\xf0\x9f\x98\x80"), L"\xd83d\xde00"); // a surrogate pair
    EXPECT_EQ(Decoded("\xef\xbf\xbe"), L"\xfffe");           // a noncharacter is still valid
}

TEST(Utf8, AnyInvalidSequenceKeepsTheWholeFlushAsBytes) {
    const char* invalid[] = {
        "\xe9",             // a lone Latin-1 byte
        "\xc3\xa9\xe9",     // valid, then invalid: the valid part is not decoded either
        "\xc0\xaf",         // overlong
        "\xe0\x80\xaf",     // overlong, three bytes
        "\xed\xa0\x80",     // an encoded surrogate
        "\xf4\x90\x80\x80", // above U+10FFFF
        "\xf8\x88\x80\x80", // no such lead byte
        "ab\xe2\xa0",       // a sequence cut short by what follows
        "\x80",             // a lone continuation
        "\xef\xbf\xbd",     // U+FFFD itself counts as a failed decoding
    };
    for (const char* bytes : invalid) {
        std::string flush = std::string(bytes) + "."; // the flush goes on after them
        EXPECT_EQ(Decoded(flush), Widened(flush)) << "for " << bytes;
    }
}

// A read that ends inside a character leaves its first bytes for the next read, so that text arriving in
// arbitrary pieces is decoded all the same; if nothing follows, the idle flush writes them as they are.
TEST(Utf8, CharacterSplitAcrossReadsIsDecodedWhole) {
    TerminalHarness t;
    t.Block("x");
    t.ticks.now += 21;
    t.Block("\xd0\x9f\xd1");
    t.ticks.now += 21;
    t.Block("\x80\xe2\xa0");
    t.ticks.now += 21;
    t.Block("\x8b!");
    EXPECT_EQ(t.Line(0), L"x\u041f\u0440\u280b!");
    t.ticks.now += 21;
    t.Block("\xe9");
    EXPECT_EQ(t.Line(0), L"x\u041f\u0440\u280b!");
    t.ticks.now += 21;
    t.assembly.FlushIfIdle();
    EXPECT_EQ(t.Line(0), L"x\u041f\u0440\u280b!\u00e9");
    const wchar_t notLeads[] = {L'a', 0xC3, 0xA9};
    EXPECT_EQ(Utf8::IncompleteTail(notLeads, 3), 0u);
    const wchar_t badSecond[] = {0xE0, 0x80};
    EXPECT_EQ(Utf8::IncompleteTail(badSecond, 2), 0u);
    const wchar_t fourByteLead[] = {0xF0, 0x9F, 0x98};
    EXPECT_EQ(Utf8::IncompleteTail(fourByteLead, 3), 3u);
}

TEST(Utf8, EachFlushIsDecodedOnItsOwn) {
    TerminalHarness t;
    t.Receive("\xc3");
    t.Receive("\xa9");
    EXPECT_EQ(t.Line(0), L"\u00c3\u00a9");
    t.Receive("\x1b[31m\xc3\xa9\x1b[m\xe9");
    EXPECT_EQ(t.Line(0), L"\u00c3\u00a9\u00e9\u00e9");
}

TEST(Utf8, TextTheProgramInsertedPassesThroughDecoding) {
    // Units above 0xFF are never received bytes (stamp text); they survive a decoding flush as they are.
    const wchar_t units[] = {0x280B, L' ', 0xC3, 0xA9};
    C_DynamicBuffer<wchar_t> out;
    ASSERT_EQ(Utf8::Decode(units, 4, out), Utf8::Outcome::Decoded);
    EXPECT_EQ(std::wstring(out.Data(), out.Count()), L"\u280b \u00e9");
    const wchar_t ascii[] = {0x280B, L'a'};
    EXPECT_EQ(Utf8::Decode(ascii, 2, out), Utf8::Outcome::Unchanged);
}
