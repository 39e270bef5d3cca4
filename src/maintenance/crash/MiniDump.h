#pragma once
// Writes the minidump of a crash and, through the writer's callback, collects the module and thread lists
// that the text report shows.
#include <windows.h>

#include "maintenance/crash/CrashFacts.h"

class C_SymbolLibrary;

// Writes a normal minidump with the crashing thread and its exception into the file. The writer runs on a
// thread of its own (a thread dumping itself records a stack that is busy dumping), and the caller waits for
// it without a time limit. False when the dump could not be written; the lists keep what was collected.
bool WriteMiniDump(const C_SymbolLibrary& symbols, HANDLE file, DWORD crashingThread, EXCEPTION_POINTERS* exception,
                   CrashInventory& inventory);
