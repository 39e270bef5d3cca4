#pragma once
// C_SerialPort, transport half: a serial device opened by path with the line settings, queue sizes and time-outs
// it was configured with, and thin calls for overlapped reads, writes and comm-event waits. Nothing reaches the
// device before Open; Read and Write on a closed port open it around the one call. The calls that set the line
// and the modem lines go through C_CommFunctions.
//
// Enumeration half (SerialPortEnumeration.cpp): the list of the system's serial ports, rebuilt by Enumerate.
#include "connection/discovery/PortInfo.h"
#include "connection/transports/CommFunctions.h"
#include "connection/transports/SerialPortEnumeration.h"
#include "connection/transports/SharedName.h"
#include "foundation/base/File.h"
#include "foundation/base/TextString.h"
#include "foundation/settings/LineSettings.h"

#include <windows.h>

#include <atomic>

// Everything Open writes to the device.
struct SerialPortSettings {
    DWORD baudRate = 115200;
    DWORD inputQueue = 0;  // bytes, recommended receive queue size
    DWORD outputQueue = 0; // bytes, recommended transmit queue size
    DWORD readInterval = 0;
    DWORD readTotalConstant = 0;
    DWORD readTotalMultiplier = 0;
    DWORD writeTotalMultiplier = 0;
    DWORD writeTotalConstant = 0;
    BYTE parity = NOPARITY;
    BYTE stopBits = ONESTOPBIT;
    BYTE dataBits = 8;
    uint8_t flowControl = FLOW_NONE;
    uint8_t linesAtOpen = kBothModemLines; // bits of ModemLine
};

// What a driver refused of the settings at the last Open.
enum class LineRefusal {
    None,
    Handshake, // the flow control or the modem lines at opening: the port opened without them
    Line,      // the baud rate, data bits, parity or stop bits: the open failed
};

class C_SerialPort {
public:
    // What Init resets to: a plain line that any device accepts, for probing and enumeration.
    static constexpr DWORD kInitBaudRate = 19200;
    static constexpr DWORD kInitQueueSize = 2000;
    // A call that opened the port for itself waits this long for a pending operation before cancelling it, so
    // the device never closes under an operation still running.
    static constexpr DWORD kAroundCallLimitMs = 10000;

    C_SerialPort() = default;
    C_SerialPort(const C_SerialPort&) = delete;
    C_SerialPort& operator=(const C_SerialPort&) = delete;

    // Init does what Uninit does, prepares the enumeration and resets the settings; the device handle is not
    // touched. Uninit empties the name and the port list and releases the enumeration.
    void Init();
    void Uninit();

    // Rebuilds the port list by the method that suits the system, then calls callback for each port in order
    // until it returns false. False (and no call) only when the method failed. A null callback only rebuilds.
    bool Enumerate(PortInfoCallback callback, void* context);

    // A null name empties the stored one. Other threads may read the name meanwhile (GetName copies it).
    void SetName(const wchar_t* name, bool overlapped);
    bool GetName(C_String& name) const { return m_name.CopyTo(name); }
    bool HasName() const { return !m_name.IsEmpty(); }
    bool IsOverlapped() const { return m_overlapped; }

    // Stored only; the device sees them at the next Open.
    void Configure(const SerialPortSettings& settings) { m_settings = settings; }
    const SerialPortSettings& GetSettings() const { return m_settings; }
    // Before the first Open; functions must outlive the port. The system's by default.
    void UseCommFunctions(C_CommFunctions& functions) { m_comm = &functions; }

    // Fails without any system call for an empty name. A failed create leaves its error as the thread's last
    // error (the connection retries a port that another program holds), and so does a refused line.
    bool Open();
    // Opens the device and writes nothing to it: the line, its modem lines and the driver's queues stay as
    // another program or the last user left them.
    bool OpenWithoutSettings();
    bool IsOpen() const { return m_device.IsOpen(); }
    void Close();
    LineRefusal LastRefusal() const { return m_refusal; }

    // The modem output lines (bits of ModemLine) raised or dropped at once; false when the device is closed or
    // the driver refused (the first refused line stops the change). Lines under handshake control are the
    // caller's to leave out.
    bool SetModemLines(uint8_t lines, bool raised);
    // The lines raised as far as this port set them: at opening, then by SetModemLines.
    uint8_t RaisedLines() const { return m_raisedLines; }
    // Starts (true) or ends a break on the line.
    bool SetBreak(bool on);
    // The input lines (MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON). Any thread: a close waits for the call.
    bool GetModemStatus(DWORD& status);

    // The device state Open writes over the one the device reported: the line settings, the flow control and
    // the modem lines at opening; every other field stays as reported.
    static DCB ComposeState(const DCB& reported, const SerialPortSettings& settings);
    // The same without the flow control and the modem lines, for a driver that refused them.
    static DCB ComposeLineOnly(const DCB& reported, const SerialPortSettings& settings);
    // XonLim and XoffLim for a receive queue: flow stops when it is three quarters full and resumes once it is
    // down to a quarter.
    static WORD FlowLimit(DWORD inputQueue);

    // One system read or write. On a closed port: open, run the call to its end, close again.
    bool Read(void* buffer, DWORD size, DWORD* count, OVERLAPPED* record);
    bool Write(const void* bytes, DWORD size, DWORD* count, OVERLAPPED* record);
    bool GetResult(OVERLAPPED* record, DWORD* count, bool wait);

    bool SetEventMask(DWORD mask);
    // True when the wait completed at once or was accepted as pending.
    bool WaitEvent(DWORD* mask, OVERLAPPED* record);
    // Queue state and line errors (clearing the error condition).
    bool QueryStatus(DWORD* errors, COMSTAT* status);
    // Cancels what the calling thread has pending on the device.
    bool CancelPending();

private:
    bool OpenDevice();
    bool ApplySettings();
    bool ApplyState(const DCB& reported);
    bool FinishBeforeClose(bool started, OVERLAPPED* record, DWORD* count);
    // Runs one read or write, opening the port around it when it is closed.
    template <class Transfer> bool WithPortOpen(OVERLAPPED* record, DWORD* count, Transfer transfer);

    C_SharedName m_name;
    bool m_overlapped = false;
    C_PortInfoList m_portInfos;
    C_DeviceDatabase m_deviceDatabase;
    SerialPortSettings m_settings;
    C_CommFunctions* m_comm = &C_CommFunctions::System();
    LineRefusal m_refusal = LineRefusal::None;
    std::atomic<uint8_t> m_raisedLines{0};
    // Held while the device handle is made or closed, and by GetModemStatus, which other threads call.
    mutable C_CriticalSection m_deviceLock;
    C_File m_device;
};
