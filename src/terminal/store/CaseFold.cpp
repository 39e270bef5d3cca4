#include "terminal/store/CaseFold.h"

#include <windows.h>

#include <new>

namespace {

struct UpperTable {
    wchar_t upper[0x10000];
    UpperTable() {
        for (uint32_t i = 0; i < 0x10000; ++i)
            upper[i] = wchar_t(i);
        // Surrogates are left out: alone they are no characters the system would map.
        MapRange(0x0000, 0xD800);
        MapRange(0xE000, 0x10000);
    }
    void MapRange(uint32_t first, uint32_t end) {
        wchar_t* from = upper + first;
        int count = int(end - first);
        wchar_t* mapped = new (std::nothrow) wchar_t[count];
        if (!mapped)
            return;
        if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, from, count, mapped, count) == count)
            for (int i = 0; i < count; ++i)
                from[i] = mapped[i];
        delete[] mapped;
    }
};

const UpperTable& Table() {
    static const UpperTable table; // built once, on first use, by whichever thread comes first
    return table;
}

} // namespace

wchar_t CaseFold::Upper(wchar_t ch) {
    return Table().upper[uint16_t(ch)];
}

bool CaseFold::Equal(const wchar_t* a, const wchar_t* b, uint32_t count) {
    const wchar_t* upper = Table().upper;
    for (uint32_t i = 0; i < count; ++i)
        if (upper[uint16_t(a[i])] != upper[uint16_t(b[i])])
            return false;
    return true;
}

int64_t CaseFold::Find(const wchar_t* text, uint32_t length, const wchar_t* pattern, uint32_t patternLength,
                       uint32_t from) {
    if (patternLength == 0 || patternLength > length)
        return patternLength == 0 && from <= length ? int64_t(from) : -1;
    const wchar_t* upper = Table().upper;
    wchar_t first = upper[uint16_t(pattern[0])];
    for (uint32_t at = from; at + patternLength <= length; ++at)
        if (upper[uint16_t(text[at])] == first && Equal(text + at + 1, pattern + 1, patternLength - 1))
            return at;
    return -1;
}
