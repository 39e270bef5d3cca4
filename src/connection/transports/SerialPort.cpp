#include "connection/transports/SerialPort.h"

namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
// XonLim and XoffLim each take this share of the receive queue.
constexpr DWORD kFlowLimitDivisor = 4;
constexpr DWORD kMaxFlowLimit = 0xFFFF; // the fields are 16 bits wide

DWORD DtrControl(uint8_t lines) {
    return (lines & LINE_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
}

DWORD RtsControl(uint8_t lines) {
    return (lines & LINE_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
}

// The lines a state raises for good: enabled, not under handshake.
uint8_t RaisedBy(const DCB& state) {
    uint8_t lines = 0;
    if (state.fDtrControl == DTR_CONTROL_ENABLE)
        lines |= LINE_DTR;
    if (state.fRtsControl == RTS_CONTROL_ENABLE)
        lines |= LINE_RTS;
    return lines;
}

// Keeps the thread's last error across cleanup, so the caller sees why the operation failed, not the cleanup.
class ErrorKeeper {
public:
    ErrorKeeper() : m_error(GetLastError()) {}
    ~ErrorKeeper() { SetLastError(m_error); }

private:
    DWORD m_error;
};

} // namespace

void C_SerialPort::Init() {
    Uninit();
    m_deviceDatabase.Load();
    SerialPortSettings settings;
    settings.baudRate = kInitBaudRate;
    settings.inputQueue = kInitQueueSize;
    settings.outputQueue = kInitQueueSize;
    m_settings = settings;
}

void C_SerialPort::Uninit() {
    m_name.Set(nullptr);
    m_portInfos.Clear();
    m_deviceDatabase.Unload();
}

void C_SerialPort::SetName(const wchar_t* name, bool overlapped) {
    m_name.Set(name);
    m_overlapped = overlapped;
}

bool C_SerialPort::OpenDevice() {
    C_String path;
    if (!m_name.CopyTo(path) || path.IsEmpty())
        return false;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (m_overlapped ? FILE_FLAG_OVERLAPPED : 0);
    C_Lock hold(m_deviceLock);
    return m_device.Open(path.c_str(), C_File::MODE_READ_WRITE_EXISTING, flags, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

bool C_SerialPort::Open() {
    m_refusal = LineRefusal::None;
    m_raisedLines = 0;
    if (!OpenDevice())
        return false;
    if (!ApplySettings()) {
        ErrorKeeper keep;
        Close();
        return false;
    }
    return true;
}

bool C_SerialPort::OpenWithoutSettings() {
    m_refusal = LineRefusal::None;
    m_raisedLines = 0;
    return OpenDevice();
}

void C_SerialPort::Close() {
    C_Lock hold(m_deviceLock);
    m_device.Close();
}

WORD C_SerialPort::FlowLimit(DWORD inputQueue) {
    const DWORD limit = inputQueue / kFlowLimitDivisor;
    return WORD(limit < kMaxFlowLimit ? limit : kMaxFlowLimit);
}

DCB C_SerialPort::ComposeLineOnly(const DCB& reported, const SerialPortSettings& settings) {
    DCB state = reported;
    state.BaudRate = settings.baudRate;
    state.ByteSize = settings.dataBits;
    state.Parity = settings.parity;
    state.StopBits = settings.stopBits;
    state.fParity = settings.parity != NOPARITY;
    return state;
}

// The flow control decides the handshake fields; a line it does not drive is raised or dropped as chosen for
// the opening.
DCB C_SerialPort::ComposeState(const DCB& reported, const SerialPortSettings& settings) {
    DCB state = ComposeLineOnly(reported, settings);
    const uint8_t flow = settings.flowControl;
    state.fOutxCtsFlow = flow == FLOW_RTS_CTS;
    state.fOutxDsrFlow = flow == FLOW_DSR_DTR;
    state.fOutX = flow == FLOW_XON_XOFF;
    state.fInX = flow == FLOW_XON_XOFF;
    state.fDtrControl = flow == FLOW_DSR_DTR ? DTR_CONTROL_HANDSHAKE : DtrControl(settings.linesAtOpen);
    state.fRtsControl = flow == FLOW_RTS_CTS ? RTS_CONTROL_HANDSHAKE : RtsControl(settings.linesAtOpen);
    if (flow == FLOW_XON_XOFF) {
        state.XonChar = kXon;
        state.XoffChar = kXoff;
    }
    if (flow != FLOW_NONE) {
        state.XonLim = FlowLimit(settings.inputQueue);
        state.XoffLim = FlowLimit(settings.inputQueue);
    }
    return state;
}

// A driver that refuses the flow control or the modem lines still gets the line itself, and the port opens
// without them; one that refuses the line fails the open, since nothing sent or received would be right.
bool C_SerialPort::ApplyState(const DCB& reported) {
    HANDLE device = m_device.GetHandle();
    DCB wanted = ComposeState(reported, m_settings);
    if (m_comm->SetState(device, wanted)) {
        m_raisedLines = RaisedBy(wanted);
        return true;
    }
    DCB plain = ComposeLineOnly(reported, m_settings);
    if (!m_comm->SetState(device, plain)) {
        m_refusal = LineRefusal::Line;
        return false;
    }
    m_refusal = LineRefusal::Handshake;
    m_raisedLines = RaisedBy(plain);
    return true;
}

bool C_SerialPort::ApplySettings() {
    HANDLE device = m_device.GetHandle();
    DCB reported{};
    reported.DCBlength = sizeof reported;
    // A state that could not be read is not a base to write back.
    if (!m_comm->GetState(device, reported) || !ApplyState(reported))
        return false;
    if (!SetupComm(device, m_settings.inputQueue, m_settings.outputQueue))
        return false;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = m_settings.readInterval;
    timeouts.ReadTotalTimeoutMultiplier = m_settings.readTotalMultiplier;
    timeouts.ReadTotalTimeoutConstant = m_settings.readTotalConstant;
    timeouts.WriteTotalTimeoutMultiplier = m_settings.writeTotalMultiplier;
    timeouts.WriteTotalTimeoutConstant = m_settings.writeTotalConstant;
    return SetCommTimeouts(device, &timeouts) != FALSE;
}

template <class Transfer> bool C_SerialPort::WithPortOpen(OVERLAPPED* record, DWORD* count, Transfer transfer) {
    const bool openedHere = !IsOpen();
    if (openedHere && !Open())
        return false;
    // A count is always asked for: without one the file layer may retry an overlapped write synchronously.
    DWORD ignored = 0;
    bool started = transfer(count ? count : &ignored);
    if (openedHere) {
        started = FinishBeforeClose(started, record, count);
        ErrorKeeper keep;
        Close();
    }
    return started;
}

bool C_SerialPort::Read(void* buffer, DWORD size, DWORD* count, OVERLAPPED* record) {
    return WithPortOpen(record, count, [&](DWORD* done) { return m_device.Read(size, buffer, done, record) != 0; });
}

bool C_SerialPort::Write(const void* bytes, DWORD size, DWORD* count, OVERLAPPED* record) {
    return WithPortOpen(record, count, [&](DWORD* done) { return m_device.Write(size, bytes, done, record) != 0; });
}

// Closing the device cancels what is still pending on it, and the caller would learn nothing of the outcome.
// So a port opened for one call waits for that call to end (cancelling it after a generous limit), and reports
// the real outcome and count.
bool C_SerialPort::FinishBeforeClose(bool started, OVERLAPPED* record, DWORD* count) {
    if (!record)
        return started;
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return false;
    HANDLE waitable = record->hEvent ? record->hEvent : m_device.GetHandle();
    if (WaitForSingleObject(waitable, kAroundCallLimitMs) != WAIT_OBJECT_0)
        CancelIo(m_device.GetHandle());
    DWORD done = 0;
    const bool finished = m_device.GetOverlappedResult(record, &done, true) != 0;
    if (count)
        *count = done;
    return finished;
}

bool C_SerialPort::GetResult(OVERLAPPED* record, DWORD* count, bool wait) {
    return record && m_device.GetOverlappedResult(record, count, wait) != 0;
}

bool C_SerialPort::SetEventMask(DWORD mask) {
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return SetCommMask(m_device.GetHandle(), mask) != FALSE;
}

bool C_SerialPort::WaitEvent(DWORD* mask, OVERLAPPED* record) {
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return WaitCommEvent(m_device.GetHandle(), mask, record) || GetLastError() == ERROR_IO_PENDING;
}

bool C_SerialPort::QueryStatus(DWORD* errors, COMSTAT* status) {
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD ignored = 0;
    return ClearCommError(m_device.GetHandle(), errors ? errors : &ignored, status) != FALSE;
}

bool C_SerialPort::CancelPending() {
    return IsOpen() && CancelIo(m_device.GetHandle());
}

bool C_SerialPort::SetModemLines(uint8_t lines, bool raised) {
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    struct Step {
        uint8_t line;
        DWORD raise, drop;
    };
    static constexpr Step kSteps[] = {{LINE_DTR, SETDTR, CLRDTR}, {LINE_RTS, SETRTS, CLRRTS}};
    for (const Step& step : kSteps) {
        if (!(lines & step.line))
            continue;
        if (!m_comm->Escape(m_device.GetHandle(), raised ? step.raise : step.drop))
            return false;
        m_raisedLines = raised ? uint8_t(m_raisedLines | step.line) : uint8_t(m_raisedLines & ~step.line);
    }
    return true;
}

bool C_SerialPort::SetBreak(bool on) {
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    HANDLE device = m_device.GetHandle();
    return (on ? m_comm->SetBreak(device) : m_comm->ClearBreak(device)) != FALSE;
}

bool C_SerialPort::GetModemStatus(DWORD& status) {
    status = 0;
    C_Lock hold(m_deviceLock);
    return IsOpen() && m_comm->GetModemStatus(m_device.GetHandle(), status);
}
