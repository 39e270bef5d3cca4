// The options dialog, the search bar and the tag dialog, as the main window reaches them.
#include "ui/window/MainDialog.h"

#include "ui/window/MainWindowIds.h"

#include <commctrl.h>

void C_MainDialog::RunOptionsDialog() {
    // The dialog posts WM_PORTS_CHANGED (redraw) itself once it is gone, OK or not.
    m_optionsDialog.Run(GetInstance(), GetWindow(), *this);
}

// Face, size and weight may have changed: the view makes its fonts again, rewraps and repaints. New stamps
// follow the picture; the powerline glyph test runs with the fonts.
void C_MainDialog::ApplyDisplayOptions() {
    m_stamps.SetPicture(m_options.timeFormat.c_str());
    m_view.SetFontOptions(m_options.fontName.c_str(), m_options.fontSize, m_options.flags, m_options.powerLine.c_str());
    m_view.CreateFonts();
    m_hexView.SetFontOptions(m_options.fontName.c_str(), m_options.fontSize, m_options.flags);
    m_hexView.CreateFonts();
    m_hexView.SetTimesShown(!m_options.timeFormat.IsEmpty());
}

// The selected port is reopened when nothing is open; every open reads the serial settings afresh.
void C_MainDialog::RefreshPorts() {
    m_connection.RefreshPorts(PORTS_CHANGED_REOPEN);
}

void C_MainDialog::ToggleSearchBar() {
    m_searchBar.Toggle(GetInstance(), GetWindow());
}

// The search bar searches the view that is shown.
bool C_MainDialog::Search(const wchar_t* text, uint32_t searchFlags, int64_t start) {
    if (m_hexView.IsShown())
        return m_hexView.Search(text, searchFlags, start);
    return m_view.Search(text, searchFlags, start);
}

void C_MainDialog::SetSearchButtonState(SearchButtonState state) {
    BYTE bits = TBSTATE_ENABLED;
    if (state == SearchButtonState::Checked)
        bits |= TBSTATE_CHECKED;
    else if (state == SearchButtonState::Indeterminate)
        bits |= TBSTATE_INDETERMINATE;
    m_toolbar.SetState(CMD_SEARCH, bits);
}

// The tag dialog stores the tag on OK and asks for the buttons to be rebuilt, so the button shows it.
void C_MainDialog::EditPortTag(uint32_t index) {
    m_tagDialog.EditTag(GetInstance(), GetWindow(), m_connection.GetPortList(), m_settings, index);
}
