#pragma once
// C_SerialTransport: the transport for serial ports. Every open configures the line from the user's options
// (always 8 data bits) with a large receive queue; the read step sleeps on a comm event until characters
// arrive and then drains the driver's queue in one go.
#include "connection/threads/Event.h"
#include "connection/transports/SerialPort.h"
#include "connection/transports/Transport.h"

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
    bool Probe(const wchar_t* target) override;
    bool Open(const wchar_t* target, C_String& description) override;
    void Close() override { m_port.Close(); }
    bool Write(const uint8_t* bytes, uint32_t size) override;
    bool ReadStep() override;

    // "115200 baud 8N1": baud rate, 8 data bits, parity letter and stop bits; unknown codes add nothing.
    static bool Describe(const SerialLineSettings& line, C_String& description);
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

    // Declared last, so it is closed (ending whatever is still pending) before the records above go away.
    C_SerialPort m_port;
};
