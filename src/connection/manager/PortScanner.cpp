// The port list: rebuilt by a refresh on the scanner's thread, marked by the probe on its own thread.
#include "connection/manager/PortScanner.h"

#include "connection/discovery/TargetKind.h"
#include "connection/manager/ConnectionWindow.h"
#include "connection/transports/PipeTransport.h"
#include "connection/transports/SerialPort.h"
#include "connection/transports/SerialTransport.h"

#include <cwctype>
#include <new>

struct C_PortScanner::RefreshCommand : public C_ListEntry {
    WPARAM number = 0;
};

namespace {

// Windows compares device names ignoring case.
std::wstring HeldKey(const wchar_t* target) {
    std::wstring key(target ? target : L"");
    for (wchar_t& c : key)
        c = wchar_t(towupper(c));
    return key;
}

} // namespace

bool C_PortScanner::Start(C_PortScanHost& host) {
    if (m_commands.IsRunning())
        return false;
    m_host = &host;
    m_ports.Clear();
    m_shutdown = CreateManualResetEvent();
    return m_shutdown && m_commands.Start(&C_PortScanner::HandleCommand, this);
}

void C_PortScanner::Stop() {
    if (!m_commands.IsRunning())
        return;
    SetEvent(m_shutdown.Get());
    m_commands.Stop();
    m_probe.WaitFinished(C_Thread::kNoLimit, QuitMessage::Deferred);
    m_ports.Clear();
}

void C_PortScanner::Refresh(WPARAM number) {
    auto* command = new (std::nothrow) RefreshCommand;
    if (!command)
        return;
    command->number = number;
    if (!m_commands.PostCommand(command))
        delete command;
}

bool C_PortScanner::HandleCommand(CommandPhase phase, C_ListEntry* entry, void* context) {
    if (phase == PHASE_COMMAND)
        static_cast<C_PortScanner*>(context)->RunRefresh(static_cast<RefreshCommand*>(entry)->number);
    return true;
}

void C_PortScanner::NoteHeldOpen(const wchar_t* target, bool held) {
    const std::wstring key = HeldKey(target);
    C_Lock hold(m_heldLock);
    auto found = m_held.find(key);
    if (held)
        ++m_held[key];
    else if (found != m_held.end() && --found->second == 0)
        m_held.erase(found);
}

bool C_PortScanner::IsHeldOpen(const wchar_t* target) {
    const std::wstring key = HeldKey(target);
    C_Lock hold(m_heldLock);
    return m_held.count(key) != 0;
}

void C_PortScanner::RunRefresh(WPARAM number) {
    C_SerialPort enumeration;
    {
        // Held for the whole rebuild: the main window, reading the list meanwhile, waits for the new one.
        C_WriteLock hold(m_ports);
        m_ports.BeginRebuild();
        enumeration.Init();
        enumeration.Enumerate(&C_PortScanner::AddPortInfo, this);
        enumeration.Uninit();
        AddCommandLineEntries();
    }
    PostMessageW(m_host->PortsWindow(), WM_PORTS_CHANGED, number, 0);
    // A probe still running from an earlier refresh stops at its next port and is not started again.
    m_probe.Start(&C_PortScanner::ProbeMain, this);
}

bool C_PortScanner::AddPortInfo(const PortInfo& info, void* context, C_SerialPort&) {
    C_PortScanner& scanner = *static_cast<C_PortScanner*>(context);
    if (IsExcludedPort(info))
        return true;
    C_String tag, note;
    scanner.NoteBoard(info, note);
    scanner.m_host->LoadTag(PortKeyOf(info).c_str(), tag);
    PortEntry* entry = NewPortEntry(info, tag.c_str(), note.c_str());
    if (entry && !scanner.m_ports.Append(entry))
        delete entry;
    return true;
}

// Before its tag is read: a board seen for the first time may take over the tag of its COM name.
void C_PortScanner::NoteBoard(const PortInfo& info, C_String& note) {
    note.Empty();
    C_String former, format;
    if (info.identity.IsEmpty())
        return;
    m_host->NoteBoardListed(info.identity.c_str(), info.devicePath.c_str(), former);
    if (former.IsEmpty())
        return;
    m_host->LoadText(kPortWasTextId, format);
    if (!format.IsEmpty())
        note.Format(format.c_str(), former.c_str());
}

void C_PortScanner::AddCommandLineEntries() {
    C_String target, tag;
    for (uint32_t index = 0; m_host->CommandLinePort(index, target); ++index) {
        if (target.IsEmpty() || FindPortByName(m_ports, target.c_str()))
            continue;
        m_host->LoadTag(target.c_str(), tag);
        PortEntry* entry = NewCommandLineEntry(target.c_str(), tag.c_str());
        if (entry && !m_ports.Append(entry))
            delete entry;
    }
}

DWORD C_PortScanner::ProbeMain(void* self, DWORD) {
    static_cast<C_PortScanner*>(self)->Probe();
    return 0;
}

bool C_PortScanner::ProbeStopping() {
    return WaitForSingleObject(m_shutdown.Get(), 0) == WAIT_OBJECT_0;
}

void C_PortScanner::Probe() {
    bool timedOut = false;
    WaitForEvent(m_shutdown.Get(), kProbeDelayMs, &timedOut);
    if (!timedOut)
        return; // shutting down (or the wait failed: then there is nothing sound to wait with)
    ProbePortList(m_ports, *this);
    if (!ProbeStopping())
        PostMessageW(m_host->PortsWindow(), WM_PORTS_CHANGED, PORTS_CHANGED_REDRAW, 0);
}

// A port a connection holds open answers false without being touched. Endpoints have nothing to probe.
bool C_PortScanner::ProbeTarget(const wchar_t* target) {
    switch (TargetKindOf(target)) {
    case TargetKind::Pipe:
        return C_PipeTransport::ProbePipe(target);
    case TargetKind::Tcp:
    case TargetKind::Udp:
        return true;
    default:
        return !IsHeldOpen(target) && C_SerialTransport::ProbePort(target);
    }
}
