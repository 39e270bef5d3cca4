#include "terminal/bytes/HexRows.h"

#include <windows.h>

namespace HexRows {
namespace {

constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
constexpr uint8_t kFirstPrintable = 0x20;
constexpr uint8_t kLastPrintable = 0x7E;
constexpr uint32_t kHalfRow = C_ByteJournal::kRowBytes / 2;

wchar_t* Blanks(wchar_t* out, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        *out++ = L' ';
    return out;
}

wchar_t* Mark(wchar_t* out, const char* mark) {
    while (*mark)
        *out++ = wchar_t(*mark++);
    return out;
}

void TwoDigits(wchar_t* out, unsigned value) {
    out[0] = wchar_t(L'0' + value / 10 % 10);
    out[1] = wchar_t(L'0' + value % 10);
}

} // namespace

Layout LayoutFor(uint32_t columns, uint64_t largestOffset) {
    Layout layout{};
    layout.columns = columns;
    layout.offsetDigits = kMinimumOffsetDigits;
    while (layout.offsetDigits < 16 && (largestOffset >> (4 * layout.offsetDigits)) != 0)
        ++layout.offsetDigits;
    uint32_t at = 0;
    layout.timeStart = at;
    if (columns & COLUMN_TIME)
        at += kTimeWidth + kGap;
    layout.directionStart = at;
    if (columns & COLUMN_DIRECTION)
        at += kDirectionWidth + kGap;
    layout.offsetStart = at;
    layout.hexStart = at + layout.offsetDigits + kGap;
    layout.charactersStart = layout.hexStart + kHexWidth + kGap;
    layout.width = layout.charactersStart + C_ByteJournal::kRowBytes + 2;
    return layout;
}

uint32_t HexColumn(const Layout& layout, uint32_t index) {
    return layout.hexStart + 3 * index + (index >= kHalfRow ? 1 : 0);
}

uint32_t CharacterColumn(const Layout& layout, uint32_t index) {
    return layout.charactersStart + 1 + index;
}

int ByteAtColumn(const Layout& layout, uint32_t column, uint32_t count) {
    if (column < layout.hexStart)
        return -1;
    if (column >= layout.charactersStart) {
        const uint32_t index = column <= layout.charactersStart ? 0 : column - layout.charactersStart - 1;
        return int(index < count ? index : count);
    }
    // A pair and the blank after it belong to the byte; the extra blank after the eighth to the ninth.
    uint32_t relative = column - layout.hexStart;
    if (relative >= 3 * kHalfRow)
        relative = relative == 3 * kHalfRow ? 3 * kHalfRow : relative - 1;
    const uint32_t index = relative / 3;
    return int(index < count ? index : count);
}

void FormatTime(uint64_t fileTime, wchar_t* out) {
    FILETIME utc = {DWORD(fileTime), DWORD(fileTime >> 32)};
    FILETIME local;
    SYSTEMTIME time = {};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time))
        time = {};
    TwoDigits(out, time.wHour);
    out[2] = L':';
    TwoDigits(out + 3, time.wMinute);
    out[5] = L':';
    TwoDigits(out + 6, time.wSecond);
    out[8] = L'.';
    out[9] = wchar_t(L'0' + time.wMilliseconds / 100 % 10);
    TwoDigits(out + 10, time.wMilliseconds % 100);
}

uint32_t Format(const C_ByteJournal::Row& row, const Layout& layout, wchar_t* out) {
    wchar_t* at = out;
    if (layout.columns & COLUMN_TIME) {
        if (row.blockStart)
            FormatTime(row.time, at);
        else
            Blanks(at, kTimeWidth);
        at = Blanks(at + kTimeWidth, kGap);
    }
    if (layout.columns & COLUMN_DIRECTION)
        at = Blanks(Mark(at, row.direction == ByteDirection::Sent ? kSentMark : kReceivedMark), kGap);
    for (uint32_t digit = layout.offsetDigits; digit-- > 0;)
        *at++ = kDigits[(row.offset >> (4 * digit)) & 0xF];
    at = Blanks(at, kGap);
    for (uint32_t i = 0; i < C_ByteJournal::kRowBytes; ++i) {
        if (i == kHalfRow)
            *at++ = L' ';
        if (i < row.count) {
            *at++ = kDigits[row.bytes[i] >> 4];
            *at++ = kDigits[row.bytes[i] & 0xF];
        } else {
            at = Blanks(at, 2);
        }
        if (i + 1 < C_ByteJournal::kRowBytes)
            *at++ = L' ';
    }
    at = Blanks(at, kGap);
    *at++ = kCharactersFence;
    for (uint32_t i = 0; i < row.count; ++i) {
        const uint8_t byte = row.bytes[i];
        *at++ = byte >= kFirstPrintable && byte <= kLastPrintable ? wchar_t(byte) : kUnprintable;
    }
    *at++ = kCharactersFence;
    return uint32_t(at - out);
}

} // namespace HexRows
