#pragma once
// What the update check needs of the system around it: the questions to the user, starting programs, the
// running program's file and version, the user's language, the clock. The system's own answers are the
// default; tests replace single ones (a recording question box, a launcher that starts nothing, another
// running version).
#include "foundation/base/TextString.h"

#include <windows.h>

#include <cstdint>

// Why an offered update is not installed, for the notice that tells the user.
enum class UpdateFailure {
    FolderLocked, // the user may not change the program's folder (as in an installation for every user)
    NotInstalled, // a step failed; the program's folder is as it was
};

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
    // Whether the user may change the files of the folder: a file can be made (and is removed at once) there.
    virtual bool CanChangeFolder(const wchar_t* folder);
    // The notice of a failure as a format: "%s" the offered version, then (FolderLocked) "%s" the folder. In
    // English here; the program gives them in the interface's language.
    virtual bool GetFailureFormat(UpdateFailure failure, C_String& out);
    // ISO 639 name of the user's language; "en" when it cannot be found.
    virtual void GetLanguage(C_String& out);
    virtual bool GetMachineId(C_String& out);
    // Seconds since 1970.
    virtual uint64_t Now();

    // The one the program uses.
    static C_UpdateHost& System();
};
