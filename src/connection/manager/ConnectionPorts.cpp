// What a connection tells the port scanner, and what a scanner of its own asks of it.
#include "connection/manager/Connection.h"

#include "connection/discovery/TargetKind.h"

bool C_Connection::CommandLinePort(uint32_t index, C_String& port) {
    if (index != 0)
        return false;
    m_options->GetCommandLinePort(port);
    return true;
}

// Only serial ports: the probe never opens a port a connection holds, and endpoints are not probed.
void C_Connection::HoldOpen(const wchar_t* target) {
    ReleaseHeld();
    if (TargetKindOf(target) != TargetKind::Serial || !m_held.Assign(target))
        return;
    m_scanner->NoteHeldOpen(m_held.c_str(), true);
}

void C_Connection::ReleaseHeld() {
    if (m_held.IsEmpty())
        return;
    m_scanner->NoteHeldOpen(m_held.c_str(), false);
    m_held.Empty();
}

bool C_Connection::ReopenTarget(const wchar_t* selected, C_String& target) {
    C_String identity;
    m_openIdentity.CopyTo(identity);
    C_PortList& ports = GetPortList();
    C_ReadLock hold(ports);
    const ReopenChoice choice = ChooseReopen(ports, selected, identity.c_str());
    switch (choice.kind) {
    case ReopenChoice::Moved:
        return target.Assign(choice.entry->name);
    case ReopenChoice::Wait:
        target.Empty();
        return false;
    case ReopenChoice::AsBefore:
    default:
        return target.Assign(selected ? selected : L"");
    }
}
