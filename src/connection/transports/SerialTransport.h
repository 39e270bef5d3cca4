#pragma once
// C_SerialTransport: the transport for serial ports. Every open configures the line from the user's options for
// that port (its own, or the Options values) with a large receive queue; the read step sleeps on a comm event
// until characters arrive and then drains the driver's queue in one go. The probe only opens and closes: an idle
// device's line and modem lines stay as they are.
#include "connection/threads/Event.h"
#include "connection/transports/SerialPort.h"
#include "connection/transports/Transport.h"

#include <atomic>
#include <cstdint>

class C_SerialTransport : public C_Transport {
public:
    static constexpr DWORD kInputQueue = 50000; // bytes: room for a long burst between two read steps
    static constexpr DWORD kOutputQueue = 2000;
    static constexpr DWORD kReadTotalConstantMs = 1000;
    static constexpr DWORD kWriteTotalMultiplierMs = 100; // per byte
    static constexpr DWORD kReadChunk = 1024;
    // While a partial line waits to be shown, the step wakes this often so it appears soon after its last byte.
    static constexpr DWORD kPendingLineWaitMs = 20;
    static constexpr DWORD kWaitFailureBackoffMs = 500;
    static constexpr DWORD kWriteWaitMs = 1000;
    // Reads that fail one after another while the driver claims queued bytes end the step instead of looping.
    static constexpr unsigned kFailedReadLimit = 3;
    // A write still pending from before is awaited for what its bytes need on the line plus this margin, but
    // never longer than the ceiling: the driver's own limit (100 ms per byte) would hold every later command,
    // a close included, for minutes after a large paste into a line that flow control has stopped.
    static constexpr DWORD kPendingWriteMarginMs = 1000;
    static constexpr DWORD kPendingWriteCeilingMs = 5000;

    explicit C_SerialTransport(C_TransportHost& host) : m_host(host) {}

    bool Start() override;
    void Stop() override;
    bool IsOpen() const override { return m_port.IsOpen(); }
    bool GetName(C_String& name) const override { return m_port.GetName(name); }
    bool Probe(const wchar_t* target) override { return ProbePort(target); }
    // Whether the port can be opened right now; it is only opened and closed, never set.
    static bool ProbePort(const wchar_t* target);
    bool Open(const wchar_t* target, C_String& description) override;
    void Close() override { m_port.Close(); }
    bool Write(const uint8_t* bytes, uint32_t size) override;
    bool ReadStep() override;
    bool SetModemLines(uint8_t lines, bool raised) override;
    bool SetBreak(bool on) override;
    bool GetLineState(LineState& state) const override;
    bool GetModemStatus(DWORD& status) override { return m_port.GetModemStatus(status); }
    // The rate the port was last opened with, which paces how much one write may carry.
    DWORD GetBaudRate() const { return m_port.GetSettings().baudRate; }

    // Before Start; functions must outlive the transport. Tests record the line calls through it.
    void UseCommFunctions(C_CommFunctions& functions) { m_port.UseCommFunctions(functions); }

    // "115200 baud 8N1", "9600 baud 7E1 RTS/CTS": baud rate, data bits, parity letter, stop bits and the flow
    // control when there is one; unknown codes add nothing.
    static bool Describe(const SerialLineSettings& line, C_String& description);
    // " RTS/CTS", " DSR/DTR", " XON/XOFF"; empty for none or an unknown code.
    static const wchar_t* FlowControlSuffix(uint8_t flowControl);
    // Errors by which a port says its device has gone (a USB adapter pulled out).
    static bool IsDeviceGoneError(DWORD error);
    // How long a pending write of bytes may still take on a line with these settings: start bit, 8 data bits,
    // parity bit and stop bits per byte at the baud rate, plus the margin, at most the ceiling.
    static DWORD PendingWriteLimitMs(DWORD bytes, const SerialPortSettings& settings);

private:
    bool MatchTarget(const wchar_t* target);
    static bool MatchPort(const PortInfo& info, void* context, C_SerialPort& port);
    bool Drain();
    bool ReadChunk(DWORD size, DWORD* count);
    bool FinishPendingWrite();
    bool EndConnection();
    // Tells a refusal of the driver once per opening and kind.
    void Refused(RefusalText text, const wchar_t* detail = nullptr);

    C_TransportHost& m_host;

    // The comm-event wait can still be pending when a step returns after its short wait; the next step's mask
    // setting completes it. So its record and mask word belong to the transport, not to the step.
    OVERLAPPED m_eventRecord{};
    DWORD m_eventMask = 0;
    OVERLAPPED m_readRecord{};
    uint8_t m_readBuffer[kReadChunk];

    // A write can outlast its wait; its record and event stay here until it has ended, and the next write first
    // waits for it (its time-outs bound that wait).
    C_Handle m_writeEvent;
    OVERLAPPED m_writeRecord{};
    DWORD m_pendingWriteSize = 0;
    bool m_writePending = false;

    // Command thread: the target as the user named it, and the refusals told since it was opened.
    C_String m_target;
    uint32_t m_toldRefusals = 0;
    // Set at every open, read by any thread.
    std::atomic<uint8_t> m_flowControl{FLOW_NONE};
    std::atomic<uint8_t> m_pulseLines{LINE_DTR};

    // Declared last, so it is closed (ending whatever is still pending) before the records above go away.
    C_SerialPort m_port;
};
