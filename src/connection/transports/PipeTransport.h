#pragma once
// C_PipeTransport: a "\\.\pipe\..." target, such as the serial-port pipe of a virtual machine. The pipe is opened
// as a client, for overlapped reading and writing.
//
// A read that has not completed when a step returns (the step waits only briefly while a partial line is
// pending) stays outstanding and is collected by a later step; the record and buffer it completes into belong
// to the transport for that reason, and a read still outstanding at Close is cancelled and awaited there.
#include "connection/transports/SharedName.h"
#include "connection/transports/Transport.h"
#include "foundation/base/File.h"

#include <cstdint>

class C_PipeTransport : public C_Transport {
public:
    static constexpr DWORD kReadSize = 4096;
    static constexpr DWORD kPendingLineWaitMs = 20;
    static constexpr DWORD kWaitFailureBackOffMs = 500;
    static constexpr DWORD kWriteTimeoutMs = 1000;

    explicit C_PipeTransport(C_TransportHost& host) : m_host(host) {}
    ~C_PipeTransport() override { Close(); }

    bool Start() override { return true; }
    void Stop() override {}
    bool IsOpen() const override { return m_pipe.IsOpen(); }
    bool GetName(C_String& name) const override { return m_name.CopyTo(name); }
    // Opens the pipe as Open does and closes it again at once.
    bool Probe(const wchar_t* target) override { return ProbePipe(target); }
    static bool ProbePipe(const wchar_t* target);
    // A missing or busy pipe fails, with the system's error left as the thread's last error.
    bool Open(const wchar_t* target, C_String& description) override;
    void Close() override;
    // Waits at most kWriteTimeoutMs for the pipe to take the bytes.
    bool Write(const uint8_t* bytes, uint32_t size) override;
    // Ends the connection (false, pipe closed) when a read fails, whether at once or on completion: the peer has
    // gone, or CloseTarget woke the step before data came.
    bool ReadStep() override;

private:
    static bool OpenPipe(C_File& pipe, const wchar_t* target);
    // Starts a read into the buffer; false when it failed (the read is then not outstanding).
    bool StartRead();
    // Collects the outstanding read without waiting; false when it failed or has not completed.
    bool FinishRead(DWORD& count);
    void CancelRead();
    bool EndConnection();

    C_TransportHost& m_host;
    C_File m_pipe;
    C_SharedName m_name;
    OVERLAPPED m_readRecord = {};
    bool m_readOutstanding = false;
    uint8_t m_readBuffer[kReadSize] = {};
};
