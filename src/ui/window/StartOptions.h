#pragma once
// The program's command-line options: "l" the interface language (a two-letter ISO 639 name), "p" a port or
// endpoint to open instead of the stored one, "b" a baud rate that replaces the stored one. Options start
// with "-" or "/"; "@file" reads further options from a file.
#include "foundation/base/TextString.h"

#include <windows.h>

#include <cstdint>

struct StartOptions {
    LANGID language = 0;   // 0: none named, or none matched (the user's default language)
    C_String port;         // empty: none
    uint32_t baudRate = 0; // 0: none
};

// commandLine without the program name; null reads the process's own.
void ReadStartOptions(const wchar_t* commandLine, StartOptions& options);
