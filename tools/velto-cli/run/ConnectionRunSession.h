#pragma once
// C_ConnectionRunSession: a script's session on the program's connection manager (C_ConnectionSession), with
// two receiving sides: the transcript's store, which the output options shape (filter, stamps, wrap width,
// capacity) and the log step's file follows, and the matching side, an assembly of its own whose text the
// expect steps search unchanged by those options.
//
// An open writes the request's line settings; line steps queue the connection's line commands and wait until
// they have been carried out. The connection tells a driver's refusal as a status, once per opening and kind,
// and the step or open it happened in fails with it: a script must not go on with a line that is not as it
// asked. Bytes go out through the connection's byte send, exactly as given.
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
    // A line step waits this long beyond its own duration: a break first lets the write before it end, which
    // the serial transport bounds at a few seconds.
    static constexpr DWORD kLineMarginMs = 10000;

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
    bool PulseModemLines(uint8_t lines, uint32_t milliseconds, std::wstring& error) override;
    bool SetModemLine(uint8_t line, bool raised, std::wstring& error) override;
    bool StartLog(const std::wstring& path, std::wstring& error) override;
    bool ServeUntil(HANDLE event, DWORD limitMs) override;
    C_ReceivedText& Received() override { return m_received; }
    uint64_t Milliseconds() override { return GetTickCount64(); }

private:
    void FlushAssemblies();
    // The open target's line; false, with the reason naming step, for a target without one.
    bool LineOf(const wchar_t* step, LineState& state, std::wstring& error);
    // The modem lines can be set: none of lines follows the flow control's handshake, and the driver did not
    // refuse them at the open.
    bool ModemLinesFree(uint8_t lines, const LineState& state, std::wstring& error);
    // Queues a line command through post and waits until it has been carried out; false when that took longer
    // than its duration and the margin, or when the driver refused it meanwhile.
    template <class Post> bool CarryOut(DWORD milliseconds, Post post, std::wstring& error);

    const StoreOutputOptions& m_output;
    uint32_t m_charDelayMs;
    C_ReceiveOptions m_receiving;
    C_LogFile m_log;
    C_LineStore m_matchStore;
    C_ReceiveAssembly m_matchAssembly{m_matchStore};
    C_ReceivedText m_received;
    std::wstring m_target; // as the last open named it
    // A driver without modem lines may refuse even the DTR and RTS every port opens with. That open stands (the
    // script asked for nothing more), but the connection tells a refusal only once per opening: the steps on
    // those lines learn of it here.
    std::wstring m_modemLinesRefused;
    // Last: its threads end before anything they feed goes away.
    C_ConnectionSession m_session;
};
