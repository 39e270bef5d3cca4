#pragma once
// Comparison without regard to letter case, for the filter and the search. Each UTF-16 unit is mapped to
// its upper case by the system's invariant table, once, into a table of all 65,536 units: comparing is then
// a look-up per character, cheap enough to test every received line against every filter pattern.
#include <cstdint>

namespace CaseFold {

wchar_t Upper(wchar_t ch);
bool Equal(const wchar_t* a, const wchar_t* b, uint32_t count);
// The first position at or after from where pattern occurs in text, ignoring case; -1 when none.
int64_t Find(const wchar_t* text, uint32_t length, const wchar_t* pattern, uint32_t patternLength, uint32_t from = 0);

} // namespace CaseFold
