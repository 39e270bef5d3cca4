// The toolbar's commands, the filter field and the dialogs they open, all acting on the tab in front.
#include "ui/window/MainFrame.h"

#include "ui/dialogs/SaveFileDialog.h"
#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"

namespace {

constexpr const wchar_t* kSaveSuggestion = L"Log";
constexpr const wchar_t* kLogSuggestion = L"Log.txt";
constexpr DWORD kTextFilter = 1;
constexpr DWORD kHtmlFilter = 2;
constexpr DWORD kRawLogFilter = 2;
constexpr const wchar_t* kLogButtonFormat = L"%s - %s";

BYTE Checked(bool checked) {
    return BYTE(TBSTATE_ENABLED | (checked ? TBSTATE_CHECKED : 0));
}

} // namespace

// The toolbar's buttons run their rows' handlers; what a command changed is stored at once.
INT_PTR C_MainFrame::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    if (const ToolbarButton* row = ToolbarButtons::Find(id)) {
        (this->*row->run)();
        SaveChangedSettings();
        return TRUE;
    }
    switch (id) {
    case IDCANCEL:
        // Esc closes the program, except in the send bar, where it stops a file send or leaves the bar.
        if (m_sendBar.HasFocus()) {
            m_sendBar.OnEscape();
            return TRUE;
        }
        return C_Dialog::OnCommand(id, wParam, lParam);
    case IDC_FILTER:
        OnFilterField(HIWORD(wParam));
        return TRUE;
    default:
        if (id >= CMD_PORT_FIRST && id <= CMD_PORT_LAST) {
            OnPortButton(id);
            SaveChangedSettings();
            return TRUE;
        }
        return C_Dialog::OnCommand(id, wParam, lParam);
    }
}

// A check button checks itself when clicked, and keys toggle without a click: each state is set from what it
// shows.
void C_MainFrame::RefreshToolbarStates() {
    for (const ToolbarButton& row : ToolbarButtons())
        if (row.command && row.state)
            m_toolbar.SetState(row.command, (this->*row.state)());
}

BYTE C_MainFrame::SendButtonState() const {
    return Checked(m_sendBar.IsVisible());
}

BYTE C_MainFrame::HexButtonState() const {
    const C_SessionTab* front = Front();
    return Checked(front && front->IsHexShown());
}

BYTE C_MainFrame::PlotButtonState() const {
    return Checked(m_plotWindow.IsOpen());
}

BYTE C_MainFrame::LogButtonState() const {
    const C_SessionTab* front = Front();
    return BYTE(TBSTATE_ENABLED | (front && front->Session().IsLogging() ? TBSTATE_PRESSED : 0));
}

TextFileEncoding C_MainFrame::TextFilesEncoding() const {
    return (m_options.flags & FLAG_TEXT_FILES_UTF8) ? TextFileEncoding::Utf8WithBom : TextFileEncoding::AnsiCodePage;
}

void C_MainFrame::RunOptionsDialog() {
    // The dialog posts WM_PORTS_CHANGED (redraw) itself once it is gone, OK or not.
    m_optionsDialog.Run(GetInstance(), GetWindow(), *this);
}

// Face, size and weight may have changed: every tab's views make their fonts again, rewrap and repaint. New
// stamps follow the picture; Enter and the echo follow the sending options.
void C_MainFrame::ApplyDisplayOptions() {
    m_sendBar.SetEnterText(LineEndText(m_options.enterSends));
    for (const auto& tab : m_tabs)
        tab->ApplyOptions(m_options);
    SaveChangedSettings();
}

// The lost ports are reopened; every open reads the serial settings afresh.
void C_MainFrame::RefreshPorts() {
    m_scanner.Refresh(PORTS_CHANGED_REOPEN);
}

// In the hex view, Save writes the dump.
void C_MainFrame::Save() {
    C_SessionTab* front = Front();
    if (!front)
        return;
    if (front->IsHexShown()) {
        SaveHexDump(*front);
        return;
    }
    C_String filter, title, path;
    m_strings.LoadString(IDS_SAVE_FILTER, filter);
    m_strings.LoadString(IDS_SAVE_TITLE, title);
    const DWORD chosen =
        SaveFileDialog::Ask(GetWindow(), kSaveSuggestion, filter.c_str(), title.c_str(), kTextFilter, path);
    if (chosen && !front->View().Export(path.c_str(),
                                        chosen == kHtmlFilter ? C_TerminalView::ExportFormat::Html
                                                              : C_TerminalView::ExportFormat::Text,
                                        TextFilesEncoding()))
        ShowFailure(CMD_SAVE, IDS_SAVE_FAILED, path.c_str());
}

void C_MainFrame::SaveHexDump(C_SessionTab& tab) {
    C_String filter, title, path;
    m_strings.LoadString(IDS_SAVE_HEX_FILTER, filter);
    m_strings.LoadString(IDS_SAVE_HEX_TITLE, title);
    if (SaveFileDialog::Ask(GetWindow(), kSaveSuggestion, filter.c_str(), title.c_str(), kTextFilter, path) &&
        !tab.Hex().SaveDump(path.c_str()))
        ShowFailure(CMD_SAVE, IDS_SAVE_FAILED, path.c_str());
}

// The reader appends to the log under the log's own lock, so a close here never cuts a write in half. The
// dialog's second type is the raw log. A log that cannot start (its file or its byte-order mark cannot be
// written) says so, as one that stops does.
void C_MainFrame::ToggleLog() {
    C_SessionTab* front = Front();
    if (!front)
        return;
    C_PortSession& session = front->Session();
    if (session.IsLogging()) {
        session.StopLog();
        UpdateLogButton();
        return;
    }
    C_String filter, title, path;
    m_strings.LoadString(IDS_LOG_FILTER, filter);
    m_strings.LoadString(IDS_LOG_TITLE, title);
    const DWORD chosen =
        SaveFileDialog::Ask(GetWindow(), kLogSuggestion, filter.c_str(), title.c_str(), kTextFilter, path);
    if (chosen &&
        !session.StartLog(path.c_str(), chosen == kRawLogFilter ? C_LogFile::Kind::Raw : C_LogFile::Kind::Text,
                          TextFilesEncoding()))
        ShowFailure(CMD_LOG, IDS_LOG_WRITE_FAILED, path.c_str());
    UpdateLogButton();
}

// The button shows the front tab's log: its path while it runs.
void C_MainFrame::UpdateLogButton() {
    C_String text;
    m_strings.LoadString(IDS_WRITE_LOG, text);
    C_SessionTab* front = Front();
    if (front && front->Session().IsLogging()) {
        C_String label;
        label.Format(kLogButtonFormat, text.c_str(), front->Session().LogPath().c_str());
        text.Assign(label);
    }
    m_toolbar.SetText(CMD_LOG, text.c_str());
    m_toolbar.SetState(CMD_LOG, LogButtonState());
    UpdateToolbarWidth();
}

void C_MainFrame::Clear() {
    if (C_SessionTab* front = Front())
        front->Clear();
    m_plotWindow.Clear();
}

// The two views share one place; the one shown has the focus, so its keys and its search apply.
void C_MainFrame::ToggleHexView() {
    C_SessionTab* front = Front();
    if (!front)
        return;
    front->ShowHex(!front->IsHexShown());
    m_toolbar.SetState(CMD_HEX, HexButtonState());
    front->Focus();
    OfferSearch();
}

void C_MainFrame::ToggleSearchBar() {
    m_searchBar.Toggle(GetInstance(), GetWindow());
}

// The search bar searches the view shown in front.
bool C_MainFrame::Search(const wchar_t* text, uint32_t searchFlags, int64_t start) {
    C_SessionTab* front = Front();
    return front && front->Search(text, searchFlags, start);
}

void C_MainFrame::SetSearchButtonState(SearchButtonState state) {
    BYTE bits = TBSTATE_ENABLED;
    if (state == SearchButtonState::Checked)
        bits |= TBSTATE_CHECKED;
    else if (state == SearchButtonState::Indeterminate)
        bits |= TBSTATE_INDETERMINATE;
    m_toolbar.SetState(CMD_SEARCH, bits);
}

// With a filter the view shows only some lines, and searching them is not offered: an open search bar closes and
// the Search button stays greyed until the filter is emptied. The hex view shows every byte whatever the filter,
// so over it the search stays offered.
void C_MainFrame::OfferSearch() {
    C_SessionTab* front = Front();
    m_searchBar.SetSearchable(!front || front->Session().Filter().IsEmpty() || front->IsHexShown());
}

void C_MainFrame::TogglePlot() {
    m_plotWindow.Toggle(GetInstance(), GetWindow());
}

// Every session collects while the plot is open, so the tab that comes to the front has its numbers.
void C_MainFrame::SetPlotButtonState(bool open) {
    for (const auto& tab : m_tabs)
        tab->Session().PlotFeed().SetCollecting(open);
    m_toolbar.SetState(CMD_PLOT, Checked(open));
}

bool C_MainFrame::AskPlotSavePath(HWND owner, PlotFileKind kind, C_String& path) {
    C_String filter, title;
    bool png = kind == PlotFileKind::Png;
    m_strings.LoadString(png ? IDS_PLOT_PNG_FILTER : IDS_PLOT_CSV_FILTER, filter);
    m_strings.LoadString(png ? IDS_PLOT_PNG_TITLE : IDS_PLOT_CSV_TITLE, title);
    return SaveFileDialog::Ask(owner, png ? L"Plot.png" : L"Plot.csv", filter.c_str(), title.c_str(), 1, path) != 0;
}

// --- the filter field ----------------------------------------------------------------------------------------

void C_MainFrame::OnFilterField(WORD notification) {
    if (notification == EN_UPDATE) {
        // Typing re-filters once the user pauses, not at every key.
        SetTimer(GetWindow(), TIMER_FILTER, kFilterMs, nullptr);
    } else if (notification == C_EditIcon::kClicked) {
        // Emptying the field restarts the timer as any edit does; the view shows every line at once meanwhile.
        SetItemText(IDC_FILTER, L"");
        ApplyFilterFromField();
    }
}

// The filter is the front tab's; the last one applied is kept for the next start.
void C_MainFrame::ApplyFilterFromField() {
    C_SessionTab* front = Front();
    GetItemText(IDC_FILTER, m_options.filter);
    if (!front)
        return;
    C_FilterText& filter = front->Session().Filter();
    filter.SetText(m_options.filter.c_str());
    front->View().ApplyFilter(!filter.IsEmpty());
    OfferSearch();
}

// The front tab's lines the filter hides animate the field's icon; the reader thread starts it through the
// session (SessionEvent::HiddenLine).
void C_MainFrame::OnActivityTimer() {
    C_SessionTab* front = Front();
    if (!front) {
        KillTimer(GetWindow(), TIMER_ACTIVITY);
        return;
    }
    const C_ActivityIndicator::Step step = front->HiddenLines().Advance(GetTickCount64());
    if (step.keepRunning)
        SetTimer(GetWindow(), TIMER_ACTIVITY, kActivityMs, nullptr);
    else
        KillTimer(GetWindow(), TIMER_ACTIVITY);
    m_filterIcon.SetIcon(step.icon);
}
