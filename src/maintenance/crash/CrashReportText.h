#pragma once
// C_CrashReportText: the plain-text crash report, section by section, in the fixed layout the report service
// reads. It only formats what it is given, so every section can be checked without crashing anything; the
// facts come from SystemFacts, StackWalk and the dump callback.
#include <windows.h>

#include "foundation/base/TextString.h"
#include "maintenance/crash/CrashFacts.h"

// The report's name for an exception code; "Exception" for codes it does not know.
const wchar_t* ExceptionName(DWORD code);

// A process uptime in the fallback forms "h:mm:ss", "m:ss" and "s sec".
bool FormatUptimeFallback(ULONGLONG seconds, C_String& out);

// The local date ("%2u.%02u.%04u") and time ("%2u:%02u:%02u") of a link time stamp.
bool FormatLinkTime(DWORD secondsSince1970, C_String& date, C_String& time);

class C_CrashReportText {
public:
    static constexpr DWORD kAccessViolation = 0xC0000005;

    bool AppendException(const EXCEPTION_RECORD& record, DWORD threadId, bool isNt);
    bool AppendRegisters(const CONTEXT& context);
    bool AppendProcessor(const ProcessorFacts& processor);
    bool AppendWindows(const WindowsFacts& windows);
    bool AppendPlatform(unsigned traits);
    bool AppendUptime(const wchar_t* duration);
    bool BeginStack();
    bool AppendFrame(const StackFrameText& frame);
    bool AppendLog(const wchar_t* log);
    // The module whose base is ownBase gets its link date and time; the others leave those columns blank.
    bool AppendModules(const CrashInventory& inventory, DWORD64 ownBase);
    bool AppendThreads(const CrashInventory& inventory, bool isNt);

    const C_String& GetText() const { return m_text; }
    // The report in the ANSI code page, as it goes to the file.
    bool WriteTo(HANDLE file);

private:
    bool AppendFormat(const wchar_t* format, ...);

    C_String m_text;
};
