#pragma once
// Process-wide diagnostic trace for developer messages. It has no destination unless one is installed, so
// nothing reaches the user; tests install a sink to see what was reported.
#include "foundation/base/PrintfDialect.h"

using TraceSink = void (*)(const char* message);

void SetTraceSink(TraceSink sink);
VELTO_RUNTIME_PRINTF(1, 2) void Trace(const char* format, ...);
