#pragma once
// What the update check needs of the system around it: the questions to the user, starting programs, the
// running program's file and version, the user's language, the clock. The system's own answers are the
// default; tests replace single ones (a recording question box, a launcher that starts nothing, another
// running version).
#include "foundation/base/TextString.h"

#include <windows.h>

#include <cstdint>

class C_UpdateHost {
public:
    virtual ~C_UpdateHost() = default;

    // A message box; the answer is the box's (IDYES, IDNO...).
    virtual int Ask(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
    // Opens a web address with the system's handler.
    virtual bool OpenAddress(const wchar_t* address);
    // Starts a program with the shell's "open" verb in the given working folder.
    virtual bool StartProgram(const wchar_t* file, const wchar_t* folder);

    virtual bool IsPackaged();
    virtual bool GetProgramPath(C_String& out);
    // "major.minor" of the running program: FileVersion of its version resource (German block, else US
    // English), else the fixed product version.
    virtual bool GetProgramVersion(C_String& out);
    virtual bool GetDesktopFolder(C_String& out);
    // ISO 639 name of the user's language; "en" when it cannot be found.
    virtual void GetLanguage(C_String& out);
    virtual bool GetMachineId(C_String& out);
    // Seconds since 1970.
    virtual uint64_t Now();

    // The one the program uses.
    static C_UpdateHost& System();
};
