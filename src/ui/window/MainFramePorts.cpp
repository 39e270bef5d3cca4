// The port buttons and the status balloon that points at them.
#include "ui/window/MainFrame.h"

#include "ui/window/MainWindowIds.h"
#include "ui/window/PortButtons.h"

#include <commctrl.h>

#include <cwchar>

namespace {

// Without the port's button, the balloon points at the separator after the Log button.
const int kBalloonFallbackItem = int(ToolbarButtons::kCount) - 1;

BYTE ToolbarState(PortButtons::Look look) {
    switch (look) {
    case PortButtons::Look::Pressed:
        return TBSTATE_ENABLED | TBSTATE_PRESSED;
    case PortButtons::Look::Greyed:
        // Still clickable: the probe may be wrong, and a click tries the port again.
        return TBSTATE_ENABLED | TBSTATE_INDETERMINATE;
    case PortButtons::Look::Normal:
    default:
        return TBSTATE_ENABLED;
    }
}

bool KeyDown(int key) {
    return GetKeyState(key) < 0;
}

} // namespace

void C_MainFrame::OnPortButton(WORD id) {
    const uint32_t index = uint32_t(id - CMD_PORT_FIRST);
    if (KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT)) {
        EditPortTag(index);
        return;
    }
    C_String name;
    if (!PortNameAt(index, name))
        return;
    C_SessionTab* tab = TabOfTarget(name.c_str());
    const PortButtons::PortState state{true, tab != nullptr, tab && tab->Session().IsOpen(),
                                       tab && tab->Id() == m_front};
    switch (PortButtons::ClickOn(state)) {
    case PortButtons::Click::Close:
        ClosePort(*tab);
        break;
    case PortButtons::Click::BringForward:
    case PortButtons::Click::OpenNewTab:
        OpenPort(name.c_str());
        break;
    }
}

// The list may have changed since the buttons were drawn: the index is looked up afresh.
bool C_MainFrame::PortNameAt(uint32_t index, C_String& name) {
    C_PortList& ports = m_scanner.List();
    C_ReadLock hold(ports);
    PortEntry* entry = ports.First();
    for (uint32_t i = 0; entry && i < index; ++i)
        entry = ports.Next(entry);
    return entry && name.Assign(entry->name);
}

void C_MainFrame::RebuildPortButtons(WPARAM reopen) {
    m_toolbar.DeleteFrom(int(ToolbarButtons::kCount));
    {
        C_PortList& ports = m_scanner.List();
        C_ReadLock hold(ports);
        C_String text;
        // Every entry gets a button; only the first 101 have commands that the window routes.
        uint32_t index = 0;
        const int firstKindImage = ToolbarButtons::ImageCount();
        for (PortEntry* entry = ports.First(); entry; entry = ports.Next(entry), ++index) {
            const int command = CMD_PORT_FIRST + int(index);
            EntryDisplayName(*entry, text);
            m_toolbar.AddButton(command, firstKindImage + PortButtons::ImageOfKind(entry->kind), text.c_str());
            const C_SessionTab* tab = TabOfTarget(entry->name.c_str());
            const PortButtons::PortState state{entry->present != 0, tab != nullptr, tab && tab->Session().IsOpen(),
                                               tab && tab->Id() == m_front};
            m_toolbar.SetState(command, ToolbarState(PortButtons::LookOf(state)));
        }
    }
    UpdateToolbarWidth();
    if (reopen != PORTS_CHANGED_REOPEN)
        return;
    OpenStartPorts();
    ReopenLostPorts();
}

void C_MainFrame::UpdateToolbarWidth() {
    const SIZE ideal = m_toolbar.IdealSize();
    RECT current{};
    GetWindowRect(m_toolbar.Window(), &current);
    SetWindowPos(m_toolbar.Window(), nullptr, 0, 0, ideal.cx, current.bottom - current.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    m_bands.SetIdealWidth(0, ideal.cx);
}

// A session's status points at its port's button.
void C_MainFrame::ShowStatus(const wchar_t* title, const wchar_t* text, const wchar_t* port) {
    if (!ShowStatusAt(BalloonItem(port), title, text, kBalloonMs))
        ShowStatusAt(kBalloonFallbackItem, title, text, kBalloonMs);
}

// Shown only to a user who is looking at the program: a balloon over another application would be a nuisance.
// False when it was not shown.
bool C_MainFrame::ShowStatusAt(int item, const wchar_t* title, const wchar_t* text, UINT milliseconds) {
    if (GetForegroundWindow() != GetWindow())
        return false;
    RECT toolbar{}, rect{};
    GetWindowRect(m_toolbar.Window(), &toolbar);
    // The list may have changed since the buttons were drawn.
    if (!m_toolbar.ItemRect(item, rect))
        return false;
    const POINT tip{toolbar.left + (rect.left + rect.right) / 2, toolbar.top + rect.bottom};
    m_balloon.Show(title, text, tip);
    SetTimer(GetWindow(), TIMER_BALLOON, milliseconds, nullptr);
    return true;
}

// A failure is told once: now when the user looks at the window, or else when the window is next activated.
void C_MainFrame::ShowFailure(WORD command, UINT title, const wchar_t* path) {
    m_failedCommand = command;
    m_failedTitle = title;
    m_failedPath.Assign(path ? path : L"");
    ShowPendingFailure();
}

void C_MainFrame::ShowPendingFailure() {
    if (!m_failedCommand)
        return;
    C_String title;
    m_strings.LoadString(m_failedTitle, title);
    const int item = int(SendMessageW(m_toolbar.Window(), TB_COMMANDTOINDEX, m_failedCommand, 0));
    if (ShowStatusAt(item, title.c_str(), m_failedPath.c_str(), kFailureBalloonMs))
        m_failedCommand = 0;
}

int C_MainFrame::BalloonItem(const wchar_t* port) {
    C_PortList& ports = m_scanner.List();
    C_ReadLock hold(ports);
    int index = 0;
    for (PortEntry* entry = ports.First(); entry; entry = ports.Next(entry), ++index)
        if (port && entry->name.Compare(port) == 0)
            return int(ToolbarButtons::kCount) + index;
    return kBalloonFallbackItem;
}

// The port's description, and the input lines of a port open in a tab.
void C_MainFrame::FillPortTip(NMTBGETINFOTIPW& tip) {
    if (tip.iItem < CMD_PORT_FIRST || tip.iItem > CMD_PORT_LAST || !tip.pszText || tip.cchTextMax <= 0)
        return;
    tip.pszText[0] = 0;
    C_String text;
    C_PortList& ports = m_scanner.List();
    C_ReadLock hold(ports);
    int index = tip.iItem - CMD_PORT_FIRST;
    for (PortEntry* entry = ports.First(); entry; entry = ports.Next(entry), --index)
        if (index == 0) {
            text.Assign(entry->description);
            AppendInputLines(*entry, text);
            // Cut to the room the toolbar offers.
            wcsncpy(tip.pszText, text.c_str(), size_t(tip.cchTextMax - 1));
            tip.pszText[tip.cchTextMax - 1] = 0;
            break;
        }
}
