// The options dialog, the search bar, the tag dialog and the plot window, as the main window reaches them.
#include "ui/window/MainDialog.h"

#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"
#include "ui/window/SaveFileDialog.h"

#include <commctrl.h>

void C_MainDialog::RunOptionsDialog() {
    // The dialog posts WM_PORTS_CHANGED (redraw) itself once it is gone, OK or not.
    m_optionsDialog.Run(GetInstance(), GetWindow(), *this);
}

// Face, size and weight may have changed: the view makes its fonts again, rewraps and repaints. New stamps
// follow the picture; the powerline glyph test runs with the fonts. Enter and the echo follow the sending options.
void C_MainDialog::ApplyDisplayOptions() {
    ApplySendingOptions();
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

// The tag dialog stores the tag on OK and, OK or not, asks for the buttons to be rebuilt, so the button shows
// the tag and, for an open port, its pressed look again.
void C_MainDialog::EditPortTag(uint32_t index) {
    m_tagDialog.EditTag(GetInstance(), GetWindow(), m_connection.GetPortList(), m_settings, index);
}

void C_MainDialog::TogglePlot() {
    m_plotWindow.Toggle(GetInstance(), GetWindow());
}

void C_MainDialog::SetPlotButtonState(bool open) {
    m_toolbar.SetState(CMD_PLOT, BYTE(TBSTATE_ENABLED | (open ? TBSTATE_CHECKED : 0)));
}

bool C_MainDialog::AskPlotSavePath(HWND owner, PlotFileKind kind, C_String& path) {
    C_String filter, title;
    bool png = kind == PlotFileKind::Png;
    m_strings.LoadString(png ? IDS_PLOT_PNG_FILTER : IDS_PLOT_CSV_FILTER, filter);
    m_strings.LoadString(png ? IDS_PLOT_PNG_TITLE : IDS_PLOT_CSV_TITLE, title);
    return SaveFileDialog::Ask(owner, png ? L"Plot.png" : L"Plot.csv", filter.c_str(), title.c_str(), 1, path) != 0;
}
