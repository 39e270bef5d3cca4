#pragma once
// Where the crash files go: beside the program under its own name, or, where the program's folder cannot be
// written, in the user's temporary folder under the program's file name.
#include <windows.h>

#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"

struct CrashFileBases {
    C_String beside;   // the program's path without its extension
    C_String fallback; // temporary folder + the program's file name without its extension
};

constexpr const wchar_t* kDumpFileFormat = L"%s_Debug.dmp";
constexpr const wchar_t* kTextFileFormat = L"%s_Debug.txt";

// From a module path (null when it could not be obtained) and the temporary folder (with its final '\').
bool MakeCrashFileBases(const wchar_t* modulePath, const wchar_t* tempFolder, CrashFileBases& out);
// The bases of the running program.
bool MakeCrashFileBases(CrashFileBases& out);

// Creates base + suffix for writing (replacing, sharing read and write), beside the program first. The path of
// the last attempt is left in path even when both fail, so the report can still name the file.
C_Handle CreateCrashFile(const CrashFileBases& bases, const wchar_t* nameFormat, C_String& path);
