#pragma once
// The serial line options of the subcommands that open a port (capture, run), added to their option tables by
// one function, so both spell, check and explain them alike.
#include "Options.h"
#include "foundation/settings/LineSettings.h"
#include "foundation/settings/Options.h"

// What the line options give; the defaults are the program's own.
struct LineOptions {
    int baudRate = int(C_PersistedOptions::kDefaultBaudRate); // an option table's numbers are ints
    SerialLineSettings line;                                  // every other setting

    SerialLineSettings Settings() const;
};

// --baud, --parity, --stop-bits, --data-bits, --flow, --dtr and --rts.
void AddLineOptions(C_OptionTable& table, LineOptions& values);
