#pragma once
// Dark-mode lookups: whether the user has chosen the dark theme for applications, and the window theme that
// goes with it. Both are best effort: on systems without dark mode the answer is "light" and applying a theme
// changes nothing.
#include <windows.h>

namespace DarkMode {

// True when the user's personalisation settings ask applications to use the dark theme and no high-contrast
// scheme is active.
bool AppsUseDarkTheme();

// Dark or light title bar and system-drawn parts (scroll bars) for a top-level window.
void ApplyWindowTheme(HWND window, bool dark);

// Dark or light drop-down button, edit field and list of a combo box.
void ApplyComboBoxTheme(HWND comboBox, bool dark);

} // namespace DarkMode
