#pragma once
// The terminal fonts the options dialog offers: every installed fixed-pitch font, under its full name, once.
// Vertical variants ("@" names, for writing top to bottom) are left out: they draw the text on its side.
#include <windows.h>

#include <string>
#include <vector>

namespace FontList {

constexpr wchar_t kVerticalPrefix = L'@';

// Sorted as the font list shows them (the user's locale, ignoring case); false when enumeration failed.
bool ListFixedPitchFonts(std::vector<std::wstring>& names);

// The step after enumeration, apart so it can be fed any names: drops "@" names and empty ones, sorts, and keeps
// each name once, in the spelling met first (face names ignore case).
void SortUnique(std::vector<std::wstring>& names);

} // namespace FontList
