#pragma once
// C_Transport: what the connection drives, whatever the target is (serial port, named pipe, TCP, UDP). The
// command thread opens, closes and writes; the reader thread repeats ReadStep, which hands what it reads to
// the connection's receive sink. Failures are results, never exceptions.
//
// C_TransportHost is the connection as the transports see it: where received bytes go, the data event that
// completes every overlapped read and wakes the socket read steps, the reader's stop flag, the status balloon
// and the window that receives socket notifications. The connection implements it and passes itself to every
// transport it embeds.
#include "foundation/base/ReceiveSink.h"
#include "foundation/settings/LineSettings.h"
#include "foundation/base/TextString.h"

#include <windows.h>

// Status texts shown with ShowStatus, by their string-table entry.
enum StatusText : unsigned {
    STATUS_SEARCHING = 67, // "Searching for serial port"
    STATUS_OPENING = 68,   // "Opening serial port": shown by every transport's Open
    STATUS_OPENED = 69,    // "Successfully opened serial port"
    STATUS_OPEN_FAILED = 70,
    STATUS_CLOSING = 71,
    STATUS_CLOSED = 72,
};

// What a driver refused, by the string-table entry of its sentence ("%s does not support ...": the port's name
// for the first %s, the detail for a second). Shown under the title kRefusalTitleId, at most once per opening
// and kind.
enum RefusalText : unsigned {
    REFUSED_LINE = 321,         // the line itself ("115200 baud 7E1"): the open fails
    REFUSED_FLOW_CONTROL = 322, // the flow control ("RTS/CTS"): the port opens without it
    REFUSED_MODEM_LINES = 323,  // setting DTR or RTS: the port stays open and the lines as they were
    REFUSED_BREAK = 324,        // a break: nothing happens
};
constexpr unsigned kRefusalTitleId = 320; // "Line control refused"

// How an open serial line is set, for the port's menu.
struct LineState {
    uint8_t flowControl = FLOW_NONE;
    uint8_t raisedLines = 0; // bits of ModemLine, as last set
    uint8_t pulseLines = LINE_DTR;
};

class C_TransportHost {
public:
    virtual C_ReceiveSink& GetReceiveSink() = 0;
    // True while the receive sink holds a line that has not been flushed yet; a read step then waits only
    // briefly so the line becomes visible soon after its last byte.
    virtual bool HasPendingLine() = 0;
    // The current data event (auto-reset). It is replaced at every successful open, so ask for it at every use
    // and never keep it; null before the first successful open.
    virtual HANDLE GetDataEvent() = 0;
    // The reader thread's stop request.
    virtual bool IsStopRequested() = 0;
    // Shows a status balloon on the main window and returns when the window has handled it. name may be null.
    virtual void ShowStatus(StatusText text, const wchar_t* name) = 0;
    // The main window, which receives the socket notifications.
    virtual HWND GetMainWindow() = 0;
    // Queues CloseTarget for the command thread; the socket transports call it from their event callbacks (on
    // the user-interface thread) when a connection attempt fails, and from the reader thread once it has read
    // what a peer sent before closing. Never waits. The connection overrides it; the default does nothing, for
    // hosts without sockets.
    virtual void PostCloseTarget() {}
    // The serial options in force for an open of port (its device path, or the target when nothing matched).
    // The connection overrides it with the user's choice.
    virtual SerialLineSettings GetSerialLineSettings(const wchar_t* /*port*/) { return {}; }
    // Tells the user what the driver of port refused; detail fills the sentence's second %s (may be null). Returns
    // once shown; the thread's last error is kept.
    virtual void ShowRefusal(RefusalText /*text*/, const wchar_t* /*port*/, const wchar_t* /*detail*/) {}

protected:
    ~C_TransportHost() = default;
};

class C_Transport {
public:
    virtual ~C_Transport() = default;

    // 1. Once at program start, before the first command: resources that live as long as the program.
    virtual bool Start() = 0;
    // 2. Once at shutdown, after the command thread has ended: releases what Start prepared.
    virtual void Stop() = 0;
    // 3. True while the endpoint is open. Also called from the user-interface thread.
    virtual bool IsOpen() const = 0;
    // 4. The endpoint last given to Open (for a serial port, the matched device path); kept after Close. Also
    //    called from the user-interface and probe threads while the command thread may be changing it, so it
    //    answers with a copy taken under the transport's lock. False, with name empty, when no copy can be made.
    virtual bool GetName(C_String& name) const = 0;
    // 5. Whether target could be opened right now, on the probe thread, with resources of its own: never
    //    disturbs the open endpoint.
    virtual bool Probe(const wchar_t* target) = 0;
    // 6. Opens the endpoint named by target. description may receive a short text for the user ("115200 baud
    //    8N1") or stay empty. Never called while open: the connection closes first.
    virtual bool Open(const wchar_t* target, C_String& description) = 0;
    // 7. Harmless when nothing is open.
    virtual void Close() = 0;
    // 8. Sends the bytes exactly as given, zero bytes included. True once the endpoint has taken them all (or,
    //    on a serial port, the write is still under way within its time-outs); false when it refused them or is
    //    not open. Typed keys ignore the answer; a file send stops on it.
    virtual bool Write(const uint8_t* bytes, uint32_t size) = 0;
    // 9. Waits for received data once and delivers it; true = call again, false = the connection has ended.
    virtual bool ReadStep() = 0;

    // Line control, for endpoints with a serial line; the others answer false and change nothing. On the command
    // thread; a refusal is told to the user once per opening and kind, and leaves the line as it was.
    // 10. Raises or drops the modem output lines (bits of ModemLine).
    virtual bool SetModemLines(uint8_t /*lines*/, bool /*raised*/) { return false; }
    // 11. Starts or ends a break; a start comes after everything written before it.
    virtual bool SetBreak(bool /*on*/) { return false; }
    // 12. Any thread: how the open line is set; false when nothing with a line is open.
    virtual bool GetLineState(LineState& /*state*/) const { return false; }
    // 13. Any thread: the input lines (MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON); false when nothing with a
    //     line is open or its driver does not report them.
    virtual bool GetModemStatus(DWORD& /*status*/) { return false; }
};
