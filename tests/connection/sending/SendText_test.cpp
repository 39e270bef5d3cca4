// What the send bar and velto-cli make of a user's text: the exact bytes, or where and why the text is wrong.
#include "connection/sending/SendText.h"

#include <gtest/gtest.h>

#include <string>

using SendText::Problem;

namespace {

struct Case {
    const wchar_t* text;
    std::string bytes; // expected, when problem is None
    Problem problem;
    size_t position;
    size_t length;
};

std::string Bytes(const char* bytes, size_t size) {
    return std::string(bytes, size);
}

void Check(bool (*parse)(const std::wstring&, std::string&, SendText::Error&), const Case& c) {
    std::string bytes = "untouched";
    SendText::Error error;
    const bool ok = parse(c.text, bytes, error);
    EXPECT_EQ(ok, c.problem == Problem::None) << testing::PrintToString(std::wstring(c.text));
    if (ok) {
        EXPECT_EQ(bytes, c.bytes) << testing::PrintToString(std::wstring(c.text));
        return;
    }
    EXPECT_EQ(bytes, "untouched") << "a faulty text changes nothing";
    EXPECT_EQ(int(error.problem), int(c.problem)) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(error.position, c.position) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(error.length, c.length) << testing::PrintToString(std::wstring(c.text));
    EXPECT_STRNE(SendText::Reason(error.problem), L"");
}

} // namespace

TEST(SendTextTest, EscapesGiveTheirBytesAndCharactersTheAnsiCodePage) {
    const Case cases[] = {
        {L"AT+GMR", "AT+GMR", Problem::None, 0, 0},
        {L"a\\r\\n\\t\\\\b", "a\r\n\t\\b", Problem::None, 0, 0},
        {L"\\0\\x00\\xff\\xFF\\x7f", Bytes("\0\0\xFF\xFF\x7F", 5), Problem::None, 0, 0},
        // The test prefix's code page is 1252: é and € are single bytes, a character it lacks becomes '?'.
        {L"\x00E9\x20AC\x4E2D", "\xE9\x80?", Problem::None, 0, 0},
        {L"", "", Problem::None, 0, 0},
        {L"ab\\q", "", Problem::UnknownEscape, 2, 2},
        {L"ab\\", "", Problem::LoneBackslash, 2, 1},
        {L"\\x4", "", Problem::ShortHexEscape, 0, 3},
        {L"\\xg0 rest", "", Problem::ShortHexEscape, 0, 4},
        {L"ok \\x1", "", Problem::ShortHexEscape, 3, 3},
    };
    for (const Case& c : cases)
        Check(SendText::DecodeEscapes, c);
}

TEST(SendTextTest, HexBytesArePairsInAnyCaseWithOptionalBlanks) {
    const Case cases[] = {
        {L"01 02 ff", "\x01\x02\xFF", Problem::None, 0, 0},
        {L"0102FF", "\x01\x02\xFF", Problem::None, 0, 0},
        {L"  00\tAb  ", Bytes("\0\xAB", 2), Problem::None, 0, 0},
        {L"", "", Problem::None, 0, 0},
        {L"01 0g", "", Problem::NotHexDigit, 4, 1},
        {L"0x01", "", Problem::NotHexDigit, 1, 1},
        {L"01 234 56", "", Problem::HalfByte, 3, 3},
        {L"1", "", Problem::HalfByte, 0, 1},
    };
    for (const Case& c : cases)
        Check(SendText::ParseHexBytes, c);
}

// Switching the field's mode turns what it holds into the other form; no byte may change on the way.
TEST(SendTextTest, EscapedAndHexFormsGiveTheSameBytesBack) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += char(byte);
    const std::string samples[] = {all, "help\r\n", Bytes("\0", 1), "back\\slash", ""};
    for (const std::string& bytes : samples) {
        std::string back;
        SendText::Error error;
        ASSERT_TRUE(SendText::DecodeEscapes(SendText::EscapeBytes(bytes), back, error));
        EXPECT_EQ(back, bytes);
        ASSERT_TRUE(SendText::ParseHexBytes(SendText::FormatHexBytes(bytes), back, error));
        EXPECT_EQ(back, bytes);
    }
    EXPECT_EQ(SendText::EscapeBytes("AT\r\n\x1B\xE9"), L"AT\\r\\n\\x1B\\xE9");
    EXPECT_EQ(SendText::FormatHexBytes(Bytes("\x01\0\xFF", 3)), L"01 00 FF");
}
