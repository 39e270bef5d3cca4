#pragma once
// The facts about the machine and the process that a crash report states: processors, Windows version,
// platform traits and uptime. Each reads the system afresh; none needs a window.
#include <windows.h>

#include "foundation/base/TextString.h"
#include "maintenance/crash/CrashFacts.h"

// The processor with this index in the registry's hardware description; false when there is none.
bool ReadProcessor(DWORD index, ProcessorFacts& out);
void ReadWindowsFacts(WindowsFacts& out);
unsigned ReadPlatformTraits();
// Time since the process was created, in the user's duration format where the system has one; false when the
// process times cannot be read.
bool ReadProcessUptime(C_String& out);
