#pragma once
// Our own printf-style functions pass their format to the C runtime's narrow printf, so their callers are
// checked in that dialect ("%I64u" a 64-bit number, "%S" wide text) rather than the compiler's default GNU one,
// which would misread "%I64u" as "%u". Wide formats cannot be checked by the compiler at all.
#define VELTO_RUNTIME_PRINTF(formatIndex, firstArgument) __attribute__((format(ms_printf, formatIndex, firstArgument)))
