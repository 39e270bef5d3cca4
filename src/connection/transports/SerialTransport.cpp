#include "connection/transports/SerialTransport.h"

#include <cstring>

namespace {

// A write that is still in flight after its cancellation is given this long to end before it is given up on.
constexpr DWORD kCancelLimitMs = 5000;

const wchar_t* ParityLetter(BYTE parity) {
    switch (parity) {
    case NOPARITY:
        return L"N";
    case ODDPARITY:
        return L"O";
    case EVENPARITY:
        return L"E";
    default:
        return L""; // mark and space have no letter here
    }
}

const wchar_t* StopBitsText(BYTE stopBits) {
    switch (stopBits) {
    case ONESTOPBIT:
        return L"1";
    case ONE5STOPBITS:
        return L"1.5";
    case TWOSTOPBITS:
        return L"2";
    default:
        return L"";
    }
}

} // namespace

bool C_SerialTransport::Start() {
    m_port.Init();
    return true;
}

void C_SerialTransport::Stop() {
    m_port.Uninit();
}

// Opening is all the probe does: writing settings would reset every idle board whose reset hangs on DTR, and
// undo what another program set on a port it is about to use again.
bool C_SerialTransport::ProbePort(const wchar_t* target) {
    C_SerialPort probe;
    probe.Init();
    probe.SetName(target, false);
    const bool available = probe.OpenWithoutSettings();
    probe.Close();
    probe.Uninit();
    return available;
}

bool C_SerialTransport::Describe(const SerialLineSettings& line, C_String& description) {
    return description.Format(L"%u baud %u", static_cast<unsigned>(line.baudRate), unsigned(line.dataBits)) &&
           description.Append(ParityLetter(line.parity)) && description.Append(StopBitsText(line.stopBits)) &&
           description.Append(FlowControlSuffix(line.flowControl));
}

const wchar_t* C_SerialTransport::FlowControlSuffix(uint8_t flowControl) {
    switch (flowControl) {
    case FLOW_RTS_CTS:
        return L" RTS/CTS";
    case FLOW_DSR_DTR:
        return L" DSR/DTR";
    case FLOW_XON_XOFF:
        return L" XON/XOFF";
    default:
        return L"";
    }
}

// The target may name a port as the port list shows it (its friendly name) or by its device path, compared
// exactly; a bare "COM5" therefore matches only a port listed under that very name. Without a match the name
// stays empty and the open fails without touching any device.
bool C_SerialTransport::MatchTarget(const wchar_t* target) {
    if (!target || !*target)
        return false;
    // The enumeration's own calls leave errors behind that say nothing about the port; an unmatched open must
    // not look like, say, access denied to the caller.
    const DWORD error = GetLastError();
    m_port.Enumerate(&C_SerialTransport::MatchPort, const_cast<wchar_t*>(target));
    SetLastError(error);
    return m_port.HasName();
}

bool C_SerialTransport::MatchPort(const PortInfo& info, void* context, C_SerialPort& port) {
    const wchar_t* target = static_cast<const wchar_t*>(context);
    if (wcscmp(target, info.name.c_str()) != 0 && wcscmp(target, info.devicePath.c_str()) != 0)
        return true;
    port.SetName(info.devicePath.c_str(), true);
    return false;
}

bool C_SerialTransport::Open(const wchar_t* target, C_String& description) {
    m_port.SetName(nullptr, true);
    MatchTarget(target);
    m_target.Assign(target ? target : L"");
    m_toldRefusals = 0;
    m_host.ShowStatus(STATUS_OPENING, target);
    C_String port;
    m_port.GetName(port);
    const SerialLineSettings line = m_host.GetSerialLineSettings(port.IsEmpty() ? target : port.c_str());
    SerialPortSettings settings;
    settings.baudRate = line.baudRate;
    settings.inputQueue = kInputQueue;
    settings.outputQueue = kOutputQueue;
    settings.readInterval = 0;
    settings.readTotalConstant = kReadTotalConstantMs;
    settings.readTotalMultiplier = 0;
    settings.writeTotalMultiplier = kWriteTotalMultiplierMs;
    settings.writeTotalConstant = 0;
    settings.parity = line.parity;
    settings.stopBits = line.stopBits;
    settings.dataBits = line.dataBits;
    settings.flowControl = line.flowControl;
    settings.linesAtOpen = line.linesAtOpen;
    m_port.Configure(settings);
    m_flowControl = line.flowControl;
    m_pulseLines = line.pulseLines;
    Describe(line, description);
    const bool opened = m_port.Open();
    if (m_port.LastRefusal() == LineRefusal::Line)
        Refused(REFUSED_LINE, description.c_str());
    else if (m_port.LastRefusal() == LineRefusal::Handshake) {
        // The port runs without flow control then, whatever was asked.
        if (line.flowControl != FLOW_NONE)
            Refused(REFUSED_FLOW_CONTROL, FlowControlSuffix(line.flowControl) + 1);
        else
            Refused(REFUSED_MODEM_LINES);
        m_flowControl = FLOW_NONE;
    }
    return opened;
}

void C_SerialTransport::Refused(RefusalText text, const wchar_t* detail) {
    const uint32_t bit = 1u << (text - REFUSED_LINE);
    if (m_toldRefusals & bit)
        return;
    m_toldRefusals |= bit;
    const DWORD error = GetLastError();
    m_host.ShowRefusal(text, m_target.c_str(), detail);
    SetLastError(error);
}

bool C_SerialTransport::SetModemLines(uint8_t lines, bool raised) {
    if (!m_port.IsOpen())
        return false;
    if (m_port.SetModemLines(lines, raised))
        return true;
    Refused(REFUSED_MODEM_LINES);
    return false;
}

// Characters still on their way would otherwise be cut by the break or follow it: the write before it must
// have ended first.
bool C_SerialTransport::SetBreak(bool on) {
    if (!m_port.IsOpen())
        return false;
    if (on)
        FinishPendingWrite();
    if (m_port.SetBreak(on))
        return true;
    if (on)
        Refused(REFUSED_BREAK);
    return false;
}

bool C_SerialTransport::GetLineState(LineState& state) const {
    if (!m_port.IsOpen())
        return false;
    state.flowControl = m_flowControl;
    state.raisedLines = m_port.RaisedLines();
    state.pulseLines = m_pulseLines;
    return true;
}

bool C_SerialTransport::IsDeviceGoneError(DWORD error) {
    switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}

bool C_SerialTransport::EndConnection() {
    m_port.Close();
    return false;
}

bool C_SerialTransport::ReadStep() {
    // Setting the mask also completes a comm-event wait left pending by the previous step.
    if (!m_port.SetEventMask(EV_RXCHAR) && IsDeviceGoneError(GetLastError()))
        return EndConnection();
    HANDLE dataEvent = m_host.GetDataEvent();
    m_eventRecord = OVERLAPPED{};
    m_eventRecord.hEvent = dataEvent;
    m_eventMask = 0;
    if (!m_port.WaitEvent(&m_eventMask, &m_eventRecord))
        return EndConnection();

    bool timedOut = false;
    const DWORD wait = m_host.HasPendingLine() ? kPendingLineWaitMs : INFINITE;
    if (!WaitForEvent(dataEvent, wait, &timedOut)) {
        if (timedOut) {
            m_host.GetReceiveSink().FlushIfIdle();
            return true;
        }
        Sleep(kWaitFailureBackoffMs); // not a synchronisation: keeps a broken wait from spinning
        return true;
    }
    if (m_host.IsStopRequested())
        return EndConnection();
    return Drain();
}

// Reads until the driver's queue is empty, so a burst larger than one chunk is handled in one step.
bool C_SerialTransport::Drain() {
    bool received = false;
    unsigned failedReads = 0;
    for (;;) {
        COMSTAT status{};
        DWORD errors = 0;
        if (!m_port.QueryStatus(&errors, &status))
            return IsDeviceGoneError(GetLastError()) ? EndConnection() : true;
        if (status.cbInQue == 0) {
            // A wake-up that brought nothing counts as an idle wait: some drivers end comm-event waits early.
            if (!received)
                m_host.GetReceiveSink().FlushIfIdle();
            return true;
        }
        DWORD count = 0;
        if (ReadChunk(status.cbInQue < kReadChunk ? status.cbInQue : kReadChunk, &count) && count) {
            m_host.GetReceiveSink().ProcessReceivedData(m_readBuffer, count);
            received = true;
            failedReads = 0;
        } else if (++failedReads >= kFailedReadLimit) {
            return true;
        }
        if (m_host.IsStopRequested())
            return true; // the reader loop ends on its own test
    }
}

bool C_SerialTransport::ReadChunk(DWORD size, DWORD* count) {
    m_readRecord = OVERLAPPED{};
    m_readRecord.hEvent = m_host.GetDataEvent();
    if (m_port.Read(m_readBuffer, size, count, &m_readRecord))
        return m_port.GetResult(&m_readRecord, count, false);
    return GetLastError() == ERROR_IO_PENDING && m_port.GetResult(&m_readRecord, count, true);
}

bool C_SerialTransport::Write(const uint8_t* bytes, uint32_t size) {
    if (!bytes || size == 0)
        return true;
    if (!FinishPendingWrite())
        return false;
    if (!m_writeEvent)
        m_writeEvent = CreateAutoResetEvent();
    if (!m_writeEvent)
        return false;
    m_writeRecord = OVERLAPPED{};
    m_writeRecord.hEvent = m_writeEvent.Get();
    DWORD count = 0;
    // Done at once: an overlapped write that completes on the spot has taken every byte.
    if (m_port.Write(bytes, size, &count, &m_writeRecord))
        return true;
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    if (WaitForEvent(m_writeEvent.Get(), kWriteWaitMs))
        return m_port.GetResult(&m_writeRecord, &count, false) && count == size;
    m_writePending = true;
    m_pendingWriteSize = size;
    return true;
}

DWORD C_SerialTransport::PendingWriteLimitMs(DWORD bytes, const SerialPortSettings& settings) {
    if (settings.baudRate == 0)
        return kPendingWriteCeilingMs;
    // In half bits, for the one and a half stop bits.
    uint64_t halfBitsPerByte = 2 * (1 + 8);
    if (settings.parity != NOPARITY)
        halfBitsPerByte += 2;
    halfBitsPerByte += settings.stopBits == ONE5STOPBITS ? 3 : settings.stopBits == TWOSTOPBITS ? 4 : 2;
    const uint64_t halfBitsPerSecond = 2 * uint64_t(settings.baudRate);
    const uint64_t lineMs = (uint64_t(bytes) * halfBitsPerByte * 1000 + halfBitsPerSecond - 1) / halfBitsPerSecond;
    const uint64_t limit = lineMs + kPendingWriteMarginMs;
    return limit < kPendingWriteCeilingMs ? static_cast<DWORD>(limit) : kPendingWriteCeilingMs;
}

// Waits for a write that outlasted its own wait, as long as its bytes need on the line; one that still runs is
// cancelled. A record still in use is never reused: then this write is dropped.
bool C_SerialTransport::FinishPendingWrite() {
    if (!m_writePending)
        return true;
    if (!WaitForEvent(m_writeEvent.Get(), PendingWriteLimitMs(m_pendingWriteSize, m_port.GetSettings()))) {
        m_port.CancelPending();
        if (!WaitForEvent(m_writeEvent.Get(), kCancelLimitMs))
            return false;
    }
    m_writePending = false;
    return true;
}
