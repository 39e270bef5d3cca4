#pragma once
// The save dialog that Save and Log share: the system's common save dialog owned by the main window, asking
// before overwriting, hiding the read-only box, insisting on an existing folder and showing hidden files.
#include "foundation/base/TextString.h"

#include <windows.h>

namespace SaveFileDialog {

// The longest path the dialog hands back, in characters.
constexpr DWORD kMaxPath = 32768;
constexpr const wchar_t* kDefaultExtension = L"txt";

// The system's filter list (entries ended by zeros, the list by two) from a string-table text whose last
// character is the separator, as in "TXT Format|*.txt||". False for an empty text.
bool FilterList(const wchar_t* text, C_String& out);

// Shows the dialog with suggestedName and the filter entry filterIndex (1-based) chosen. When the system
// refuses the suggested name as invalid, the dialog is shown again without one. The chosen filter index, or 0
// when the user cancelled or the dialog could not be shown.
DWORD Ask(HWND owner, const wchar_t* suggestedName, const wchar_t* filterText, const wchar_t* title, DWORD filterIndex,
          C_String& path);

} // namespace SaveFileDialog
