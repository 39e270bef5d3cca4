// The port list: rebuilt by the refresh command on the command thread, marked by the probe on its own thread.
#include "connection/manager/Connection.h"

#include "connection/discovery/TargetKind.h"

#include <cwchar>

void C_Connection::RunRefresh(WPARAM number) {
    C_SerialPort enumeration;
    {
        // Held for the whole rebuild: the main window, reading the list meanwhile, waits for the new one.
        C_WriteLock hold(m_ports);
        m_ports.BeginRebuild();
        enumeration.Init();
        enumeration.Enumerate(&C_Connection::AddPortInfo, this);
        enumeration.Uninit();
        AddCommandLineEntry();
    }
    PostMessageW(m_window->GetWindow(), WM_PORTS_CHANGED, number, 0);
    // A probe still running from an earlier refresh stops at its next port and is not started again.
    m_probe.Start(&C_Connection::ProbeMain, this);
}

bool C_Connection::AddPortInfo(const PortInfo& info, void* context, C_SerialPort&) {
    C_Connection& connection = *static_cast<C_Connection*>(context);
    if (IsExcludedPort(info))
        return true;
    C_String tag;
    connection.m_options->LoadTag(info.devicePath.c_str(), tag);
    PortEntry* entry = NewPortEntry(info, tag.c_str());
    if (entry && !connection.m_ports.Append(entry))
        delete entry;
    return true;
}

void C_Connection::AddCommandLineEntry() {
    C_String target;
    m_options->GetCommandLinePort(target);
    if (target.IsEmpty() || FindPortByName(m_ports, target.c_str()))
        return;
    C_String tag;
    m_options->LoadTag(target.c_str(), tag);
    PortEntry* entry = NewCommandLineEntry(target.c_str(), tag.c_str());
    if (entry && !m_ports.Append(entry))
        delete entry;
}

DWORD C_Connection::ProbeMain(void* self, DWORD) {
    static_cast<C_Connection*>(self)->Probe();
    return 0;
}

bool C_Connection::ProbeStopping() {
    return WaitForSingleObject(m_shutdown.Get(), 0) == WAIT_OBJECT_0;
}

void C_Connection::Probe() {
    bool timedOut = false;
    WaitForEvent(m_shutdown.Get(), kProbeDelayMs, &timedOut);
    if (!timedOut)
        return; // shutting down (or the wait failed: then there is nothing sound to wait with)
    ProbePortList(m_ports, *this);
    if (!ProbeStopping())
        PostMessageW(m_window->GetWindow(), WM_PORTS_CHANGED, PORTS_CHANGED_REDRAW, 0);
}

// The port the connection holds open answers false without being touched: where a driver lets a second handle
// open a port, the probe's default settings would otherwise reconfigure the open connection's line.
bool C_Connection::ProbeTarget(const wchar_t* target) {
    C_Transport& transport = TransportFor(target);
    C_String openName;
    if (&transport == &m_serial && m_current == &m_serial && m_serial.IsOpen() && m_serial.GetName(openName) &&
        _wcsicmp(openName.c_str(), target) == 0)
        return false;
    return transport.Probe(target);
}
