// The main window's start, end and messages. Commands are in MainDialogCommands.cpp, the port buttons and the
// status balloon in MainDialogPorts.cpp.
#include "ui/window/MainDialog.h"

#include "platform/window/Dpi.h"
#include "connection/discovery/Tags.h"
#include "ui/framework/Language.h"
#include "ui/window/MainWindowIds.h"
#include "ui/window/PortButtons.h"
#include "ui/framework/ProgramTitle.h"
#include "ui/framework/ResourceIds.h"
#include "ui/window/StartOptions.h"
#include "ui/framework/WindowPlacement.h"

#include <commctrl.h>
#include <dbt.h>

#include <cwchar>

namespace {

constexpr UINT kDpiChanged = 0x02E0; // WM_DPICHANGED
constexpr int kViewGap = 2;          // pixels between the band container and the view, at 96 DPI

// The toolbar's images, in their index order: the program's buttons, then the port kinds (see PortButtons), then
// the buttons added since, so the port kinds keep their places.
constexpr UINT kToolbarIcons[] = {
    IDI_OPTIONS,        IDI_SAVE,         IDI_LOG,         IDI_CLEAR,        IDI_SEARCH,      IDI_PORT_GENERIC,
    IDI_PORT_STM,       IDI_PORT_FTDI,    IDI_PORT_SILABS, IDI_PORT_QINHENG, IDI_PORT_NORDIC, IDI_PORT_NXP,
    IDI_PORT_ESPRESSIF, IDI_PORT_ARM,     IDI_PORT_PIPE,   IDI_PORT_TCP,     IDI_PORT_SEGGER, IDI_PORT_PROLIFIC,
    IDI_PORT_UDP,       IDI_PORT_CYPRESS, IDI_SEND,        IDI_PLOT,         IDI_HEX,
};
// After the port kinds, so their images keep their places as PortButtons gives them.
constexpr int kSendImage = 20;
constexpr int kPlotImage = 21;
constexpr int kHexImage = 22;

struct FixedButton {
    WORD command; // 0: a separator
    int image;
    UINT text;
    C_Toolbar::ButtonKind kind;
};
constexpr FixedButton kFixedButtons[PortButtons::kFixedButtons] = {
    {CMD_OPTIONS, 0, IDS_OPTIONS, C_Toolbar::BUTTON_PLAIN},
    {CMD_SEARCH, 4, IDS_SEARCH, C_Toolbar::BUTTON_CHECK},
    {CMD_SEND, kSendImage, IDS_SEND, C_Toolbar::BUTTON_CHECK},
    {CMD_HEX, kHexImage, IDS_HEX, C_Toolbar::BUTTON_CHECK},
    {CMD_PLOT, kPlotImage, IDS_PLOT, C_Toolbar::BUTTON_CHECK},
    {0, 0, 0, C_Toolbar::BUTTON_PLAIN},
    {CMD_CLEAR, 3, IDS_CLEAR, C_Toolbar::BUTTON_PLAIN},
    {0, 0, 0, C_Toolbar::BUTTON_PLAIN},
    {CMD_SAVE, 1, IDS_SAVE, C_Toolbar::BUTTON_PLAIN},
    {CMD_LOG, 2, IDS_WRITE_LOG, C_Toolbar::BUTTON_PLAIN},
    {0, 0, 0, C_Toolbar::BUTTON_PLAIN},
};
// Pixels at 96 DPI: the open port's tooltip adds its input lines on a line of their own, which a tooltip only
// breaks with a width set.
constexpr int kPortTipWidth = 600;
constexpr int kToolbarBand = 0;
constexpr int kWebLinkBand = 1;

} // namespace

C_MainDialog::C_MainDialog(C_ServiceHooks& services)
    : m_services(services), m_assembly(m_view.Store()), m_tap(m_assembly), m_connection(m_tap), m_hexView(m_journal) {}

C_MainDialog::~C_MainDialog() = default;

INT_PTR C_MainDialog::Run(HINSTANCE instance) {
    return RunModal(instance, IDD_MAIN, 0, nullptr);
}

// --- start ---------------------------------------------------------------------------------------------------

INT_PTR C_MainDialog::OnInitDialog() {
    // 1. Icon and title.
    SetIcon(IDI_PROGRAM);
    FormatProgramTitle(kProductTitle, m_baseTitle);
    SetTitleText(nullptr);
    // 2. The problem report learns where to send itself.
    m_services.ConfigureProblemReport(IDI_PROGRAM, kReportPath);
    // 3. The activity indicator and the filter lock start at rest with the object; the balloon needs the window.
    m_balloon.Create(GetWindow());
    // 4. The default font, for when none is stored.
    m_options.ChooseDefaultFont();
    // 5. Command line.
    StartOptions start;
    ReadStartOptions(nullptr, start);
    m_strings.SetLanguage(start.language ? start.language : Language::kUserDefault);
    m_commandLinePort.Assign(start.port);
    // 6. Settings.
    ReadSettings(start.port.c_str(), start.baudRate);
    // 7. Size grip, web link, band container.
    m_sizeGrip.Attach(GetWindow());
    CreateBandsAndLink();
    // 8. Terminal view.
    CreateView();
    // 9. Toolbar as the first band, the web link as the second.
    BuildToolbar();
    // 10. Filter icon and cue banner.
    AttachFilterField();
    // 11. Focus.
    m_view.Focus();
    // 12. Minimum size.
    SetMinimumSize(kMinimumWidth, kMinimumHeight, true);
    // 13. Layout.
    RegisterLayout();
    // 14. Placement.
    WindowPlacement::Restore(GetWindow(), HKEY_CURRENT_USER, kSettingsKeyPath, SettingName::MainPlacement, 0);
    // 15. Connection: the first scan opens the stored port.
    WireReceivePath();
    m_connection.Start(*this, *this);
    m_connection.RefreshPorts(PORTS_CHANGED_REOPEN);
    // 16. Update check.
    if (m_options.flags & FLAG_AUTO_UPDATE)
        m_services.StartUpdateCheck(GetWindow(), HKEY_CURRENT_USER, kSettingsKeyPath, SettingName::LastCheck);
    // The plot: its span and key, and the window again if it was open at the last close.
    m_plotWindow.SetSpanSeconds(m_options.plotSpan);
    m_plotWindow.WatchKeys(GetWindow(), WM_MAIN_TOGGLE_PLOT);
    if (m_options.flags & FLAG_PLOT_OPEN)
        TogglePlot();
    // 17.
    return kFocusSet;
}

void C_MainDialog::ReadSettings(const wchar_t* commandLinePort, uint32_t commandLineBaud) {
    OpenProgramSettings(m_settings);
    m_options.Read(m_settings, commandLinePort, commandLineBaud);
    m_stamps.SetPicture(m_options.timeFormat.c_str());
    m_stamps.SetPowerLine(m_options.powerLine.c_str());
    m_stamps.SetAnimationCharacters(m_options.animationChars.c_str());
    // The field's change notification applies the stored filter through TIMER_FILTER. Until then it already
    // counts as the applied text, so a window closed sooner still stores it.
    m_filter.SetText(m_options.filter.c_str());
    SetItemText(IDC_FILTER, m_options.filter.c_str());
    m_sendBar.History().Read(m_settings, SettingName::SendHistorySection);
    m_sendBar.SetMode(m_options.sendHex ? SendMode::Hex : SendMode::Text);
    ApplySendingOptions();
}

void C_MainDialog::CreateBandsAndLink() {
    m_webLink.Attach(GetItem(IDC_WEB_LINK), kWebText, kWebAddress,
                     LoadCursorW(GetInstance(), MAKEINTRESOURCEW(IDC_HAND_LINK)));
    m_bands.Create(GetWindow(), IDC_MAIN_BANDS);
}

// The view is wired before its window exists, so its first fonts and first paint already follow the options.
void C_MainDialog::CreateView() {
    m_view.SetSendSink(this);
    m_view.SetHost(this);
    m_view.SetFilter(&m_filter);
    m_view.SetTimeStamps(&m_stamps);
    m_view.SetKeyModeSource(&m_assembly.Interpreter());
    m_view.SetFontOptions(m_options.fontName.c_str(), m_options.fontSize, m_options.flags, m_options.powerLine.c_str());
    m_view.CreateInDialog(GetWindow(), IDC_MAIN_VIEW);
    m_sendBar.Create(GetInstance(), GetWindow(), IDC_MAIN_SEND_BAR);
    // The hex view takes the terminal view's place when shown; RegisterLayout puts it there.
    m_hexView.SetSendSink(this);
    m_hexView.SetHost(this);
    m_hexView.SetKeyModeSource(&m_assembly.Interpreter());
    m_hexView.SetFontOptions(m_options.fontName.c_str(), m_options.fontSize, m_options.flags);
    m_hexView.SetTimesShown(!m_options.timeFormat.IsEmpty());
    m_hexView.Create(GetWindow(), {0, 0, 1, 1}, IDC_MAIN_HEX_VIEW, C_HexView::Visibility::Hidden);
}

void C_MainDialog::BuildToolbar() {
    m_toolbar.Create(m_bands.Window(), IDC_MAIN_TOOLBAR, GetInstance(), kToolbarIcons,
                     int(sizeof(kToolbarIcons) / sizeof(kToolbarIcons[0])), kToolbarImageSize);
    // Buttons and tooltips report to the main window directly rather than through the band container.
    SendMessageW(m_toolbar.Window(), TB_SETPARENT, reinterpret_cast<WPARAM>(GetWindow()), 0);
    // Tab reaches the toolbar, whose arrow keys then move between its buttons, so a port's menu opens from the
    // keyboard too (the context-menu key or Shift+F10 on the button).
    SetWindowLongPtrW(m_toolbar.Window(), GWL_STYLE, GetWindowLongPtrW(m_toolbar.Window(), GWL_STYLE) | WS_TABSTOP);
    SetWindowLongPtrW(m_bands.Window(), GWL_EXSTYLE,
                      GetWindowLongPtrW(m_bands.Window(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    m_toolbarKeys.Attach(m_toolbar.Window(), GetWindow());
    if (HWND tips = reinterpret_cast<HWND>(SendMessageW(m_toolbar.Window(), TB_GETTOOLTIPS, 0, 0)))
        SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, Dpi::Scale(kPortTipWidth, Dpi::ForWindow(GetWindow())));
    C_String text;
    for (const FixedButton& button : kFixedButtons) {
        if (button.command == 0) {
            m_toolbar.AddSeparator();
            continue;
        }
        m_strings.LoadString(button.text, text);
        m_toolbar.AddButton(button.command, button.image, text.c_str(), button.kind);
    }
    const SIZE ideal = m_toolbar.IdealSize();
    SetWindowPos(m_toolbar.Window(), nullptr, 0, 0, ideal.cx, ideal.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    m_bands.AddBand(m_toolbar.Window(), ideal.cx, C_BandContainer::BAND_CHEVRON);
    const int linkWidth = m_webLink.TextWidth() + Dpi::Scale(kWebLinkPadding, Dpi::ForWindow(GetWindow()));
    m_bands.AddBand(m_webLink.Window(), linkWidth, C_BandContainer::BAND_FIXED);
}

void C_MainDialog::AttachFilterField() {
    m_filterIcon.Attach(GetItem(IDC_FILTER), GetInstance(), C_ActivityIndicator::kPhaseIcons[0]);
    C_String cue;
    m_strings.LoadString(IDS_FILTER_CUE, cue);
    // TRUE: the cue stays while the field has the focus.
    SendItemMessage(IDC_FILTER, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
    SendItemMessage(IDC_FILTER, EM_LIMITTEXT, C_PersistedOptions::kFilterLimit, 0);
}

// The view starts below the band container, whatever height the toolbar's font and DPI gave it.
void C_MainDialog::RegisterLayout() {
    HWND window = m_view.GetWindow();
    RECT view{};
    GetWindowRect(window, &view);
    MapWindowPoints(nullptr, GetWindow(), reinterpret_cast<POINT*>(&view), 2);
    const int top = m_bands.Height() + Dpi::Scale(kViewGap, Dpi::ForWindow(GetWindow()));
    SetWindowPos(window, nullptr, view.left, top, view.right - view.left, view.bottom - top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(m_hexView.GetWindow(), window, view.left, top, view.right - view.left, view.bottom - top,
                 SWP_NOACTIVATE);
    m_layout.Register(GetWindow(), window, C_LayoutManager::RULE_STRETCH_WIDTH | C_LayoutManager::RULE_STRETCH_HEIGHT);
    m_layout.Register(GetWindow(), m_hexView.GetWindow(),
                      C_LayoutManager::RULE_STRETCH_WIDTH | C_LayoutManager::RULE_STRETCH_HEIGHT);
    m_layout.Register(GetWindow(), GetItem(IDC_FILTER),
                      C_LayoutManager::RULE_STRETCH_WIDTH | C_LayoutManager::RULE_MOVE_DOWN);
    m_layout.Register(GetWindow(), m_sendBar.GetWindow(),
                      C_LayoutManager::RULE_STRETCH_WIDTH | C_LayoutManager::RULE_MOVE_DOWN);
    if (m_options.flags & FLAG_SEND_BAR) {
        m_sendBar.Show(true);
        m_toolbar.SetState(CMD_SEND, TBSTATE_ENABLED | TBSTATE_CHECKED);
    }
    PlaceSendBar();
}

void C_MainDialog::WireReceivePath() {
    m_assembly.SetLogSink(&m_log);
    m_assembly.SetTimeStamps(&m_stamps);
    m_assembly.SetShownTextSink(&m_plotFeed);
    m_journal.SetCapacity(m_options.hexJournalSize << 20);
    m_log.SetFailureHost(this);
    m_tap.AddRecorder(&m_journal);
    m_tap.AddRecorder(&m_log);
}

// --- end -----------------------------------------------------------------------------------------------------

INT_PTR C_MainDialog::OnEnd(INT_PTR) {
    // An open search bar closes as its own close box would, so its place is kept for the next start too.
    if (m_searchBar.IsOpen())
        ToggleSearchBar();
    // So does the plot window; whether it was open is kept, and so is its span.
    m_options.flags = m_plotWindow.IsOpen() ? m_options.flags | FLAG_PLOT_OPEN : m_options.flags & ~FLAG_PLOT_OPEN;
    m_options.plotSpan = m_plotWindow.SpanSeconds();
    if (m_plotWindow.IsOpen())
        TogglePlot();
    // 1. Settings: the filter as last applied; Write leaves FLAG_LOGGING out.
    m_filter.GetText(m_options.filter);
    m_options.sendHex = m_sendBar.Mode() == SendMode::Hex;
    m_options.Write(m_settings);
    m_sendBar.History().Write(m_settings, SettingName::SendHistorySection);
    // 2.-4.
    WindowPlacement::Save(GetWindow(), HKEY_CURRENT_USER, kSettingsKeyPath, SettingName::MainPlacement, 0);
    ShowWindow(GetWindow(), SW_HIDE);
    KillTimer(GetWindow(), TIMER_BALLOON);
    m_balloon.Destroy();
    // 5.-7. The close is queued before the stop, so the command thread runs it before it ends.
    m_connection.CloseTarget();
    m_services.StopUpdateCheck();
    m_connection.Stop();
    // 8. The filter lock goes with its object; nothing else takes it once the reader has ended.
    m_filterIcon.Detach();
    return 1;
}

// --- messages ------------------------------------------------------------------------------------------------

// A message whose answer is not the dialog procedure's own return value.
INT_PTR C_MainDialog::Answer(LRESULT result) {
    SetMessageResult(result);
    return TRUE;
}

INT_PTR C_MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        OnSize(wParam);
        return FALSE;
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_MEASUREITEM:
        return m_toolbar.OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_DRAWITEM:
        return m_toolbar.OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_CONTEXTMENU:
        OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        return TRUE;
    case WM_NCHITTEST:
        return OnHitTest(lParam);
    case WM_TIMER:
        if (wParam == TIMER_BALLOON || wParam == TIMER_REOPEN || wParam == TIMER_ACTIVITY || wParam == TIMER_FILTER) {
            OnTimer(wParam);
            return TRUE;
        }
        break;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        return Answer(TRUE);
    case kDpiChanged:
        OnDpiChanged();
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            ShowPendingFailure();
        break;
    default:
        break;
    }
    INT_PTR answer = FALSE;
    if (OnPrivateMessage(message, wParam, lParam, answer))
        return answer;
    return C_Dialog::OnMessage(message, wParam, lParam);
}

// The messages the connection, the reader, the command thread and the plot send or post the window.
bool C_MainDialog::OnPrivateMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer) {
    switch (message) {
    case WM_PORTS_CHANGED:
        RebuildPortButtons(wParam);
        answer = Answer(0);
        return true;
    case WM_SHOW_STATUS:
        ShowStatus(reinterpret_cast<const wchar_t*>(wParam), reinterpret_cast<const wchar_t*>(lParam));
        answer = Answer(1);
        return true;
    case WM_MAIN_SET_TITLE:
        SetTitleText(reinterpret_cast<const wchar_t*>(wParam));
        answer = Answer(0);
        return true;
    case WM_MAIN_SET_OPTIONS_TEXT:
        m_toolbar.SetText(CMD_OPTIONS, reinterpret_cast<const wchar_t*>(wParam));
        UpdateToolbarWidth();
        answer = Answer(0);
        return true;
    case WM_MAIN_SET_REOPEN_TIMER:
        if (wParam)
            SetTimer(GetWindow(), TIMER_REOPEN, kReopenIntervalMs, nullptr);
        else
            KillTimer(GetWindow(), TIMER_REOPEN);
        answer = Answer(0);
        return true;
    case WM_MAIN_START_ACTIVITY:
        SetTimer(GetWindow(), TIMER_ACTIVITY, kActivityMs, nullptr);
        answer = Answer(0);
        return true;
    case WM_MAIN_TOGGLE_PLOT:
        TogglePlot();
        answer = Answer(0);
        return true;
    case WM_MAIN_FILE_SEND:
        OnFileSendNotice();
        answer = Answer(0);
        return true;
    case WM_MAIN_LOG_FAILED:
        OnLogFailed(uint32_t(wParam));
        answer = Answer(0);
        return true;
    default:
        return false;
    }
}

void C_MainDialog::OnSize(WPARAM kind) {
    if (kind == SIZE_MINIMIZED)
        return;
    m_layout.Apply();
    m_sizeGrip.Invalidate();
    m_bands.Resize();
}

void C_MainDialog::OnPaint() {
    C_PaintDc paint(GetWindow());
    m_sizeGrip.Paint(paint.Get());
}

INT_PTR C_MainDialog::OnNotify(const NMHDR* header) {
    if (!header)
        return FALSE;
    if (header->code == RBN_CHEVRONPUSHED && header->hwndFrom == m_bands.Window()) {
        const auto* chevron = reinterpret_cast<const NMREBARCHEVRON*>(header);
        RECT toolbar{};
        GetClientRect(m_toolbar.Window(), &toolbar);
        POINT at{chevron->rc.left, chevron->rc.bottom};
        ClientToScreen(m_bands.Window(), &at);
        if (const int command = m_toolbar.ShowChevronMenu(GetWindow(), at, toolbar.right))
            PostMessageW(GetWindow(), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                         reinterpret_cast<LPARAM>(m_toolbar.Window()));
        return Answer(0);
    }
    if (header->code == TBN_GETINFOTIPW && header->hwndFrom == m_toolbar.Window()) {
        auto* tip = reinterpret_cast<NMTBGETINFOTIPW*>(const_cast<NMHDR*>(header));
        if (tip->iItem >= CMD_PORT_FIRST && tip->iItem <= CMD_PORT_LAST && tip->pszText && tip->cchTextMax > 0) {
            tip->pszText[0] = 0;
            C_String text;
            C_PortList& ports = m_connection.GetPortList();
            C_ReadLock hold(ports);
            int index = tip->iItem - CMD_PORT_FIRST;
            for (PortEntry* entry = ports.First(); entry; entry = ports.Next(entry), --index)
                if (index == 0) {
                    text.Assign(entry->description);
                    AppendInputLines(*entry, text);
                    // Cut to the room the toolbar offers.
                    wcsncpy(tip->pszText, text.c_str(), size_t(tip->cchTextMax - 1));
                    tip->pszText[tip->cchTextMax - 1] = 0;
                    break;
                }
        }
        return Answer(0);
    }
    if (header->code == NM_RCLICK && header->hwndFrom == m_toolbar.Window())
        return OnPortRightClick(header);
    return FALSE;
}

INT_PTR C_MainDialog::OnHitTest(LPARAM screenPoint) {
    const LRESULT usual = DefWindowProcW(GetWindow(), WM_NCHITTEST, 0, screenPoint);
    const LRESULT answer = m_sizeGrip.HitTest(usual, POINT{short(LOWORD(screenPoint)), short(HIWORD(screenPoint))});
    return answer == usual ? FALSE : Answer(answer);
}

void C_MainDialog::OnTimer(UINT_PTR timer) {
    switch (timer) {
    case TIMER_BALLOON:
        KillTimer(GetWindow(), TIMER_BALLOON);
        m_balloon.Hide();
        break;
    case TIMER_REOPEN: {
        // OpenTarget stops the timer.
        C_String name;
        m_connection.GetName(name);
        m_connection.OpenTarget(name.c_str());
        break;
    }
    case TIMER_ACTIVITY:
        OnActivityTimer();
        break;
    case TIMER_FILTER:
        KillTimer(GetWindow(), TIMER_FILTER);
        ApplyFilterFromField();
        break;
    default:
        break;
    }
}

void C_MainDialog::OnDeviceChange(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header && header->dbch_devicetype == DBT_DEVTYP_PORT)
        m_connection.RefreshPorts(PORTS_CHANGED_REOPEN);
}

// The system has already moved and scaled the window and its controls for the new DPI.
void C_MainDialog::OnDpiChanged() {
    m_toolbar.OnDpiChanged();
    const SIZE ideal = m_toolbar.IdealSize();
    SetWindowPos(m_toolbar.Window(), nullptr, 0, 0, ideal.cx, ideal.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    m_bands.SetChildHeight(kToolbarBand, ideal.cy);
    m_bands.SetIdealWidth(kToolbarBand, ideal.cx);
    m_bands.SetWidth(kWebLinkBand, m_webLink.TextWidth() + Dpi::Scale(kWebLinkPadding, Dpi::ForWindow(GetWindow())));
    m_bands.Resize();
    m_sizeGrip.Measure();
    m_sizeGrip.Invalidate();
    m_layout.Remeasure();
    PlaceSendBar();
}

void C_MainDialog::SetTitleText(const wchar_t* suffix) {
    C_String title;
    title.Assign(m_baseTitle);
    if (suffix && *suffix) {
        title.Append(kTitleSeparator);
        title.Append(suffix);
    }
    SetWindowTextW(GetWindow(), title.c_str());
}

// --- what the connection asks of the window --------------------------------------------------------------------

// The command thread calls these; the window's own thread applies them while the caller waits.
void C_MainDialog::SetTitleSuffix(const wchar_t* text) {
    SendMessageW(GetWindow(), WM_MAIN_SET_TITLE, reinterpret_cast<WPARAM>(text), 0);
}

void C_MainDialog::SetOptionsButtonText(const wchar_t* text) {
    SendMessageW(GetWindow(), WM_MAIN_SET_OPTIONS_TEXT, reinterpret_cast<WPARAM>(text), 0);
}

void C_MainDialog::SetReopenTimer(bool running) {
    SendMessageW(GetWindow(), WM_MAIN_SET_REOPEN_TIMER, running ? 1 : 0, 0);
}

void C_MainDialog::LoadText(unsigned id, C_String& text) {
    m_strings.LoadString(id, text);
}

// A port's own settings, where it has them, go over the Options values.
SerialLineSettings C_MainDialog::GetSerialLineSettings(const wchar_t* port) {
    SerialLineSettings line = m_options.Line();
    PortSettings::Load(m_settings, port, line);
    return line;
}

void C_MainDialog::RememberModemLines(const wchar_t* port, uint8_t lines, bool raised) {
    PortSettings::SaveLinesAtOpen(m_settings, port, lines, raised ? lines : 0);
}

void C_MainDialog::LoadTag(const wchar_t* key, C_String& tag) {
    Tags::LoadTag(m_settings, key, tag);
}
