#include "ui/framework/CommandLine.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The program's own declarations: language, port, baud rate.
class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest() {
        parser.Declare(L"l", C_CommandLine::KIND_TEXT);
        parser.Declare(L"p", C_CommandLine::KIND_TEXT);
        parser.Declare(L"b", C_CommandLine::KIND_DECIMAL);
    }

    std::wstring Text(const wchar_t* name) {
        C_String value;
        return parser.GetText(name, value) ? value.c_str() : L"<none>";
    }

    C_CommandLine parser;
};

TEST_F(CommandLineTest, OptionNamesIgnoreCaseAndAcceptBothPrefixes) {
    EXPECT_TRUE(parser.Parse(L"-P COM3 /L de"));
    EXPECT_EQ(Text(L"p"), L"COM3");
    EXPECT_EQ(Text(L"l"), L"de");
}

TEST_F(CommandLineTest, TextOptionNeedsItsValueAsASeparateWord) {
    // The word "pCOM3" names no option: nothing is set and the parse reports the unknown option.
    EXPECT_FALSE(parser.Parse(L"/pCOM3"));
    EXPECT_EQ(Text(L"p"), L"<none>");
    EXPECT_EQ(parser.GetPlainWordCount(), 1);
}

TEST_F(CommandLineTest, QuotedValuesKeepBlanksAndDoubledQuotes) {
    EXPECT_TRUE(parser.Parse(L"-p \"tcp://my host:23\" -l \"say \"\"hi\"\"\""));
    EXPECT_EQ(Text(L"p"), L"tcp://my host:23");
    EXPECT_EQ(Text(L"l"), L"say \"hi\"");

    C_String word;
    const wchar_t* rest = ReadCommandWord(L"a\"b c\"d e", word);
    EXPECT_STREQ(word.c_str(), L"ab cd");
    EXPECT_STREQ(rest, L" e");
}

TEST_F(CommandLineTest, EmptyTextIsNotAValue) {
    EXPECT_TRUE(parser.Parse(L"-p \"\""));
    EXPECT_TRUE(parser.WasGiven(L"p"));
    EXPECT_EQ(Text(L"p"), L"<none>");
    EXPECT_TRUE(parser.Parse(L"-l"));
    EXPECT_EQ(Text(L"l"), L"<none>");
}

TEST_F(CommandLineTest, NumbersFollowTheNameOrTheNextWord) {
    EXPECT_EQ(parser.GetNumber(L"b"), 0); // the declared default when not given
    EXPECT_TRUE(parser.Parse(L"-b115200"));
    EXPECT_EQ(parser.GetNumber(L"b"), 115200);
    EXPECT_TRUE(parser.Parse(L"-b 9600 COM1"));
    EXPECT_EQ(parser.GetNumber(L"b"), 9600);
    EXPECT_EQ(parser.GetPlainWordCount(), 1); // COM1 only: the number was the option's value
    EXPECT_TRUE(parser.Parse(L"-b0x10"));
    EXPECT_EQ(parser.GetNumber(L"b"), 16);
    EXPECT_TRUE(parser.Parse(L"-b010"));
    EXPECT_EQ(parser.GetNumber(L"b"), 8); // a leading zero reads as octal
}

TEST_F(CommandLineTest, HexadecimalAndFlagOptions) {
    parser.Declare(L"mask", C_CommandLine::KIND_HEX, 7);
    parser.Declare(L"verbose", C_CommandLine::KIND_FLAG);
    EXPECT_EQ(parser.GetNumber(L"mask"), 7);
    EXPECT_EQ(parser.GetNumber(L"verbose"), 0);
    EXPECT_TRUE(parser.Parse(L"-maskFF /VERBOSE"));
    EXPECT_EQ(parser.GetNumber(L"mask"), 255);
    EXPECT_EQ(parser.GetNumber(L"verbose"), 1);
}

TEST_F(CommandLineTest, UnknownOptionFailsButTheRestIsTaken) {
    EXPECT_FALSE(parser.Parse(L"-x 1 -p COM4"));
    EXPECT_EQ(Text(L"p"), L"COM4");
    EXPECT_EQ(parser.GetPlainWordCount(), 2); // "-x" and "1"
}

TEST_F(CommandLineTest, OptionFileAddsOneCommandLinePerLine) {
    TempFolder folder;
    std::wstring path = folder.Path(L"options.txt");
    ASSERT_TRUE(WriteFileBytes(path, "-p \"COM 9\"\r\n\r\n-b 57600\n-l ru"));
    std::wstring line = L"@\"" + path + L"\"";
    EXPECT_TRUE(parser.Parse(line.c_str()));
    EXPECT_EQ(Text(L"p"), L"COM 9");
    EXPECT_EQ(parser.GetNumber(L"b"), 57600);
    EXPECT_EQ(Text(L"l"), L"ru");
}

TEST_F(CommandLineTest, OptionFileInUtf8WithMark) {
    TempFolder folder;
    std::wstring path = folder.Path(L"utf8.txt");
    ASSERT_TRUE(WriteFileBytes(path, "\xEF\xBB\xBF-p \xD0\x9F\xD0\xBE\xD1\x80\xD1\x82"));
    std::wstring line = L"@" + path;
    EXPECT_TRUE(parser.Parse(line.c_str()));
    EXPECT_EQ(Text(L"p"), L"\x041F\x043E\x0440\x0442");
}

TEST_F(CommandLineTest, MissingOptionFileFailsTheParse) {
    TempFolder folder;
    std::wstring line = L"-p COM2 @" + folder.Path(L"absent.txt");
    EXPECT_FALSE(parser.Parse(line.c_str()));
    EXPECT_EQ(Text(L"p"), L"COM2");
}

TEST_F(CommandLineTest, OptionFileNamingItselfEnds) {
    TempFolder folder;
    std::wstring path = folder.Path(L"loop.txt");
    std::string narrow(path.begin(), path.end());
    ASSERT_TRUE(WriteFileBytes(path, ("-b 300 @" + narrow).c_str()));
    std::wstring line = L"@" + path;
    EXPECT_FALSE(parser.Parse(line.c_str()));
    EXPECT_EQ(parser.GetNumber(L"b"), 300);
}

} // namespace
