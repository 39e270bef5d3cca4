#include "foundation/base/TextString.h"

#include "support/FailingAllocator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Text(const C_String& s) {
    return s.c_str();
}

} // namespace

// --- storage and growth ---------------------------------------------------------------------------------

TEST(StringStorage, DefaultAndExplicitCapacity) {
    C_String s;
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(s.GetCapacity(), 259u);
    EXPECT_EQ(Text(s), L"");
    C_String big(65538);
    EXPECT_EQ(big.GetCapacity(), 65537u);
}

TEST(StringStorage, SetCapacityShrinksAndCuts) {
    C_String s;
    s.Assign(L"abcdef");
    EXPECT_TRUE(s.SetCapacity(4));
    EXPECT_EQ(Text(s), L"abc");
    EXPECT_EQ(s.GetLength(), 3u);
    EXPECT_TRUE(s.SetCapacity(0)); // counts as one unit: room for the terminator only
    EXPECT_EQ(Text(s), L"");
}

TEST(StringStorage, SetCountAndAt) {
    C_String s;
    s.Assign(L"hello");
    EXPECT_TRUE(s.SetCount(3));
    EXPECT_EQ(Text(s), L"he");
    EXPECT_FALSE(s.SetCount(0));
    EXPECT_FALSE(s.SetCount(260));
    EXPECT_EQ(s.GetAt(1), L'e');
    EXPECT_EQ(s.GetAt(2), 0); // the terminator
    EXPECT_EQ(s.GetAt(3), 0); // beyond
    EXPECT_EQ(s.GetAt(-1), 0);
    EXPECT_NE(s.SetAt(0, L'H'), nullptr);
    EXPECT_EQ(Text(s), L"He");
    EXPECT_EQ(s.SetAt(2, L'x'), nullptr);
    s.SetAt(1, 0); // writing a zero cuts
    EXPECT_EQ(s.GetLength(), 1u);
}

TEST(StringStorage, AppendGrowthLeavesTwentySpareUnits) {
    C_String s(4);
    s.Assign(L"abc");
    EXPECT_TRUE(s.Append(L"de"));
    EXPECT_EQ(s.GetCapacity(), 6u + 20u - 1u); // new count 6, plus 20
    C_String t(3);
    t.Assign(L"ab");
    EXPECT_TRUE(t.AppendChar(L'c'));
    EXPECT_EQ(t.GetCapacity(), 3u + 21u - 1u);
    EXPECT_EQ(Text(t), L"abc");
}

TEST(StringStorage, AssignGrowsExactlyToTheText) {
    C_String s(4);
    std::wstring long_(300, L'x');
    EXPECT_TRUE(s.Assign(long_.c_str()));
    EXPECT_EQ(s.GetCapacity(), 300u);
    EXPECT_TRUE(s.Assign(L"short")); // never shrinks on its own
    EXPECT_EQ(s.GetCapacity(), 300u);
}

TEST(StringStorage, FailedGrowthRecoversToEmptyDefault) {
    C_String s(4);
    s.Assign(L"abc");
    {
        FailingAllocator fail(1000); // the 520-byte recovery block is still granted
        EXPECT_FALSE(s.Append(std::wstring(600, L'y').c_str()));
    }
    EXPECT_EQ(Text(s), L"");
    EXPECT_EQ(s.GetCapacity(), 259u);
    EXPECT_TRUE(s.Append(L"again"));
    EXPECT_EQ(Text(s), L"again");
}

TEST(StringStorage, FailedSetCapacityLeavesNoStorageButStaysUsable) {
    C_String s;
    s.Assign(L"abc");
    {
        FailingAllocator fail(0);
        EXPECT_FALSE(s.SetCapacity(1000));
    }
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(s.GetCapacity(), 0u);
    EXPECT_TRUE(s.Append(L"x"));
    EXPECT_EQ(Text(s), L"x");
}

// --- assignment -------------------------------------------------------------------------------------------

TEST(StringAssign, CountedTextStopsAtEmbeddedZero) {
    C_String s;
    const wchar_t text[] = {L'a', 0, L'c', 0};
    EXPECT_TRUE(s.Assign(text, 3));
    EXPECT_EQ(s.GetLength(), 1u);
    EXPECT_TRUE(s.Assign(static_cast<const wchar_t*>(nullptr)));
    EXPECT_EQ(Text(s), L"");
}

TEST(StringAssign, OverlappingOwnStorage) {
    C_String s(8);
    s.Assign(L"abcdefg");
    EXPECT_TRUE(s.Assign(s.GetBuffer() + 2, 3));
    EXPECT_EQ(Text(s), L"cde");
    // A source inside our own block that must grow first.
    s.Assign(L"0123456");
    EXPECT_TRUE(s.Assign(s.GetBuffer() + 1, 40)); // reads past the text: only up to the terminator matters
    EXPECT_EQ(Text(s), L"123456");
    C_String t(4);
    t.Assign(L"xyz");
    EXPECT_TRUE(t.Append(t.GetBuffer(), 3)); // appending itself while it grows
    EXPECT_EQ(Text(t), L"xyzxyz");
}

TEST(StringAssign, OtherStringAndMissingOther) {
    C_String a, b;
    a.Assign(L"copy me");
    EXPECT_TRUE(b.Assign(a));
    EXPECT_EQ(Text(b), L"copy me");
    EXPECT_FALSE(b.Assign(static_cast<const C_String*>(nullptr)));
    EXPECT_EQ(Text(b), L"");
}

TEST(StringAssign, AppendVariants) {
    C_String s;
    EXPECT_TRUE(s.Append(static_cast<const wchar_t*>(nullptr)));
    s.Append("narrow");
    s.AppendByte(0xE9);
    EXPECT_EQ(Text(s), L"narrow\u00e9");
    s.Assign(L"");
    s.AppendWithSeparator(L"", L" - ");
    s.AppendWithSeparator(L"a", L" - ");
    s.AppendWithSeparator(L"b", L" - ");
    EXPECT_EQ(Text(s), L"a - b");
}

TEST(StringAssign, TrailingCharacters) {
    C_String s;
    s.Assign(L"C:\\dir\\");
    s.EnsureTrailingChar(L'\\');
    EXPECT_EQ(Text(s), L"C:\\dir\\");
    s.Assign(L"C:\\dir");
    s.EnsureTrailingChar(L'\\');
    EXPECT_EQ(Text(s), L"C:\\dir\\");
    s.RemoveTrailingChar(L'\\');
    s.RemoveTrailingChar(L'\\');
    EXPECT_EQ(Text(s), L"C:\\dir");
}

// --- cutting and editing -----------------------------------------------------------------------------------

TEST(StringEdit, LeftAndMidClamp) {
    C_String s;
    s.Assign(L"abcdef");
    s.Mid(2, 100);
    EXPECT_EQ(Text(s), L"cdef");
    s.Assign(L"abc");
    s.Mid(10);
    EXPECT_EQ(Text(s), L"");
    s.Assign(L"abc");
    s.Mid(-5, 2);
    EXPECT_EQ(Text(s), L"ab");
    s.Assign(L"abc");
    s.Left(-1);
    EXPECT_EQ(Text(s), L"");
    s.Assign(L"abc");
    s.Left(99);
    EXPECT_EQ(Text(s), L"abc");
}

TEST(StringEdit, InsertAndDeleteClamp) {
    C_String s;
    s.Assign(L"abc");
    s.Delete(5, 2);
    EXPECT_EQ(Text(s), L"abc");
    s.Insert(99, L"x");
    EXPECT_EQ(Text(s), L"abcx");
    s.Insert(0, L">>");
    EXPECT_EQ(Text(s), L">>abcx");
    s.Delete(1, 100);
    EXPECT_EQ(Text(s), L">");
    EXPECT_EQ(s.GetLength(), 1u);
    s.InsertChar(-3, L'<');
    EXPECT_EQ(Text(s), L"<>");
}

TEST(StringEdit, InsertGrowsExactly) {
    C_String s(4);
    s.Assign(L"abc");
    s.Insert(1, L"XY");
    EXPECT_EQ(Text(s), L"aXYbc");
    EXPECT_EQ(s.GetCapacity(), 5u);
}

TEST(StringEdit, TrimByLocaleSpaceClass) {
    C_String s;
    // Tab, line feed, no-break space and ideographic space are all in the space class.
    s.Assign(L"\t\n\u00a0 text  \u3000\r\n");
    s.TrimRight();
    EXPECT_EQ(Text(s), L"\t\n\u00a0 text");
    s.TrimLeft();
    EXPECT_EQ(Text(s), L"text");
    s.Assign(L"a b");
    s.Trim();
    EXPECT_EQ(Text(s), L"a b");
    s.Assign(L"   ");
    s.TrimRight();
    EXPECT_EQ(Text(s), L"");
}

TEST(StringEdit, ReplaceRestartsFromTheStart) {
    C_String s;
    s.Assign(L"\"\"\"\"");
    s.Replace(L"\"\"", L"\"");
    EXPECT_EQ(Text(s), L"\"");
    s.Assign(L"a\"\"b\"\"\"c");
    s.Replace(L"\"\"", L"\"", true);
    EXPECT_EQ(Text(s), L"a\"b\"c");
    s.Assign(L"xABy");
    s.ReplaceNoCase(L"ab", nullptr);
    EXPECT_EQ(Text(s), L"xy");
}

TEST(StringEdit, ReplaceGrowsAndShrinks) {
    C_String s;
    s.Assign(L"a-b-c");
    s.Replace(L"-", L" -- ");
    EXPECT_EQ(Text(s), L"a -- b -- c");
    s.Replace(L" -- ", L"+", true);
    EXPECT_EQ(Text(s), L"a+b+c");
}

TEST(StringEdit, ReplaceWithTextContainingFindTerminates) {
    C_String s;
    s.Assign(L"a.b");
    EXPECT_NE(s.Replace(L".", L".."), nullptr);
    EXPECT_EQ(Text(s), L"a..b");
    s.Assign(L"x");
    EXPECT_NE(s.Replace(L"", L"y"), nullptr);
    EXPECT_EQ(Text(s), L"x");
    s.Assign(L"aAa");
    s.ReplaceNoCase(L"a", L"[A]");
    EXPECT_EQ(Text(s), L"[A][A][A]");
}

// --- search ------------------------------------------------------------------------------------------------

TEST(StringSearch, CharactersAndTexts) {
    C_String s;
    s.Assign(L"Hello, World");
    EXPECT_EQ(s.FindChar(L'o'), 4);
    EXPECT_EQ(s.FindChar(L'o', 5), 8);
    EXPECT_EQ(s.FindChar(L'o', 100), -1);
    EXPECT_EQ(s.ReverseFindChar(L'o'), 8);
    EXPECT_EQ(s.FindCharNoCase(L'w'), 7);
    EXPECT_EQ(s.Find(L"World"), 7);
    EXPECT_EQ(s.Find(L"world"), -1);
    EXPECT_EQ(s.FindNoCase(L"WORLD"), 7);
    EXPECT_EQ(s.FindNoCase(L"l", 4), 10);
    EXPECT_EQ(s.FindNoCase(nullptr), -1);
    EXPECT_EQ(s.FindNoCasePtr(L"hello"), s.GetBuffer());
    EXPECT_EQ(s.FindCharPtr(L'z'), nullptr);
}

TEST(StringSearch, NoCaseBeyondAscii) {
    C_String s;
    s.Assign(L"\u041f\u0420\u0418\u0412\u0415\u0422 \u03a3\u039f\u03a6\u0399\u0391"); // "ПРИВЕТ ΣΟΦΙΑ"
    EXPECT_EQ(s.FindNoCase(L"\u0432\u0435\u0442"), 3);
    EXPECT_EQ(s.FindNoCase(L"\u03c3\u03bf\u03c6"), 7);
    EXPECT_EQ(s.CompareNoCase(L"\u043f\u0440\u0438\u0432\u0435\u0442 \u03c3\u03bf\u03c6\u03b9\u03b1"), 0);
}

TEST(StringSearch, ExtractBetween) {
    C_String s, out;
    s.Assign(L"<version>1.23</VERSION><x>");
    EXPECT_EQ(s.ExtractBetween(L"<Version>", L"</version>", &out), 13);
    EXPECT_EQ(Text(out), L"1.23");
    EXPECT_EQ(s.ExtractBetween(L"<x>", nullptr, &out), int(s.GetLength()));
    EXPECT_EQ(Text(out), L"");
    EXPECT_EQ(s.ExtractBetween(L"<version>", L"</version>", &out, 0, -1), 13);
    EXPECT_EQ(s.ExtractBetween(L"<x>", L">", &out, 0, 5), -1); // start marker beyond the limit
    EXPECT_EQ(s.ExtractBetween(L"<y>", L">", &out), -1);
    EXPECT_EQ(s.ExtractBetween(nullptr, L"<", &out, 9), 13);
    EXPECT_EQ(Text(out), L"1.23");
}

TEST(StringSearch, Compare) {
    C_String s;
    s.Assign(L"abc");
    EXPECT_EQ(s.Compare(L"abc"), 0);
    EXPECT_LT(s.Compare(L"abd"), 0);
    EXPECT_GT(s.Compare(L"ab"), 0);
    EXPECT_EQ(s.Compare(nullptr), -1);
    EXPECT_EQ(s.CompareNoCase(L"ABC"), 0);
    EXPECT_EQ(s.CompareNoCase(L"ABX", 2), 0);
    EXPECT_NE(s.CompareNoCase(L"ABX", 3), 0);
    C_String empty;
    EXPECT_EQ(empty.Compare(nullptr), 0);
}

// --- conversion and formatting -------------------------------------------------------------------------------

TEST(StringFormat, WideDialectOfTheRuntime) {
    C_String s;
    EXPECT_TRUE(s.Format(L"%s|%S|%hs|%I64u|%I64X|%u.%02u", L"wide", "narrow", "short", 1234567890123ULL,
                         0xABCDEF012345ULL, 1u, 5u));
    EXPECT_EQ(Text(s), L"wide|narrow|short|1234567890123|ABCDEF012345|1.05");
}

TEST(StringFormat, GrowthSteps) {
    EXPECT_EQ(C_String::FormatCapacity(260, 259), 260u);
    EXPECT_EQ(C_String::FormatCapacity(260, 300), 520u);
    EXPECT_EQ(C_String::FormatCapacity(10240, 10300), 10500u); // still the small step at exactly 10,240
    EXPECT_EQ(C_String::FormatCapacity(10500, 10600), 20740u);
    // The last step crosses 3,145,728 and is used; from there on the format is refused.
    EXPECT_EQ(C_String::FormatCapacity(260, 3154079), 3154080u);
    EXPECT_EQ(C_String::FormatCapacity(260, 3154080), 0u);
    C_String s;
    std::wstring long_(300, L'q');
    EXPECT_TRUE(s.Format(L"%s", long_.c_str()));
    EXPECT_EQ(s.GetCapacity(), 519u);
    EXPECT_EQ(Text(s), long_);
}

TEST(StringFormat, TooLongResultFailsEmpty) {
    C_String s;
    std::wstring huge(3200000, L'z');
    EXPECT_FALSE(s.Format(L"%s", huge.c_str()));
    EXPECT_EQ(Text(s), L"");
    EXPECT_EQ(s.GetCapacity(), 259u);
}

TEST(StringFormat, FailedGrowthGivesEmptyDefault) {
    C_String s;
    std::wstring long_(1000, L'q');
    FailingAllocator fail(1000);
    EXPECT_FALSE(s.Format(L"%s", long_.c_str()));
    EXPECT_EQ(Text(s), L"");
}

TEST(StringConvert, AnsiRoundTrip) {
    C_String s;
    s.Assign("caf\xe9"); // code page 1252 in a fresh prefix
    EXPECT_EQ(Text(s), L"caf\u00e9");
    const char* narrow = s.ToMultiByte();
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow, "caf\xe9");
    s.Assign(L"\u0101b");
    EXPECT_STREQ(s.ToMultiByte(true), "\x01"
                                      "b"); // low bytes only
}

TEST(StringConvert, MultiByteCodePages) {
    C_String s;
    EXPECT_TRUE(s.AssignMultiByte("\xd0\x9f\xce\xa3\xe2\xa0\x8b", 7, false, CP_UTF8));
    EXPECT_EQ(Text(s), L"\u041f\u03a3\u280b");
    EXPECT_TRUE(s.AssignMultiByte("\xff\x80", 2, true, CP_UTF8));
    EXPECT_EQ(Text(s), L"\u00ff\u0080");
    // An unknown code page falls back to the ANSI one.
    EXPECT_TRUE(s.AssignMultiByte("abc", 3, false, 12345));
    EXPECT_EQ(Text(s), L"abc");
    EXPECT_TRUE(s.AssignMultiByte(nullptr, 5, false, CP_ACP));
    EXPECT_EQ(Text(s), L"");
}

TEST(StringConvert, Utf8DecodeAndEncodeThroughUnits) {
    C_String raw, decoded, encoded;
    raw.AssignMultiByte("\xe2\x82\xac ok", 6, true, 0); // bytes as units
    EXPECT_TRUE(raw.DecodeUtf8To(decoded));
    EXPECT_EQ(Text(decoded), L"\u20ac ok");
    EXPECT_TRUE(decoded.EncodeUtf8To(encoded));
    EXPECT_EQ(Text(encoded), Text(raw));
}

TEST(StringConvert, InvalidUtf8IsNotLost) {
    C_String raw, decoded;
    raw.AssignMultiByte("a\xff\xfe"
                        "b",
                        4, true, 0);
    ASSERT_TRUE(raw.DecodeUtf8To(decoded));
    EXPECT_EQ(decoded.GetAt(0), L'a');
    EXPECT_EQ(decoded.GetAt(decoded.GetLength() - 1), L'b');
    EXPECT_GE(decoded.GetLength(), 3u); // invalid bytes become replacement characters, never vanish silently
}

// --- tokens and lines ------------------------------------------------------------------------------------

TEST(StringTokens, SplitFirstWithQuotes) {
    C_String s, token;
    s.Assign(L"\"a,b\",c");
    EXPECT_TRUE(s.SplitFirst(token, L","));
    EXPECT_EQ(Text(token), L"a,b");
    EXPECT_EQ(Text(s), L"c");
    EXPECT_TRUE(s.SplitFirst(token, L","));
    EXPECT_EQ(Text(token), L"c");
    EXPECT_FALSE(s.SplitFirst(token, L","));
}

TEST(StringTokens, SplitFirstSkipsAndKeeps) {
    C_String s, token;
    s.Assign(L"  one  \"two \\\" x\" three");
    EXPECT_TRUE(s.SplitFirst(token, L" "));
    EXPECT_EQ(Text(token), L"one");
    EXPECT_TRUE(s.SplitFirst(token, L" ", C_String::SPLIT_KEEP_QUOTES));
    EXPECT_EQ(Text(token), L"\"two \\\" x\"");
    s.Assign(L",x");
    EXPECT_TRUE(s.SplitFirst(token, L",", C_String::SPLIT_NO_SKIP));
    EXPECT_EQ(Text(token), L"");
    EXPECT_EQ(Text(s), L"x");
}

TEST(StringTokens, Tokenize) {
    C_String s;
    s.Assign(L",a,,b");
    EXPECT_STREQ(s.Tokenize(true, L","), L"a");
    EXPECT_EQ(Text(s), L",a"); // the count follows the first token
    EXPECT_STREQ(s.Tokenize(false, L","), L"b");
    EXPECT_EQ(s.Tokenize(false, L","), nullptr);
}

TEST(StringLines, ReadLineHandlesCrLf) {
    C_String s, line;
    s.Assign(L"a\r\nb");
    s.RewindLines();
    EXPECT_TRUE(s.ReadLine(line));
    EXPECT_EQ(Text(line), L"a");
    EXPECT_TRUE(s.ReadLine(line));
    EXPECT_EQ(Text(line), L"b");
    EXPECT_FALSE(s.ReadLine(line));
    s.Assign(L"x\n\ny\n\r\r");
    s.RewindLines();
    std::wstring got;
    while (s.ReadLine(line))
        got += L"[" + Text(line) + L"]";
    EXPECT_EQ(got, L"[x][][y]");
}

// --- free functions --------------------------------------------------------------------------------------

TEST(TextFunctions, Paths) {
    wchar_t path[64];
    wcscpy(path, L"C:\\dir\\x.txt");
    EXPECT_TRUE(RemoveFileName(path));
    EXPECT_STREQ(path, L"C:\\dir");
    wcscpy(path, L"C:\\x.txt");
    EXPECT_TRUE(RemoveFileName(path));
    EXPECT_STREQ(path, L"C:\\");
    wcscpy(path, L"x.txt");
    RemoveFileName(path);
    EXPECT_STREQ(path, L"");
    wcscpy(path, L"C:x.txt");
    EXPECT_FALSE(RemoveFileName(path));
    EXPECT_STREQ(path, L"C:x.txt");
    wcscpy(path, L"dir/sub/x");
    EXPECT_TRUE(RemoveFileName(path));
    EXPECT_STREQ(path, L"dir/sub");
    wcscpy(path, L"\\x");
    RemoveFileName(path);
    EXPECT_STREQ(path, L"\\x"); // a leading separator is never cut

    EXPECT_STREQ(FileNameOf(L"C:\\a/b\\c.txt"), L"c.txt");
    EXPECT_STREQ(FileNameOf(L"dir\\"), L"dir\\");
    C_String ext;
    GetExtension(L"C:\\a.b\\file.HTML?x=1", ext);
    EXPECT_EQ(Text(ext), L".HTML");
    GetExtension(L"C:\\a.b\\file", ext);
    EXPECT_EQ(Text(ext), L"");
    GetExtension(L"name. txt", ext);
    EXPECT_EQ(Text(ext), L"");
}

TEST(TextFunctions, CutExtension) {
    wchar_t name[32];
    wcscpy(name, L"name.exe");
    CutExtension(name, 3);
    EXPECT_STREQ(name, L"name");
    wcscpy(name, L"name.html");
    CutExtension(name, 3);
    EXPECT_STREQ(name, L"name.html");
}

TEST(TextFunctions, QuotesBlanksAndCommandLines) {
    wchar_t text[32];
    wcscpy(text, L"\"quoted\"");
    StripQuotes(text);
    EXPECT_STREQ(text, L"quoted");
    wcscpy(text, L"\"");
    StripQuotes(text);
    EXPECT_STREQ(text, L"\"");
    wcscpy(text, L"a b \t  ");
    TrimTrailingBlanks(text);
    EXPECT_STREQ(text, L"a b \t");
    wcscpy(text, L"a\r\nb");
    LineBreaksToSpaces(text);
    EXPECT_STREQ(text, L"a  b");
    EXPECT_STREQ(SkipFirstArgument(L"\"C:\\Program Files\\v.exe\" -p COM3"), L"-p COM3");
    EXPECT_STREQ(SkipFirstArgument(L"v.exe"), L"");
    char narrow[8];
    EXPECT_TRUE(WideToAnsi(L"caf\u00e9", narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "caf\xe9");
    EXPECT_FALSE(WideToAnsi(L"far too long for it", narrow, sizeof narrow));
}
