#pragma once
// What the connection needs of the main window, and nothing more: a window to post and send to, the string
// table, the title, the Options button's text, the reopen timer, and the options in force. The main window
// implements both interfaces; tools and tests use C_StandInWindow (tools/stand-in), which plays the main
// window's part on a hidden window.
#include "connection/transports/Transport.h"
#include "foundation/base/TextString.h"

#include <windows.h>

#include <cstdint>

// Posted when the port list was rebuilt or its availability marks changed. wParam PORTS_CHANGED_REOPEN: redraw
// the port buttons and open the selected port if nothing is open; PORTS_CHANGED_REDRAW: redraw only.
constexpr UINT WM_PORTS_CHANGED = WM_APP + 1;
// Sent (the sender waits) to show a status balloon: wParam the status text, lParam the target or endpoint it
// concerns, or null. Both are read only during the call.
constexpr UINT WM_SHOW_STATUS = WM_APP + 2;
constexpr WPARAM PORTS_CHANGED_REOPEN = 0;
constexpr WPARAM PORTS_CHANGED_REDRAW = 1;

// The main window's timer that retries an open refused with access denied; each tick reopens GetName of the
// current transport.
constexpr UINT_PTR TIMER_REOPEN = 2;
constexpr UINT kReopenIntervalMs = 1000;

// How often, at most, a running file send reports its progress.
constexpr DWORD kFileSendNoticeMs = 100;

// String-table entries the connection shows, besides the status texts of Transport.h.
constexpr unsigned kOptionsTextId = 24;  // "Options"
constexpr unsigned kPortWasTextId = 611; // "was %s": a board's tooltip names the COM port it had before

class C_ConnectionWindow {
public:
    // Receives WM_PORTS_CHANGED, WM_SHOW_STATUS, the socket notifications and TIMER_REOPEN.
    virtual HWND GetWindow() = 0;
    // An entry of the string table in the user's language. Called on the command thread.
    virtual void LoadText(unsigned id, C_String& text) = 0;

    // Called on the command thread; each returns once the window has applied it, so the title, the button and
    // the statuses change in the order the connection made them.
    // Text appended to the product title; null or empty leaves the product title alone.
    virtual void SetTitleSuffix(const wchar_t* text) = 0;
    virtual void SetOptionsButtonText(const wchar_t* text) = 0;

    // Starts (kReopenIntervalMs) or stops TIMER_REOPEN. Called on the command thread and the user-interface
    // thread; a window's timers can only be set by its own thread, so a call from elsewhere must be handed to it.
    virtual void SetReopenTimer(bool running) = 0;

    // A file send started, made progress or ended (C_Connection::GetFileSendProgress tells which). Called on the
    // command thread, at most about kFileSendNoticeMs apart while it runs; it must not wait for the window.
    virtual void FileSendChanged() {}

protected:
    ~C_ConnectionWindow() = default;
};

// The options the connection reads at the moment of use. Called on the command thread (tags also while the
// port list is locked, so they must not wait for the user-interface thread).
class C_ConnectionOptions {
public:
    // Milliseconds between the characters of a send; 0 sends a text at once.
    virtual uint32_t GetCharSendDelay() = 0;
    // Milliseconds after each line end of a file send; 0 for none.
    virtual uint32_t GetLineDelay() = 0;
    // The line settings for opening port, named by its key (a board's identity, else its device path): the port's
    // own, or the Options values.
    virtual SerialLineSettings GetSerialLineSettings(const wchar_t* port) = 0;
    // The modem lines (bits of ModemLine) just raised or dropped on port (its key, as above), to be so again at
    // its next opening. Nothing is remembered by default.
    virtual void RememberModemLines(const wchar_t* /*port*/, uint8_t /*lines*/, bool /*raised*/) {}
    // The port or endpoint named on the command line; empty when none. It is offered in the port list even
    // when no enumerated port has that name.
    virtual void GetCommandLinePort(C_String& port) = 0;
    // The user's tag for a port key; empty when none.
    virtual void LoadTag(const wchar_t* key, C_String& tag) = 0;
    // A refresh listed the board identity at devicePath: the options remember where (BoardNames::NoteListed)
    // and answer the name it had before, or empty. Remembers nothing by default.
    virtual void NoteBoardListed(const wchar_t* /*identity*/, const wchar_t* /*devicePath*/, C_String& former) {
        former.Empty();
    }

protected:
    ~C_ConnectionOptions() = default;
};
