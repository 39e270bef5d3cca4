#pragma once
// What a port button's context menu offers, decided without a window: the port's line settings and its tag
// always, and, while that port is open with a serial line, its DTR and RTS lines (checked while raised), a break
// and a reset pulse. A line the flow control's handshake drives is the driver's, so its item is greyed.
#include "connection/transports/Transport.h"

#include <windows.h>

#include <cstdint>

namespace PortMenu {

struct Facts {
    bool hasLine = false; // a serial port, not a pipe, TCP or UDP endpoint
    bool open = false;    // this port is the connection's open one; line tells how it is set
    LineState line;
};

struct Entry {
    WORD command;
    UINT text; // the string-table entry; 0 for the literal
    const wchar_t* literal;
    bool separatorBefore;
    bool enabled;
    bool checked;
};

constexpr int kEntryCount = 6;

// The entries in menu order.
void Entries(const Facts& facts, Entry (&entries)[kEntryCount]);

} // namespace PortMenu
