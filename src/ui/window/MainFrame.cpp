// The main window's start, end, messages and layout. The tabs are in MainFrameSessions.cpp, the toolbar's
// commands in MainFrameCommands.cpp, the port buttons and the status balloon in MainFramePorts.cpp.
#include "ui/window/MainFrame.h"

#include "connection/discovery/BoardNames.h"
#include "connection/discovery/Tags.h"
#include "platform/window/Dpi.h"
#include "ui/framework/Language.h"
#include "ui/framework/ProgramTitle.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/WindowPlacement.h"
#include "ui/window/MainWindowIds.h"
#include "ui/window/PortButtons.h"

#include <commctrl.h>
#include <dbt.h>

namespace {

constexpr UINT kDpiChanged = 0x02E0; // WM_DPICHANGED
constexpr int kViewGap = 2;          // pixels between the band container and the view, at 96 DPI
// Pixels at 96 DPI: the open port's tooltip adds its input lines on a line of their own, which a tooltip only
// breaks with a width set.
constexpr int kPortTipWidth = 600;
constexpr int kToolbarBand = 0;
constexpr int kWebLinkBand = 1;

RECT ChildRect(HWND parent, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

C_MainFrame::C_MainFrame(C_ServiceHooks& services) : m_services(services) {}

C_MainFrame::~C_MainFrame() = default;

INT_PTR C_MainFrame::Run(HINSTANCE instance) {
    return RunModal(instance, IDD_MAIN, 0, nullptr);
}

// --- start ---------------------------------------------------------------------------------------------------

// The problem report learns where to send itself before anything else can fail.
INT_PTR C_MainFrame::OnInitDialog() {
    SetIcon(IDI_PROGRAM);
    FormatProgramTitle(kProductTitle, m_baseTitle);
    SetTitleText(nullptr);
    m_services.ConfigureProblemReport(IDI_PROGRAM, kReportPath);
    m_balloon.Create(GetWindow());
    m_options.ChooseDefaultFont();
    StartOptions start;
    ReadStartOptions(nullptr, start);
    m_strings.SetLanguage(start.language ? start.language : Language::kUserDefault);
    ReadSettings(start);
    m_sizeGrip.Attach(GetWindow());
    CreateBandsAndLink();
    BuildToolbar();
    AttachFilterField();
    CreateSendBar();
    SetMinimumSize(kMinimumWidth, kMinimumHeight, true);
    m_layout.Register(GetWindow(), GetItem(IDC_FILTER),
                      C_LayoutManager::RULE_STRETCH_WIDTH | C_LayoutManager::RULE_MOVE_DOWN);
    WindowPlacement::Restore(GetWindow(), HKEY_CURRENT_USER, kSettingsKeyPath, SettingName::MainPlacement, 0);
    // A tab is there from the start, ready to type into; the first scan's announcement opens the port chosen last,
    // or the one the command line names, in it.
    m_scanner.Start(*this);
    if (!m_options.serialPort.IsEmpty())
        m_startPorts.emplace_back(m_options.serialPort.c_str());
    BringForward(*NewTab());
    m_scanner.Refresh(PORTS_CHANGED_REOPEN);
    if (m_options.flags & FLAG_AUTO_UPDATE)
        m_services.StartUpdateCheck(GetWindow(), HKEY_CURRENT_USER, kSettingsKeyPath, SettingName::LastCheck);
    // The plot: its span and key, and the window again if it was open at the last close.
    m_plotWindow.SetSpanSeconds(m_options.plotSpan);
    m_plotWindow.WatchKeys(GetWindow(), WM_MAIN_TOGGLE_PLOT);
    if (m_options.flags & FLAG_PLOT_OPEN)
        TogglePlot();
    if (C_SessionTab* front = Front())
        front->Focus();
    return kFocusSet;
}

// The field's change notification applies the stored filter through TIMER_FILTER.
void C_MainFrame::ReadSettings(const StartOptions& start) {
    OpenProgramSettings(m_settings);
    m_options.Read(m_settings, start.port.c_str(), start.baudRate);
    if (!start.port.IsEmpty())
        m_commandLinePorts.emplace_back(start.port.c_str());
    SetItemText(IDC_FILTER, m_options.filter.c_str());
    m_sendBar.History().Read(m_settings, SettingName::SendHistorySection);
    m_sendBar.SetMode(m_options.sendHex ? SendMode::Hex : SendMode::Text);
    m_sendBar.SetEnterText(LineEndText(m_options.enterSends));
}

void C_MainFrame::CreateBandsAndLink() {
    m_webLink.Attach(GetItem(IDC_WEB_LINK), kWebText, kWebAddress,
                     LoadCursorW(GetInstance(), MAKEINTRESOURCEW(IDC_HAND_LINK)));
    m_bands.Create(GetWindow(), IDC_MAIN_BANDS);
}

// The images are the fixed buttons' icons in row order, then the port kinds'.
void C_MainFrame::BuildToolbar() {
    std::vector<UINT> icons;
    for (const ToolbarButton& row : ToolbarButtons())
        if (row.command)
            icons.push_back(row.icon);
    icons.insert(icons.end(), PortButtons::kKindIcons, PortButtons::kKindIcons + PortButtons::kKindIconCount);
    m_toolbar.Create(m_bands.Window(), IDC_MAIN_TOOLBAR, GetInstance(), icons.data(), int(icons.size()),
                     kToolbarImageSize);
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
    for (const ToolbarButton& row : ToolbarButtons()) {
        if (row.command == 0) {
            m_toolbar.AddSeparator();
            continue;
        }
        m_strings.LoadString(row.text, text);
        m_toolbar.AddButton(row.command, ToolbarButtons::ImageOf(row), text.c_str(), row.kind);
    }
    const SIZE ideal = m_toolbar.IdealSize();
    SetWindowPos(m_toolbar.Window(), nullptr, 0, 0, ideal.cx, ideal.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    m_bands.AddBand(m_toolbar.Window(), ideal.cx, C_BandContainer::BAND_CHEVRON);
    const int linkWidth = m_webLink.TextWidth() + Dpi::Scale(kWebLinkPadding, Dpi::ForWindow(GetWindow()));
    m_bands.AddBand(m_webLink.Window(), linkWidth, C_BandContainer::BAND_FIXED);
}

void C_MainFrame::AttachFilterField() {
    m_filterIcon.Attach(GetItem(IDC_FILTER), GetInstance(), C_ActivityIndicator::kPhaseIcons[0]);
    C_String cue;
    m_strings.LoadString(IDS_FILTER_CUE, cue);
    // TRUE: the cue stays while the field has the focus.
    SendItemMessage(IDC_FILTER, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
    SendItemMessage(IDC_FILTER, EM_LIMITTEXT, C_PersistedOptions::kFilterLimit, 0);
}

void C_MainFrame::CreateSendBar() {
    m_sendBar.Create(GetInstance(), GetWindow(), IDC_MAIN_SEND_BAR);
}

// Whatever the user changed since the last write: a second program on the same key keeps its own choices.
void C_MainFrame::SaveChangedSettings() {
    m_options.sendHex = m_sendBar.Mode() == SendMode::Hex;
    m_options.plotSpan = m_plotWindow.SpanSeconds();
    m_options.WriteChanged(m_settings);
}

// --- end -----------------------------------------------------------------------------------------------------

INT_PTR C_MainFrame::OnEnd(INT_PTR) {
    // An open search bar closes as its own close box would, so its place is kept for the next start too.
    if (m_searchBar.IsOpen())
        ToggleSearchBar();
    // So does the plot window; whether it was open is kept, and so is its span.
    m_options.flags = m_plotWindow.IsOpen() ? m_options.flags | FLAG_PLOT_OPEN : m_options.flags & ~FLAG_PLOT_OPEN;
    if (m_plotWindow.IsOpen())
        TogglePlot();
    SaveChangedSettings();
    m_sendBar.History().Write(m_settings, SettingName::SendHistorySection);
    WindowPlacement::Save(GetWindow(), HKEY_CURRENT_USER, kSettingsKeyPath, SettingName::MainPlacement, 0);
    ShowWindow(GetWindow(), SW_HIDE);
    KillTimer(GetWindow(), TIMER_BALLOON);
    m_balloon.Destroy();
    // Every session closes and stops while the update check is asked to stop; the scanner goes last.
    m_services.StopUpdateCheck();
    StopAllTabs();
    m_scanner.Stop();
    m_filterIcon.Detach();
    return 1;
}

// --- messages ------------------------------------------------------------------------------------------------

// A message whose answer is not the dialog procedure's own return value.
INT_PTR C_MainFrame::Answer(LRESULT result) {
    SetMessageResult(result);
    return TRUE;
}

INT_PTR C_MainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
        if (wParam == TIMER_BALLOON || wParam == TIMER_ACTIVITY || wParam == TIMER_FILTER) {
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

// What the scanner and the plot window post.
bool C_MainFrame::OnPrivateMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& answer) {
    switch (message) {
    case WM_PORTS_CHANGED:
        RebuildPortButtons(wParam);
        answer = Answer(0);
        return true;
    case WM_MAIN_TOGGLE_PLOT:
        TogglePlot();
        SaveChangedSettings();
        answer = Answer(0);
        return true;
    default:
        return false;
    }
}

void C_MainFrame::OnSize(WPARAM kind) {
    if (kind == SIZE_MINIMIZED)
        return;
    m_layout.Apply();
    m_sizeGrip.Invalidate();
    m_bands.Resize();
    LayoutSessionArea();
}

void C_MainFrame::OnPaint() {
    C_PaintDc paint(GetWindow());
    m_sizeGrip.Paint(paint.Get());
}

INT_PTR C_MainFrame::OnNotify(const NMHDR* header) {
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
    if (header->code == RBN_HEIGHTCHANGE && header->hwndFrom == m_bands.Window()) {
        LayoutSessionArea();
        return Answer(0);
    }
    if (header->code == TBN_GETINFOTIPW && header->hwndFrom == m_toolbar.Window()) {
        FillPortTip(*reinterpret_cast<NMTBGETINFOTIPW*>(const_cast<NMHDR*>(header)));
        return Answer(0);
    }
    if (header->code == NM_RCLICK && header->hwndFrom == m_toolbar.Window())
        return OnPortRightClick(header);
    return FALSE;
}

INT_PTR C_MainFrame::OnHitTest(LPARAM screenPoint) {
    const LRESULT usual = DefWindowProcW(GetWindow(), WM_NCHITTEST, 0, screenPoint);
    const LRESULT answer = m_sizeGrip.HitTest(usual, POINT{short(LOWORD(screenPoint)), short(HIWORD(screenPoint))});
    return answer == usual ? FALSE : Answer(answer);
}

void C_MainFrame::OnTimer(UINT_PTR timer) {
    switch (timer) {
    case TIMER_BALLOON:
        KillTimer(GetWindow(), TIMER_BALLOON);
        m_balloon.Hide();
        break;
    case TIMER_ACTIVITY:
        OnActivityTimer();
        break;
    case TIMER_FILTER:
        KillTimer(GetWindow(), TIMER_FILTER);
        ApplyFilterFromField();
        SaveChangedSettings();
        break;
    default:
        break;
    }
}

void C_MainFrame::OnDeviceChange(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header && header->dbch_devicetype == DBT_DEVTYP_PORT)
        m_scanner.Refresh(PORTS_CHANGED_REOPEN);
}

// The system has already moved and scaled the window and its controls for the new DPI.
void C_MainFrame::OnDpiChanged() {
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
    LayoutSessionArea();
}

void C_MainFrame::SetTitleText(const wchar_t* suffix) {
    C_String title;
    title.Assign(m_baseTitle);
    if (suffix && *suffix) {
        title.Append(kTitleSeparator);
        title.Append(suffix);
    }
    SetWindowTextW(GetWindow(), title.c_str());
}

// The tab's views fill the room between the band container and the filter field, less the send bar when the tab
// in front has it open; the bar sits just above the field, as wide.
void C_MainFrame::LayoutSessionArea() {
    HWND filterField = GetItem(IDC_FILTER);
    if (!filterField || !m_bands.Window())
        return;
    const RECT filter = ChildRect(GetWindow(), filterField);
    RECT gap = {0, 0, 0, kFilterGap};
    MapDialogRect(GetWindow(), &gap);
    RECT area{filter.left, m_bands.Height() + Dpi::Scale(kViewGap, Dpi::ForWindow(GetWindow())), filter.right,
              filter.top - gap.bottom};
    if (m_sendBar.IsVisible()) {
        const int barTop = area.bottom - m_sendBar.Height();
        SetWindowPos(m_sendBar.GetWindow(), nullptr, filter.left, barTop, filter.right - filter.left,
                     area.bottom - barTop, SWP_NOZORDER | SWP_NOACTIVATE);
        area.bottom = barTop - gap.bottom;
    }
    if (area.bottom < area.top)
        area.bottom = area.top;
    for (const auto& tab : m_tabs)
        tab->Place(area);
}

// --- what every session's connection asks ------------------------------------------------------------------

// A port's own settings, where it has them, go over the Options values.
SerialLineSettings C_MainFrame::GetSerialLineSettings(const wchar_t* port) {
    SerialLineSettings line = m_options.Line();
    PortSettings::Load(m_settings, port, line);
    return line;
}

void C_MainFrame::RememberModemLines(const wchar_t* port, uint8_t lines, bool raised) {
    PortSettings::SaveLinesAtOpen(m_settings, port, lines, raised ? lines : 0);
}

void C_MainFrame::LoadTag(const wchar_t* key, C_String& tag) {
    Tags::LoadTag(m_settings, key, tag);
}

void C_MainFrame::NoteBoardListed(const wchar_t* identity, const wchar_t* devicePath, C_String& former) {
    BoardNames::NoteListed(m_settings, identity, devicePath, former);
}

// The scanner's thread, while the window's thread may change nothing: the list is only written at the start.
bool C_MainFrame::CommandLinePort(uint32_t index, C_String& port) {
    if (index >= m_commandLinePorts.size())
        return false;
    return port.Assign(m_commandLinePorts[index].c_str());
}
