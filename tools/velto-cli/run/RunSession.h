#pragma once
// What a script drives: a connection with its receiving side. velto-cli runs the program's connection manager
// behind it (C_ConnectionRunSession); the tests put a recording fake in its place.
//
// Every method runs on the runner's thread and keeps the connection served (its statuses and socket events
// arrive as window messages there). Failures are results with a one-line reason, never exceptions.
#include "foundation/settings/LineSettings.h"
#include "velto-cli/run/ReceivedText.h"

#include <windows.h>

#include <cstdint>
#include <string>

struct OpenRequest {
    std::wstring target;
    SerialLineSettings line; // for a serial port; other targets have no line
};

class C_RunSession {
public:
    // Opens request.target, closing what is open first; gives up after limitMs. message: why it failed.
    virtual bool Open(const OpenRequest& request, DWORD limitMs, std::wstring& message) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() = 0;

    // Each returns once what it sends has gone out (or failed to).
    // Bytes exactly as given, zero bytes and bytes above 0x7F included.
    virtual bool SendBytes(const std::string& bytes, std::wstring& error) = 0;

    // Line control of an open serial port: a break of the given length, a pulse of modem lines (bits of
    // ModemLine), a line raised or dropped. Each returns once it has been carried out; a target without a line
    // and a driver's refusal fail it.
    virtual bool SendBreak(uint32_t milliseconds, std::wstring& error) = 0;
    virtual bool PulseModemLines(uint8_t lines, uint32_t milliseconds, std::wstring& error) = 0;
    virtual bool SetModemLine(uint8_t line, bool raised, std::wstring& error) = 0;

    // Starts (or moves) the text log the Log button writes.
    virtual bool StartLog(const std::wstring& path, std::wstring& error) = 0;

    // Serves the connection until event is signalled (true) or limitMs have passed (false); a null event
    // only serves.
    virtual bool ServeUntil(HANDLE event, DWORD limitMs) = 0;
    virtual C_ReceivedText& Received() = 0;
    // A monotonic clock for the steps' time-outs and times.
    virtual uint64_t Milliseconds() = 0;

protected:
    ~C_RunSession() = default;
};
