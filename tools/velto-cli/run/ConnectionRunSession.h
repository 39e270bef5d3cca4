#pragma once
// C_ConnectionRunSession: a script's session on the program's connection manager (C_ConnectionSession), with
// two receiving sides: the transcript's store, which the output options shape (filter, stamps, wrap width,
// capacity) and the log step's file follows, and the matching side, an assembly of its own whose text the
// expect steps search unchanged by those options.
//
// The line-control steps and the open options beyond baud rate, parity and stop bits are passed here and
// decided here: the connection cannot yet carry them, so each fails its step with a clear reason. Bytes go out
// through the connection's text send, which carries every byte the ANSI code page turns back into itself.
// The session first: it brings the socket library's header, which must precede the system's.
#include "velto-cli/ConnectionSession.h"

#include "connection/transports/Transport.h"
#include "terminal/export/LogFile.h"
#include "velto-cli/StoreOutput.h"
#include "velto-cli/run/RunSession.h"

class C_ConnectionRunSession final : public C_RunSession {
public:
    // A close waits this long for the reader to end; a send, for every character and its pause and this margin.
    static constexpr DWORD kCloseLimitMs = 30000;
    static constexpr DWORD kSendMarginMs = 60000;
    // The store that feeds matching only needs to hold the screen a device can still address.
    static constexpr uint32_t kMatchStoreCapacity = 1u << 20;

    C_ConnectionRunSession(const StoreOutputOptions& output, uint32_t charDelayMs);
    C_ConnectionRunSession(const C_ConnectionRunSession&) = delete;
    C_ConnectionRunSession& operator=(const C_ConnectionRunSession&) = delete;

    // False when the connection manager could not start.
    bool Start();
    // Closes and stops the connection, and hands on what the assemblies still hold: the transcript is
    // complete.
    void Finish();
    C_LineStore& Store() { return m_session.Store(); }

    // C_RunSession
    bool Open(const OpenRequest& request, DWORD limitMs, std::wstring& message) override;
    void Close() override;
    bool IsOpen() override { return m_session.Connection().IsOpen(); }
    bool SendBytes(const std::string& bytes, std::wstring& error) override;
    bool SendBreak(uint32_t milliseconds, std::wstring& error) override;
    bool PulseModemLines(unsigned lines, uint32_t milliseconds, std::wstring& error) override;
    bool SetModemLine(unsigned line, bool on, std::wstring& error) override;
    bool StartLog(const std::wstring& path, std::wstring& error) override;
    bool ServeUntil(HANDLE event, DWORD limitMs) override;
    C_ReceivedText& Received() override { return m_received; }
    uint64_t Milliseconds() override { return GetTickCount64(); }

private:
    void FlushAssemblies();

    const StoreOutputOptions& m_output;
    uint32_t m_charDelayMs;
    C_ReceiveOptions m_receiving;
    C_LogFile m_log;
    C_LineStore m_matchStore;
    C_ReceiveAssembly m_matchAssembly{m_matchStore};
    C_ReceivedText m_received;
    // Last: its threads end before anything they feed goes away.
    C_ConnectionSession m_session;
};

// Why request cannot be opened as asked by a connection that opens serial ports with 8 data bits, no flow
// control and DTR and RTS on; empty when it can (other targets have no line to set).
std::wstring UnsupportedLineControl(const OpenRequest& request);
