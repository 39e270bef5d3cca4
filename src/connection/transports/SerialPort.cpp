#include "connection/transports/SerialPort.h"

namespace {

constexpr BYTE kDataBits = 8;

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

bool C_SerialPort::Open() {
    C_String path;
    if (!m_name.CopyTo(path) || path.IsEmpty())
        return false;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (m_overlapped ? FILE_FLAG_OVERLAPPED : 0);
    if (!m_device.Open(path.c_str(), C_File::MODE_READ_WRITE_EXISTING, flags, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return false;
    if (!ApplySettings()) {
        ErrorKeeper keep;
        m_device.Close();
        return false;
    }
    return true;
}

// Only the fields below change; flow control, XON/XOFF characters and limits, the error character and
// abort-on-error keep what the device reported.
bool C_SerialPort::ApplySettings() {
    HANDLE device = m_device.GetHandle();
    DCB state{};
    state.DCBlength = sizeof state;
    // A state that could not be read is not a base to write back.
    if (!GetCommState(device, &state))
        return false;
    state.BaudRate = m_settings.baudRate;
    state.ByteSize = kDataBits;
    state.Parity = m_settings.parity;
    state.StopBits = m_settings.stopBits;
    state.fParity = m_settings.parity != NOPARITY;
    state.fDtrControl = DTR_CONTROL_ENABLE;
    state.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(device, &state))
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
