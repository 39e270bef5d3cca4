// A port button's context menu: the port's line settings and tag, and the line commands of a port open in a tab;
// the input lines in the open port's tooltip.
#include "ui/window/MainFrame.h"

#include "connection/discovery/TargetKind.h"
#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"
#include "ui/window/PortMenu.h"

#include <commctrl.h>

namespace {

// What the context-menu key or Shift+F10 send instead of a point.
constexpr LPARAM kFromKeyboard = -1;
constexpr UINT kMenuFlags = TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN;

// In the order the tooltip's text names them: CTS, DSR, RING, DCD.
constexpr DWORD kInputLines[] = {MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON};
constexpr size_t kInputLineCount = sizeof kInputLines / sizeof kInputLines[0];

} // namespace

// A right click on a port button. Other buttons have no menu.
INT_PTR C_MainFrame::OnPortRightClick(const NMHDR* header) {
    const auto* mouse = reinterpret_cast<const NMMOUSE*>(header);
    if (mouse->dwItemSpec < CMD_PORT_FIRST || mouse->dwItemSpec > CMD_PORT_LAST)
        return FALSE;
    POINT at = mouse->pt;
    ClientToScreen(m_toolbar.Window(), &at);
    ShowPortMenu(uint32_t(mouse->dwItemSpec - CMD_PORT_FIRST), at);
    return Answer(TRUE);
}

// The keyboard's way to the menu: the context-menu key or Shift+F10 while a port button has the toolbar's focus.
// A mouse click comes as NM_RCLICK instead, with the button it hit.
void C_MainFrame::OnContextMenu(HWND window, LPARAM screenPoint) {
    HWND toolbar = m_toolbar.Window();
    if (screenPoint != kFromKeyboard || (window != toolbar && GetFocus() != toolbar))
        return;
    const int hot = int(SendMessageW(toolbar, TB_GETHOTITEM, 0, 0));
    TBBUTTON button{};
    RECT item{};
    if (hot < 0 || !SendMessageW(toolbar, TB_GETBUTTON, WPARAM(hot), reinterpret_cast<LPARAM>(&button)) ||
        button.idCommand < CMD_PORT_FIRST || button.idCommand > CMD_PORT_LAST || !m_toolbar.ItemRect(hot, item))
        return;
    POINT at{item.left, item.bottom};
    ClientToScreen(toolbar, &at);
    ShowPortMenu(uint32_t(button.idCommand - CMD_PORT_FIRST), at);
}

void C_MainFrame::ShowPortMenu(uint32_t index, POINT screen) {
    PortMenu::Facts facts;
    C_String name;
    if (!PortNameAt(index, name))
        return;
    facts.hasLine = TargetKindOf(name.c_str()) == TargetKind::Serial;
    C_SessionTab* tab = TabOfTarget(name.c_str());
    facts.open = tab && tab->Session().IsOpen() && tab->Session().Connection().GetLineState(facts.line);
    PortMenu::Entry entries[PortMenu::kEntryCount];
    PortMenu::Entries(facts, entries);
    C_Menu menu(CreatePopupMenu());
    if (!menu)
        return;
    C_String text;
    for (const PortMenu::Entry& entry : entries) {
        if (entry.separatorBefore)
            AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
        if (entry.text)
            m_strings.LoadString(entry.text, text);
        else
            text.Assign(entry.literal);
        const UINT flags = MF_STRING | (entry.enabled ? 0 : MF_GRAYED) | (entry.checked ? MF_CHECKED : 0);
        AppendMenuW(menu.Get(), flags, entry.command, text.c_str());
    }
    const uint32_t id = tab ? tab->Id() : 0;
    const WORD command = WORD(TrackPopupMenu(menu.Get(), kMenuFlags, screen.x, screen.y, 0, GetWindow(), nullptr));
    // The menu's own loop may have let the tab go meanwhile.
    if (command)
        RunPortMenuCommand(command, index, id ? TabOf(id) : nullptr, facts.line);
}

// The line commands act on the session that has the port open, which the menu was offered for.
void C_MainFrame::RunPortMenuCommand(WORD command, uint32_t index, C_SessionTab* tab, const LineState& line) {
    switch (command) {
    case CMD_PORT_MENU_LINE_SETTINGS:
        EditPortLine(index);
        return;
    case CMD_PORT_MENU_TAG:
        EditPortTag(index);
        return;
    default:
        break;
    }
    if (!tab)
        return;
    C_Connection& connection = tab->Session().Connection();
    switch (command) {
    case CMD_PORT_MENU_DTR:
        connection.SetModemLines(LINE_DTR, !(line.raisedLines & LINE_DTR));
        break;
    case CMD_PORT_MENU_RTS:
        connection.SetModemLines(LINE_RTS, !(line.raisedLines & LINE_RTS));
        break;
    case CMD_PORT_MENU_BREAK:
        connection.SendBreak(C_Connection::kBreakMs);
        break;
    case CMD_PORT_MENU_PULSE:
        connection.PulseLines(line.pulseLines, C_Connection::kPulseMs);
        break;
    default:
        break;
    }
}

// The list is not locked while the dialog is shown: the port may vanish meanwhile, and its settings are stored
// all the same.
void C_MainFrame::EditPortLine(uint32_t index) {
    C_String key, name;
    {
        C_PortList& ports = m_scanner.List();
        C_ReadLock hold(ports);
        PortEntry* entry = ports.First();
        for (uint32_t step = 0; entry && step < index; ++step)
            entry = ports.Next(entry);
        if (!entry || !key.Assign(entry->key) || !EntryDisplayName(*entry, name))
            return;
    }
    m_portLineDialog.Edit(GetInstance(), GetWindow(), m_settings, m_options, key.c_str(), name.c_str());
}

// The tag dialog stores the tag on OK and, OK or not, asks for the buttons to be rebuilt, so the button shows
// the tag and, for an open port, its pressed look again.
void C_MainFrame::EditPortTag(uint32_t index) {
    m_tagDialog.EditTag(GetInstance(), GetWindow(), m_scanner.List(), m_settings, index);
}

// Read when the tooltip is about to show, from a port open in a tab only.
void C_MainFrame::AppendInputLines(const PortEntry& entry, C_String& tip) {
    C_SessionTab* tab = TabOfTarget(entry.name.c_str());
    LineState line;
    if (!tab || !tab->Session().IsOpen() || !tab->Session().Connection().GetLineState(line))
        return;
    C_String lines;
    DWORD status = 0;
    if (tab->Session().Connection().GetModemStatus(status)) {
        C_String on, off;
        m_strings.LoadString(IDS_LINE_ON, on);
        m_strings.LoadString(IDS_LINE_OFF, off);
        const wchar_t* states[kInputLineCount];
        for (size_t i = 0; i < kInputLineCount; ++i)
            states[i] = (status & kInputLines[i]) ? on.c_str() : off.c_str();
        C_String format;
        m_strings.LoadString(IDS_INPUT_LINES, format);
        lines.Format(format.c_str(), states[0], states[1], states[2], states[3]);
    } else {
        m_strings.LoadString(IDS_INPUT_LINES_UNKNOWN, lines);
    }
    if (!tip.IsEmpty())
        tip.Append(L"\r\n");
    tip.Append(lines);
}
