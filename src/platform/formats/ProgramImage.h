#pragma once
// Whether a file is a program this machine can run, read from its headers before anyone starts it: the update
// check swaps a downloaded program in only when it passes, so a page of text or a program for another processor
// never takes the running program's place.
#include <windows.h>

enum class ProgramImage {
    Runnable,     // headers and sections parse, for this machine, and the version matches where one was asked for
    Unreadable,   // the file cannot be opened or read
    NotAProgram,  // no executable image: a header is missing or out of bounds, a section lies beyond the file
    OtherMachine, // an executable image for another processor or another word size
    OtherVersion, // runnable, but its version resource names another version (or none)
};

// The processor the running program was built for, which a replacement must share.
#if defined(__i386__) || defined(_M_IX86)
constexpr WORD kThisMachine = IMAGE_FILE_MACHINE_I386;
#else
#error "the program's processor has no image check"
#endif

// version: "major.minor" that the file's version resource must state (its FileVersion text, else its fixed
// product version), or null to check the headers alone.
ProgramImage CheckProgramImage(const wchar_t* path, const wchar_t* version);
