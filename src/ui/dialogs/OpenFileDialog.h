#pragma once
// The open dialog of Send File: the system's common dialog owned by the main window, for an existing file.
#include "foundation/base/TextString.h"

#include <windows.h>

namespace OpenFileDialog {

// filterText as the string table holds it ("All Files|*.*||"). False when the user cancelled or the dialog
// could not be shown.
bool Ask(HWND owner, const wchar_t* filterText, const wchar_t* title, C_String& path);

} // namespace OpenFileDialog
