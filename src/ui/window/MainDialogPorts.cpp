// The port buttons and the status balloon that points at them.
#include "ui/window/MainDialog.h"

#include "ui/window/MainWindowIds.h"
#include "ui/window/PortButtons.h"

#include <commctrl.h>

namespace {

// Without a selected port in the list, the balloon points at the separator after the Log button.
constexpr int kBalloonFallbackItem = PortButtons::kFixedButtons - 1;

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

} // namespace

void C_MainDialog::RebuildPortButtons(WPARAM reopen) {
    m_toolbar.DeleteFrom(PortButtons::kFixedButtons);
    const bool open = m_connection.IsOpen();
    {
        C_PortList& ports = m_connection.GetPortList();
        C_ReadLock hold(ports);
        C_String text;
        // Every entry gets a button; only the first 101 have commands that the window routes.
        uint32_t index = 0;
        for (PortEntry* entry = ports.First(); entry; entry = ports.Next(entry), ++index) {
            const int command = CMD_PORT_FIRST + int(index);
            EntryDisplayName(*entry, text);
            m_toolbar.AddButton(command, PortButtons::ImageOfKind(entry->kind), text.c_str());
            m_toolbar.SetState(command, ToolbarState(PortButtons::LookOf(entry->name.c_str(), entry->present != 0,
                                                                         m_options.serialPort.c_str(), open)));
        }
    }
    UpdateToolbarWidth();
    if (reopen == PORTS_CHANGED_REOPEN && !m_options.serialPort.IsEmpty() && !m_connection.IsOpen())
        m_connection.OpenTarget(m_options.serialPort.c_str());
}

void C_MainDialog::UpdateToolbarWidth() {
    const SIZE ideal = m_toolbar.IdealSize();
    RECT current{};
    GetWindowRect(m_toolbar.Window(), &current);
    SetWindowPos(m_toolbar.Window(), nullptr, 0, 0, ideal.cx, current.bottom - current.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    m_bands.SetIdealWidth(0, ideal.cx);
}

void C_MainDialog::ShowStatus(const wchar_t* title, const wchar_t* text) {
    if (!ShowStatusAt(BalloonItem(), title, text, kBalloonMs))
        ShowStatusAt(kBalloonFallbackItem, title, text, kBalloonMs);
}

// Shown only to a user who is looking at the program: a balloon over another application would be a nuisance.
// False when it was not shown.
bool C_MainDialog::ShowStatusAt(int item, const wchar_t* title, const wchar_t* text, UINT milliseconds) {
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
void C_MainDialog::ShowFailure(WORD command, UINT title, const wchar_t* path) {
    m_failedCommand = command;
    m_failedTitle = title;
    m_failedPath.Assign(path ? path : L"");
    ShowPendingFailure();
}

void C_MainDialog::ShowPendingFailure() {
    if (!m_failedCommand)
        return;
    C_String title;
    m_strings.LoadString(m_failedTitle, title);
    const int item = int(SendMessageW(m_toolbar.Window(), TB_COMMANDTOINDEX, m_failedCommand, 0));
    if (ShowStatusAt(item, title.c_str(), m_failedPath.c_str(), kFailureBalloonMs))
        m_failedCommand = 0;
}

int C_MainDialog::BalloonItem() {
    C_PortList& ports = m_connection.GetPortList();
    C_ReadLock hold(ports);
    int index = 0;
    for (PortEntry* entry = ports.First(); entry; entry = ports.Next(entry), ++index)
        if (entry->name.Compare(m_options.lastSelectedPort.c_str()) == 0)
            return PortButtons::kFixedButtons + index;
    return kBalloonFallbackItem;
}
