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

// Shown only to a user who is looking at the program: a balloon over another application would be a nuisance.
void C_MainDialog::ShowStatus(const wchar_t* title, const wchar_t* text) {
    if (GetForegroundWindow() != GetWindow())
        return;
    RECT toolbar{}, item{};
    GetWindowRect(m_toolbar.Window(), &toolbar);
    // The list may have changed since the buttons were drawn.
    if (!m_toolbar.ItemRect(BalloonItem(), item) && !m_toolbar.ItemRect(kBalloonFallbackItem, item))
        return;
    const POINT tip{toolbar.left + (item.left + item.right) / 2, toolbar.top + item.bottom};
    m_balloon.Show(title, text, tip);
    SetTimer(GetWindow(), TIMER_BALLOON, kBalloonMs, nullptr);
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
