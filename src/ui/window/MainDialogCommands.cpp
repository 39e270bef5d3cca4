// The main window's commands: Save, Log, Clear, Hex, the port buttons and the filter field.
#include "ui/window/MainDialog.h"

#include "ui/window/MainWindowIds.h"
#include "ui/window/PortButtons.h"
#include "ui/framework/ResourceIds.h"
#include "ui/window/SaveFileDialog.h"

namespace {

constexpr const wchar_t* kSaveSuggestion = L"Log";
constexpr const wchar_t* kLogSuggestion = L"Log.txt";
constexpr DWORD kTextFilter = 1;
constexpr DWORD kHtmlFilter = 2;
constexpr DWORD kRawLogFilter = 2;
constexpr const wchar_t* kLogButtonFormat = L"%s - %s";

bool KeyDown(int key) {
    return GetKeyState(key) < 0;
}

} // namespace

INT_PTR C_MainDialog::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
    case CMD_OPTIONS:
        RunOptionsDialog();
        return TRUE;
    case CMD_SAVE:
        Save();
        return TRUE;
    case CMD_LOG:
        ToggleLog();
        return TRUE;
    case CMD_CLEAR:
        Clear();
        return TRUE;
    case CMD_SEARCH:
        ToggleSearchBar();
        return TRUE;
    case CMD_PLOT:
        TogglePlot();
        return TRUE;
    case CMD_SEND:
        ToggleSendBar();
        return TRUE;
    case IDCANCEL:
        // Esc closes the program, except in the send bar, where it stops a file send or leaves the bar.
        if (m_sendBar.HasFocus()) {
            m_sendBar.OnEscape();
            return TRUE;
        }
        return C_Dialog::OnCommand(id, wParam, lParam);
    case CMD_HEX:
        ToggleHexView();
        return TRUE;
    case IDC_FILTER:
        OnFilterField(HIWORD(wParam));
        return TRUE;
    default:
        if (id >= CMD_PORT_FIRST && id <= CMD_PORT_LAST) {
            OnPortButton(id);
            return TRUE;
        }
        return C_Dialog::OnCommand(id, wParam, lParam);
    }
}

TextFileEncoding C_MainDialog::TextFilesEncoding() const {
    return (m_options.flags & FLAG_TEXT_FILES_UTF8) ? TextFileEncoding::Utf8WithBom : TextFileEncoding::AnsiCodePage;
}

// In the hex view, Save writes the dump.
void C_MainDialog::Save() {
    if (m_hexView.IsShown()) {
        SaveHexDump();
        return;
    }
    C_String filter, title, path;
    m_strings.LoadString(IDS_SAVE_FILTER, filter);
    m_strings.LoadString(IDS_SAVE_TITLE, title);
    const DWORD chosen =
        SaveFileDialog::Ask(GetWindow(), kSaveSuggestion, filter.c_str(), title.c_str(), kTextFilter, path);
    if (chosen &&
        !m_view.Export(path.c_str(),
                       chosen == kHtmlFilter ? C_TerminalView::ExportFormat::Html : C_TerminalView::ExportFormat::Text,
                       TextFilesEncoding()))
        ShowFailure(CMD_SAVE, IDS_SAVE_FAILED, path.c_str());
}

void C_MainDialog::SaveHexDump() {
    C_String filter, title, path;
    m_strings.LoadString(IDS_SAVE_HEX_FILTER, filter);
    m_strings.LoadString(IDS_SAVE_HEX_TITLE, title);
    if (SaveFileDialog::Ask(GetWindow(), kSaveSuggestion, filter.c_str(), title.c_str(), kTextFilter, path) &&
        !m_hexView.SaveDump(path.c_str()))
        ShowFailure(CMD_SAVE, IDS_SAVE_FAILED, path.c_str());
}

// The reader thread appends to the log under the log's own lock, so a close here never cuts a write in half. The
// dialog's second type is the raw log.
void C_MainDialog::ToggleLog() {
    if (m_options.flags & FLAG_LOGGING) {
        StopLog();
        return;
    }
    C_String filter, title, path, text;
    m_strings.LoadString(IDS_LOG_FILTER, filter);
    m_strings.LoadString(IDS_LOG_TITLE, title);
    const DWORD chosen =
        SaveFileDialog::Ask(GetWindow(), kLogSuggestion, filter.c_str(), title.c_str(), kTextFilter, path);
    if (!chosen)
        return;
    const C_LogFile::Kind kind = chosen == kRawLogFilter ? C_LogFile::Kind::Raw : C_LogFile::Kind::Text;
    // A log that cannot start (its file or its byte-order mark cannot be written) says so, as one that stops does.
    if (!m_log.Open(path.c_str(), kind, TextFilesEncoding())) {
        ShowFailure(CMD_LOG, IDS_LOG_WRITE_FAILED, path.c_str());
        return;
    }
    m_options.flags |= FLAG_LOGGING;
    m_logPath.Assign(path);
    m_strings.LoadString(IDS_WRITE_LOG, text);
    C_String label;
    label.Format(kLogButtonFormat, text.c_str(), path.c_str());
    m_toolbar.SetText(CMD_LOG, label.c_str());
    m_toolbar.SetState(CMD_LOG, TBSTATE_ENABLED | TBSTATE_PRESSED);
    UpdateToolbarWidth();
}

void C_MainDialog::StopLog() {
    C_String text;
    m_strings.LoadString(IDS_WRITE_LOG, text);
    m_options.flags &= ~FLAG_LOGGING;
    m_log.Close();
    m_toolbar.SetText(CMD_LOG, text.c_str());
    m_toolbar.SetState(CMD_LOG, TBSTATE_ENABLED);
    UpdateToolbarWidth();
}

// Posted, so the reader goes on at once; the window ends the log as its button would, and says why.
void C_MainDialog::LogWriteFailed(uint32_t session) {
    PostMessageW(GetWindow(), WM_MAIN_LOG_FAILED, session, 0);
}

// A failure of a log the user has stopped (or replaced) since is old news.
void C_MainDialog::OnLogFailed(uint32_t session) {
    if (!(m_options.flags & FLAG_LOGGING) || session != m_log.Session())
        return;
    StopLog();
    ShowFailure(CMD_LOG, IDS_LOG_WRITE_FAILED, m_logPath.c_str());
}

// The view and the journal: what the user sees goes, in either view. The plot shows the stored lines' numbers,
// so it starts again with them.
void C_MainDialog::Clear() {
    m_view.Clear();
    m_hexView.Clear();
    m_plotWindow.Clear();
}

// The two views share one place; the one shown has the focus, so its keys and its search apply.
void C_MainDialog::ToggleHexView() {
    const bool hex = !m_hexView.IsShown();
    m_hexView.Show(hex ? C_HexView::Visibility::Shown : C_HexView::Visibility::Hidden);
    ShowWindow(m_view.GetWindow(), hex ? SW_HIDE : SW_SHOW);
    m_toolbar.SetState(CMD_HEX, hex ? TBSTATE_ENABLED | TBSTATE_CHECKED : TBSTATE_ENABLED);
    SetFocus(hex ? m_hexView.GetWindow() : m_view.GetWindow());
    OfferSearch();
}

void C_MainDialog::OnPortButton(WORD id) {
    const uint32_t index = uint32_t(id - CMD_PORT_FIRST);
    if (KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT))
        EditPortTag(index);
    else
        SelectPort(index);
}

void C_MainDialog::SelectPort(uint32_t index) {
    C_String name;
    {
        C_PortList& ports = m_connection.GetPortList();
        C_ReadLock hold(ports);
        PortEntry* entry = ports.First();
        for (uint32_t i = 0; entry && i < index; ++i)
            entry = ports.Next(entry);
        if (!entry || !name.Assign(entry->name))
            return;
    }
    if (PortButtons::ClickOn(name.c_str(), m_options.serialPort.c_str(), m_connection.IsOpen()) ==
        PortButtons::Click::Close) {
        m_options.serialPort.Empty();
        m_connection.CloseTarget();
        return;
    }
    m_options.serialPort.Assign(name);
    m_options.lastSelectedPort.Assign(name);
    m_connection.OpenTarget(name.c_str());
}

void C_MainDialog::OnFilterField(WORD notification) {
    if (notification == EN_UPDATE) {
        // Typing re-filters once the user pauses, not at every key.
        SetTimer(GetWindow(), TIMER_FILTER, kFilterMs, nullptr);
    } else if (notification == C_EditIcon::kClicked) {
        // Emptying the field restarts the timer as any edit does; the view shows every line at once meanwhile.
        SetItemText(IDC_FILTER, L"");
        ApplyFilterFromField();
    }
}

void C_MainDialog::ApplyFilterFromField() {
    C_String text;
    GetItemText(IDC_FILTER, text);
    m_filter.SetText(text.c_str());
    m_view.ApplyFilter(!m_filter.IsEmpty());
    OfferSearch();
}

// With a filter the view shows only some lines, and searching them is not offered: an open search bar closes and
// the Search button stays greyed until the filter is emptied. The hex view shows every byte whatever the filter,
// so over it the search stays offered.
void C_MainDialog::OfferSearch() {
    m_searchBar.SetSearchable(m_filter.IsEmpty() || m_hexView.IsShown());
}

// --- activity indicator ------------------------------------------------------------------------------------

// The reader thread, at each hidden line. Only the window's thread may start its timer.
void C_MainDialog::NoteActivity() {
    if (m_activity.Note(GetTickCount64()))
        PostMessageW(GetWindow(), WM_MAIN_START_ACTIVITY, 0, 0);
}

void C_MainDialog::OnActivityTimer() {
    const C_ActivityIndicator::Step step = m_activity.Advance(GetTickCount64());
    if (!step.keepRunning)
        KillTimer(GetWindow(), TIMER_ACTIVITY);
    m_filterIcon.SetIcon(step.icon);
}
