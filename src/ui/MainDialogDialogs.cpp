// The options dialog, the search bar and the tag dialog, as the main window reaches them. Until those dialogs
// exist, the Options button only redraws the port buttons (as it does after the dialog), the Search button's
// own check state stands in for the search bar, and a port button clicked with Ctrl or Shift changes nothing.
#include "ui/MainDialog.h"

void C_MainDialog::RunOptionsDialog() {
    PostMessageW(GetWindow(), WM_PORTS_CHANGED, PORTS_CHANGED_REDRAW, 0);
}

void C_MainDialog::ToggleSearchBar() {}

void C_MainDialog::EditPortTag(uint32_t) {}
