#pragma once
// The program title: a base text followed by the program's version in square brackets, "Velto - Serial
// Terminal [1.37]". The version comes from the executable's version resource.
#include <windows.h>

#include "foundation/base/TextString.h"

class C_VersionResource;

// What every window's title starts with; the main window appends the open port's name to it.
constexpr const wchar_t* kProductTitle = L"Velto - Serial Terminal";

struct ProgramVersion {
    unsigned major;
    unsigned minor;
};

// FileVersion of the German, then the English (US) language block, read as "major.minor"; else the fixed file
// version; 1.1 when there is no resource (null).
ProgramVersion ReadProgramVersion(const C_VersionResource* resource);
// The same for a module's own resource; null is the program.
ProgramVersion ReadProgramVersion(HMODULE module);

bool FormatProgramTitle(const wchar_t* baseTitle, ProgramVersion version, C_String& out);
bool FormatProgramTitle(const wchar_t* baseTitle, C_String& out, HMODULE module = nullptr);

// The program title (the product title with the version) as a window's title.
bool SetProgramTitle(HWND window, HMODULE module = nullptr);
