#pragma once
// Run-time lookup of optional system functions. Anything newer than Windows 7, and every optional system
// library (WinINet, dbghelp, setupapi, uxtheme, shlwapi...), is reached through this, so a missing one only
// disables its feature.
#include <windows.h>

// Loads the library on first use (kept loaded for the life of the process) and returns the function, or null.
FARPROC FindSystemFunction(const wchar_t* library, const char* name);

template <class Function> Function LookupSystemFunction(const wchar_t* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(FindSystemFunction(library, name)));
}
