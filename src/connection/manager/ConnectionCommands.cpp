// The commands that open and close, on the command thread.
#include "connection/manager/Connection.h"

#include "connection/discovery/TargetKind.h"

namespace {

constexpr const wchar_t* kOptionsSeparator = L" - ";

} // namespace

C_Transport& C_Connection::TransportFor(const wchar_t* target) {
    switch (TargetKindOf(target)) {
    case TargetKind::Pipe:
        return m_pipe;
    case TargetKind::Tcp:
        return m_tcp;
    case TargetKind::Udp:
        return m_udp;
    default:
        return m_serial;
    }
}

void C_Connection::RunOpenTarget(const wchar_t* target) {
    RunCloseTarget();
    NoteOpenedBoard(target);
    ShowStatus(STATUS_SEARCHING, target);
    C_Transport& transport = TransportFor(target);
    m_current = &transport;
    C_String description;
    // An open that fails before any system call (no port of that name) must not be taken for access denied
    // because of an error some earlier call left behind.
    SetLastError(ERROR_SUCCESS);
    // The event is made ready before the open: a socket connects while the user-interface thread is free to
    // handle its events, and a notification of data that arrived at once must find the event it signals.
    const bool opened = PrepareDataEvent() && transport.Open(target, description);
    const DWORD error = GetLastError();
    if (opened) {
        HoldOpen(target);
        C_String title;
        PortDisplayName(target, title);
        m_window->SetTitleSuffix(title.c_str());
        ShowStatus(STATUS_OPENED, target);
        m_reader.Start(&C_Connection::ReaderMain, this);
        m_retryCount = 0;
    } else {
        ShowStatus(STATUS_OPEN_FAILED, target);
        if (error != ERROR_ACCESS_DENIED) {
            m_retryCount = 0;
        } else if (m_retryCount < kMaxAccessDeniedRetries) {
            ++m_retryCount;
            m_window->SetReopenTimer(true);
        }
    }
    ShowOptionsText(description);
}

// A lost board is tried by its old name while it is away, and its identity must survive that.
void C_Connection::NoteOpenedBoard(const wchar_t* target) {
    C_PortList& ports = GetPortList();
    C_ReadLock hold(ports);
    const PortEntry* entry = FindPortByTarget(ports, target);
    if (!entry && m_openTarget.Compare(target) == 0)
        return;
    m_openIdentity.Set(entry ? entry->identity.c_str() : nullptr);
    m_openTarget.Assign(target);
}

// Non-signalled for the new connection: a wake-up meant for the previous one must not reach the new reader.
bool C_Connection::PrepareDataEvent() {
    if (m_dataEventOwner)
        return ResetEvent(m_dataEventOwner.Get()) != FALSE;
    m_dataEventOwner = CreateAutoResetEvent();
    m_dataEvent = m_dataEventOwner.Get();
    return m_dataEventOwner.IsValid();
}

void C_Connection::ShowOptionsText(const C_String& description) {
    C_String text;
    m_window->LoadText(kOptionsTextId, text);
    if (!description.IsEmpty()) {
        text.Append(kOptionsSeparator);
        text.Append(description);
    }
    m_window->SetOptionsButtonText(text.c_str());
}

void C_Connection::RunCloseTarget() {
    C_Transport* current = m_current;
    C_String name;
    ShowStatus(STATUS_CLOSING, current && current->GetName(name) ? name.c_str() : nullptr);
    AwaitReader();
    if (current)
        current->Close();
    ReleaseHeld();
    m_window->SetTitleSuffix(nullptr);
    ShowStatus(STATUS_CLOSED, current && current->GetName(name) ? name.c_str() : nullptr);
}

// The stop is requested before the reader is woken, so a step that wakes sees it. A step can still start a new
// wait after that wake-up (a serial step's comm-event wait even clears the event as it starts), so the reader
// is woken again at intervals until it has ended; the wait dispatches the statuses it may send meanwhile.
void C_Connection::AwaitReader() {
    if (!m_reader.RequestStop())
        return;
    while (m_reader.IsRunning()) {
        if (HANDLE event = m_dataEvent)
            SetEvent(event);
        m_reader.WaitFinished(kReaderWakeIntervalMs, QuitMessage::Deferred);
    }
}

// --- line control ----------------------------------------------------------------------------------------------

// Timed here, between the commands before and after it; a shutdown cuts the wait short but still ends the break.
void C_Connection::RunBreak(DWORD milliseconds) {
    C_Transport* current = m_current;
    if (!current || !current->SetBreak(true))
        return;
    WaitForEvent(m_shutdown.Get(), milliseconds);
    current->SetBreak(false);
}

// Each line comes back as it was: a line that was already down stays down.
void C_Connection::RunPulse(uint8_t lines, DWORD milliseconds) {
    C_Transport* current = m_current;
    LineState state;
    if (!current || !current->GetLineState(state))
        return;
    const uint8_t pulsed = lines & kBothModemLines & ~HandshakeLines(state.flowControl);
    if (!pulsed || !current->SetModemLines(pulsed, false))
        return;
    WaitForEvent(m_shutdown.Get(), milliseconds);
    if (const uint8_t restored = pulsed & state.raisedLines)
        current->SetModemLines(restored, true);
}

void C_Connection::RunModemLines(uint8_t lines, bool raised) {
    C_Transport* current = m_current;
    LineState state;
    if (!current || !current->GetLineState(state))
        return;
    const uint8_t changed = lines & kBothModemLines & ~HandshakeLines(state.flowControl);
    C_String port, identity;
    if (changed && current->SetModemLines(changed, raised) && current->GetName(port))
        m_options->RememberModemLines(OptionsKey(port.c_str(), identity), changed, raised);
}
