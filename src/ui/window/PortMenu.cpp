#include "ui/window/PortMenu.h"

#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"

namespace PortMenu {

void Entries(const Facts& facts, Entry (&entries)[kEntryCount]) {
    const bool live = facts.open && facts.hasLine;
    const uint8_t handshake = HandshakeLines(facts.line.flowControl);
    const uint8_t raised = facts.line.raisedLines;
    const uint8_t pulsed = facts.line.pulseLines & ~handshake;
    entries[0] = {CMD_PORT_MENU_LINE_SETTINGS, IDS_MENU_LINE_SETTINGS, nullptr, false, facts.hasLine, false};
    entries[1] = {CMD_PORT_MENU_TAG, IDS_MENU_TAG, nullptr, false, true, false};
    entries[2] = {CMD_PORT_MENU_DTR, 0, L"DTR", true, live && !(handshake & LINE_DTR), live && (raised & LINE_DTR)};
    entries[3] = {CMD_PORT_MENU_RTS, 0, L"RTS", false, live && !(handshake & LINE_RTS), live && (raised & LINE_RTS)};
    entries[4] = {CMD_PORT_MENU_BREAK, IDS_MENU_SEND_BREAK, nullptr, true, live, false};
    entries[5] = {CMD_PORT_MENU_PULSE, IDS_MENU_RESET_PULSE, nullptr, false, live && pulsed != 0, false};
}

} // namespace PortMenu
