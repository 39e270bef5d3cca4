#pragma once
// C_Diagnostics: the process-wide problem report. Created before any window, it installs the handler for
// exceptions that nothing catches; a crash then writes a minidump and a text report, offers the report dialog
// and, when the user agrees, uploads both files with a few facts to the report service. Without a configured
// report host it writes the files and leaves the crash to the system.
#include <windows.h>

#include <exception>

#include "foundation/base/TextString.h"
#include "maintenance/crash/CrashFacts.h"
#include "maintenance/crash/SymbolLibrary.h"

class C_Diagnostics {
public:
    enum Option : DWORD {
        OPTION_NO_HANDLER = 0x8, // for tools and tests: no exception handler is installed
    };
    enum DumpChoice {
        DUMP_NONE,
        DUMP_WRITE,
    };
    enum ReportOutcome {
        REPORT_NO_DIALOG,
        REPORT_DIALOG_SHOWN,
    };
    // The report service's path on the maker's server (the server is ResolveReportHost's). A host may name its
    // port after a colon ("127.0.0.1:8080"); without one the report goes to the HTTP port.
    static constexpr const wchar_t* kReportPath = L"/services/quarle/report.php";
    // The code a C++ exception that nothing catches is reported under: the one the system's own C++ runtime
    // raises, so the report names it as such.
    static constexpr DWORD kCppExceptionCode = 0xE06D7363;
    // How long the process waits for the upload after Send before it ends all the same.
    static constexpr DWORD kUploadLimitMs = 60000;

    explicit C_Diagnostics(DWORD options = 0);
    ~C_Diagnostics();
    C_Diagnostics(const C_Diagnostics&) = delete;
    C_Diagnostics& operator=(const C_Diagnostics&) = delete;

    // The dialog's icon, the report service, and the form's product name (null: the version resource's
    // "InternalName") and extra field. An empty host means no dialog and no upload.
    void Configure(UINT iconId, const wchar_t* host, const wchar_t* path, const wchar_t* productName,
                   const wchar_t* extra);
    // Text added to the report under "Log:".
    bool SetLog(const wchar_t* text);
    // Another bound for the upload than kUploadLimitMs (tests need not wait a minute).
    void SetUploadLimit(DWORD milliseconds) { m_uploadLimit = milliseconds; }

    // Writes the crash files for the exception and runs SendReport with them.
    ReportOutcome WriteCrashReport(EXCEPTION_POINTERS* exception, DumpChoice dump);
    // The dialog and, when the user agrees, the upload. REPORT_NO_DIALOG without a report host.
    ReportOutcome SendReport(const wchar_t* dumpPath, const wchar_t* textPath);

    // Where the last report's files went (or would have gone); empty before the first report.
    const C_String& GetTextPath() const { return m_textPath; }
    const C_String& GetDumpPath() const { return m_dumpPath; }

private:
    static LONG WINAPI Filter(EXCEPTION_POINTERS* exception);
    static DWORD WINAPI ReportOnFreshStack(void* parameter);
    [[noreturn]] static void RaiseUncaughtCppException();
    ReportOutcome Report(EXCEPTION_POINTERS* exception, DumpChoice dump, DWORD crashingThread);
    void WriteDump(EXCEPTION_POINTERS* exception, DWORD crashingThread, const struct CrashFileBases& bases);
    void WriteText(EXCEPTION_POINTERS* exception, DWORD crashingThread, const struct CrashFileBases& bases);
    bool Upload(const wchar_t* dumpPath, const wchar_t* textPath, const C_String& email, const C_String& description);
    bool ReadProductName(C_String& out) const;

    static C_Diagnostics* s_instance;
    static volatile LONG s_busy;

    bool m_installed = false;
    LPTOP_LEVEL_EXCEPTION_FILTER m_previousFilter = nullptr;
    std::terminate_handler m_previousTerminate = nullptr;
    UINT m_iconId = 0;
    DWORD m_uploadLimit = kUploadLimitMs;
    C_String m_host;
    C_String m_path;
    C_String m_productName;
    C_String m_extra;
    C_String m_log;
    C_String m_textPath;
    C_String m_dumpPath;
    C_SymbolLibrary m_symbols;
    CrashInventory m_inventory{};
};
