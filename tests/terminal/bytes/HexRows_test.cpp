// The hex dump's rows as text, the columns a click maps to, and what the search bar's text looks for.
#include "terminal/bytes/HexRows.h"
#include "terminal/bytes/HexSearch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

C_ByteJournal::Row MakeRow(const std::string& bytes, uint64_t offset, bool blockStart = true,
                           ByteDirection direction = ByteDirection::Received, uint64_t time = 0) {
    C_ByteJournal::Row row{};
    row.offset = offset;
    row.blockStart = blockStart;
    row.direction = direction;
    row.time = time;
    row.count = uint8_t(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        row.bytes[i] = uint8_t(bytes[i]);
    return row;
}

std::wstring Text(const C_ByteJournal::Row& row, uint32_t columns, uint64_t largestOffset = 0) {
    wchar_t out[HexRows::kMaximumWidth];
    return std::wstring(out, HexRows::Format(row, HexRows::LayoutFor(columns, largestOffset), out));
}

// 14:03:07.125 local time on a winter's day, as the journal stores it.
uint64_t LocalMoment() {
    SYSTEMTIME local = {2024, 1, 5, 12, 14, 3, 7, 125};
    FILETIME localFile, utc;
    SystemTimeToFileTime(&local, &localFile);
    LocalFileTimeToFileTime(&localFile, &utc);
    return uint64_t(utc.dwHighDateTime) << 32 | utc.dwLowDateTime;
}

TEST(HexRows, KnownBytesGiveKnownRowsWithAlignedColumnsOnShortRows) {
    const std::string full("Hello World\r\n\x00\xff\x1b", 16);
    const uint64_t time = LocalMoment();
    struct Case {
        const char* name;
        C_ByteJournal::Row row;
        uint32_t columns;
        uint64_t largestOffset;
        const wchar_t* text;
    } cases[] = {
        {"full row", MakeRow(full, 0), HexRows::COLUMNS_PLAIN, 0,
         L"00000000  48 65 6C 6C 6F 20 57 6F  72 6C 64 0D 0A 00 FF 1B  |Hello World.....|"},
        {"short row", MakeRow("[31m\x80~ ", 0x10), HexRows::COLUMNS_PLAIN, 0,
         L"00000010  5B 33 31 6D 80 7E 20                              |[31m.~ |"},
        {"time on a block's first row", MakeRow("A", 0xABCDEF, true, ByteDirection::Received, time),
         HexRows::COLUMN_TIME, 0, L"14:03:07.125  00ABCDEF  41                                                |A|"},
        {"no time further down the block", MakeRow("B", 0x20, false, ByteDirection::Received, time),
         HexRows::COLUMN_TIME, 0, L"              00000020  42                                                |B|"},
        {"direction of sent bytes", MakeRow("ok", 3, true, ByteDirection::Sent), HexRows::COLUMN_DIRECTION, 0,
         L"TX  00000003  6F 6B                                             |ok|"},
        {"direction of received bytes", MakeRow("\t", 3), HexRows::COLUMN_DIRECTION, 0,
         L"RX  00000003  09                                                |.|"},
        {"offsets past 4 GiB widen", MakeRow("z", 0x100000000ull), HexRows::COLUMNS_PLAIN, 0x100000010ull,
         L"100000000  7A                                                |z|"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.row, c.columns, c.largestOffset), c.text) << c.name;
}

TEST(HexRows, AClickOnAPairItsBlankOrItsCharacterMeansThatByte) {
    const HexRows::Layout layout = HexRows::LayoutFor(HexRows::COLUMNS_PLAIN, 0);
    ASSERT_EQ(layout.hexStart, 10u);
    ASSERT_EQ(layout.charactersStart, 60u);
    struct Case {
        uint32_t column;
        uint32_t count;
        int byte;
    } cases[] = {
        {0, 16, -1},  {9, 16, -1},                // the offset
        {10, 16, 0},  {11, 16, 0},  {12, 16, 0},  // the first pair and its blank
        {33, 16, 7},  {34, 16, 8},  {35, 16, 8},  // the extra blank belongs to the ninth
        {57, 16, 15}, {59, 16, 16},               // the gap: after the row
        {13, 1, 1},                               // a short row: right of its bytes is after it
        {60, 16, 0},  {61, 16, 0},  {76, 16, 15}, // the fence, then the characters
        {70, 3, 3},                               //
    };
    for (const Case& c : cases)
        EXPECT_EQ(HexRows::ByteAtColumn(layout, c.column, c.count), c.byte) << "column " << c.column;
    EXPECT_EQ(HexRows::HexColumn(layout, 8), 35u);
    EXPECT_EQ(HexRows::CharacterColumn(layout, 15), 76u);
}

TEST(HexSearch, HexPairsAreBytesAndAnyTextIsItsCharacters) {
    struct Case {
        const wchar_t* text;
        std::vector<uint8_t> bytes; // empty: not hex pairs
    } cases[] = {
        {L"0d 0a", {0x0D, 0x0A}},
        {L"DEADbeef", {0xDE, 0xAD, 0xBE, 0xEF}},
        {L" 0x1B 0x5b33 ", {0x1B, 0x5B, 0x33}},
        {L"abc", {}},      // odd
        {L"0d 0", {}},     //
        {L"hello", {}},    //
        {L"0x", {}},       //
        {L"ff\x00FF", {}}, //
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(HexSearch::ParseHexPairs(c.text, bytes), !c.bytes.empty()) << c.text;
        if (!c.bytes.empty()) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
    HexSearch::Patterns patterns;
    ASSERT_TRUE(HexSearch::Parse(L"\x041F"
                                 L"a",
                                 false, patterns));
    EXPECT_EQ(patterns.characters, (std::vector<uint8_t>{0xD0, 0x9F, 'a'})) << "characters as UTF-8";
    EXPECT_FALSE(HexSearch::Parse(L"", false, patterns));
}

TEST(HexSearch, FindsWhicheverOfTheBytesAndTheCharactersComesFirst) {
    C_ByteJournal journal;
    const std::string data = "xx beef \xbe\xef BEEF";
    journal.RecordBytes(ByteDirection::Received, reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size()));
    HexSearch::Patterns anyCase, matchCase;
    ASSERT_TRUE(HexSearch::Parse(L"beef", false, anyCase));
    ASSERT_TRUE(HexSearch::Parse(L"beef", true, matchCase));
    struct Case {
        const HexSearch::Patterns& patterns;
        uint64_t from;
        bool backward;
        int64_t position;
        uint32_t length;
    } cases[] = {
        {anyCase, 0, false, 3, 4},    // the characters
        {anyCase, 4, false, 8, 2},    // the bytes come before the next characters
        {anyCase, 9, false, 11, 4},   // in either case
        {matchCase, 9, false, -1, 0}, // not when the case must match
        {anyCase, 11, true, 8, 2},    //
        {anyCase, 8, true, 3, 4},     //
    };
    for (const Case& c : cases) {
        const HexSearch::Match match = HexSearch::Find(journal, c.patterns, c.from, c.backward);
        EXPECT_EQ(match.position, c.position) << "from " << c.from;
        if (c.position >= 0) {
            EXPECT_EQ(match.length, c.length) << "from " << c.from;
        }
    }
}

} // namespace
