#pragma once
// The stack section of a crash report: a walk of the crashing thread from its exception context.
#include <windows.h>

class C_CrashReportText;
class C_SymbolLibrary;

// Appends "Stack:" and one line per frame. The thread handle must name the thread the context belongs to.
bool AppendStack(const C_SymbolLibrary& symbols, HANDLE process, HANDLE thread, const CONTEXT& context,
                 C_CrashReportText& report);
