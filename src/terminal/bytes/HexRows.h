#pragma once
// The text of a hex-dump row, shared by the hex view, its copy and save, and the command-line dump:
//
//   14:03:07.125  RX  0000A3F0  48 65 6C 6C 6F 0D 0A 00  FF 41                    |Hello....A|
//
// the arrival time on a block's first row (when times are shown), the direction (once the journal holds sent
// bytes), the offset in the direction's stream, 16 bytes in hex with a gap after the eighth, and the same bytes
// as characters, '.' for all but printable ASCII. Columns stay aligned on short rows. Window-free.
#include "terminal/bytes/ByteJournal.h"

#include <cstdint>

namespace HexRows {

enum Columns : uint32_t {
    COLUMNS_PLAIN = 0,
    COLUMN_TIME = 0x1,      // the block's arrival time, local, HH:MM:SS.mmm
    COLUMN_DIRECTION = 0x2, // RX or TX
};

constexpr uint32_t kMinimumOffsetDigits = 8;
constexpr uint32_t kTimeWidth = 12;
constexpr uint32_t kDirectionWidth = 2;
constexpr uint32_t kGap = 2;       // between the columns
constexpr uint32_t kHexWidth = 48; // 16 pairs, blanks between them, one more after the eighth
constexpr uint32_t kMaximumWidth = 128;
constexpr char kReceivedMark[] = "RX";
constexpr char kSentMark[] = "TX";
constexpr wchar_t kUnprintable = L'.';
constexpr wchar_t kCharactersFence = L'|';

// Where each column starts; width is the longest row's length.
struct Layout {
    uint32_t columns;
    uint32_t offsetDigits;
    uint32_t timeStart;
    uint32_t directionStart;
    uint32_t offsetStart;
    uint32_t hexStart;
    uint32_t charactersStart; // the opening fence
    uint32_t width;
};

// The offsets take as many hex digits as the largest needs, at least eight.
Layout LayoutFor(uint32_t columns, uint64_t largestOffset);

// The text column of a byte's hex pair and of its character.
uint32_t HexColumn(const Layout& layout, uint32_t index);
uint32_t CharacterColumn(const Layout& layout, uint32_t index);
// The byte of a row of count bytes whose hex pair or character is at the text column: -1 left of the first,
// count right of the last (so a click there means "after the row").
int ByteAtColumn(const Layout& layout, uint32_t column, uint32_t count);

// The local time of a FILETIME (UTC) as HH:MM:SS.mmm, kTimeWidth characters.
void FormatTime(uint64_t fileTime, wchar_t* out);

// The row's text without a line end; its length (at most layout.width).
uint32_t Format(const C_ByteJournal::Row& row, const Layout& layout, wchar_t* out);

} // namespace HexRows
