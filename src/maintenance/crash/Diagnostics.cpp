#include "maintenance/crash/Diagnostics.h"

#include "maintenance/crash/CrashFiles.h"
#include "maintenance/crash/CrashReportText.h"
#include "maintenance/service/MachineId.h"
#include "maintenance/crash/MiniDump.h"
#include "maintenance/crash/ReportDialog.h"
#include "maintenance/crash/ReportUpload.h"
#include "maintenance/crash/StackWalk.h"
#include "maintenance/crash/SystemFacts.h"
#include "platform/system/Handles.h"
#include "platform/formats/VersionResource.h"

namespace {

// The registry lists one key per processor; far more than any machine has.
constexpr DWORD kMaximumProcessors = 1024;
constexpr const wchar_t* kProductNameValue = L"ProductName";
constexpr const wchar_t* kCompanyNameValue = L"CompanyName";
constexpr const wchar_t* kInternalNameValue = L"InternalName";
constexpr const wchar_t* kWebAddressValues[] = {L"Comments", L"SpecialBuild"};

struct FreshStackJob {
    C_Diagnostics* diagnostics;
    EXCEPTION_POINTERS* exception;
    DWORD crashingThread;
    C_Diagnostics::ReportOutcome outcome;
};

} // namespace

C_Diagnostics* C_Diagnostics::s_instance = nullptr;
volatile LONG C_Diagnostics::s_busy = 0;

C_Diagnostics::C_Diagnostics(DWORD options) {
    if (options & OPTION_NO_HANDLER)
        return;
    s_instance = this;
    m_installed = true;
    m_previousFilter = SetUnhandledExceptionFilter(Filter);
    // A C++ exception that nothing catches ends in std::terminate, which would end the process without passing
    // the filter; raised as an exception instead, it is reported like any other crash.
    m_previousTerminate = std::set_terminate(RaiseUncaughtCppException);
}

C_Diagnostics::~C_Diagnostics() {
    if (!m_installed)
        return;
    SetUnhandledExceptionFilter(m_previousFilter);
    std::set_terminate(m_previousTerminate);
    s_instance = nullptr;
}

void C_Diagnostics::RaiseUncaughtCppException() {
    RaiseException(kCppExceptionCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    ExitProcess(kCppExceptionCode); // not reached: a noncontinuable exception does not come back
}

void C_Diagnostics::Configure(UINT iconId, const wchar_t* host, const wchar_t* path, const wchar_t* productName,
                              const wchar_t* extra) {
    m_iconId = iconId;
    m_host.Assign(host ? host : L"");
    m_path.Assign(path ? path : L"");
    m_productName.Assign(productName ? productName : L"");
    m_extra.Assign(extra ? extra : L"");
}

bool C_Diagnostics::SetLog(const wchar_t* text) {
    return m_log.Assign(text ? text : L"");
}

// The first crash reports; any exception after it, on this thread or another, goes to the system.
LONG WINAPI C_Diagnostics::Filter(EXCEPTION_POINTERS* exception) {
    if (InterlockedExchange(&s_busy, 1) != 0 || !s_instance)
        return EXCEPTION_CONTINUE_SEARCH;
    ReportOutcome outcome;
    if (exception && exception->ExceptionRecord &&
        exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        // The overflowed stack has a few pages left, far too few to build a report: that runs on a fresh thread.
        FreshStackJob job{s_instance, exception, GetCurrentThreadId(), REPORT_NO_DIALOG};
        C_Handle worker(CreateThread(nullptr, 0, ReportOnFreshStack, &job, 0, nullptr));
        if (!worker)
            return EXCEPTION_CONTINUE_SEARCH;
        WaitForSingleObject(worker.Get(), INFINITE);
        outcome = job.outcome;
    } else {
        outcome = s_instance->Report(exception, DUMP_WRITE, GetCurrentThreadId());
    }
    return outcome == REPORT_DIALOG_SHOWN ? EXCEPTION_EXECUTE_HANDLER : EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI C_Diagnostics::ReportOnFreshStack(void* parameter) {
    auto* job = static_cast<FreshStackJob*>(parameter);
    job->outcome = job->diagnostics->Report(job->exception, DUMP_WRITE, job->crashingThread);
    return 0;
}

C_Diagnostics::ReportOutcome C_Diagnostics::WriteCrashReport(EXCEPTION_POINTERS* exception, DumpChoice dump) {
    return Report(exception, dump, GetCurrentThreadId());
}

C_Diagnostics::ReportOutcome C_Diagnostics::Report(EXCEPTION_POINTERS* exception, DumpChoice dump,
                                                   DWORD crashingThread) {
    CrashFileBases bases;
    MakeCrashFileBases(bases);
    m_inventory.Clear();
    m_dumpPath.Assign(L"");
    m_textPath.Assign(L"");
    if (m_symbols.Load())
        m_symbols.Initialize(GetCurrentProcess());
    if (dump == DUMP_WRITE)
        WriteDump(exception, crashingThread, bases);
    WriteText(exception, crashingThread, bases);
    ReportOutcome outcome = SendReport(dump == DUMP_WRITE ? m_dumpPath.c_str() : nullptr, m_textPath.c_str());
    m_symbols.Unload();
    return outcome;
}

void C_Diagnostics::WriteDump(EXCEPTION_POINTERS* exception, DWORD crashingThread, const CrashFileBases& bases) {
    if (!m_symbols.IsLoaded()) {
        // No dump can be written: the dialog still names where it would have been.
        m_dumpPath.Format(kDumpFileFormat, bases.beside.c_str());
        return;
    }
    C_Handle file = CreateCrashFile(bases, kDumpFileFormat, m_dumpPath);
    if (!file)
        return;
    bool written = WriteMiniDump(m_symbols, file.Get(), crashingThread, exception, m_inventory);
    file.Reset();
    if (!written)
        DeleteFileW(m_dumpPath.c_str()); // a broken dump is worth less than none
}

void C_Diagnostics::WriteText(EXCEPTION_POINTERS* exception, DWORD crashingThread, const CrashFileBases& bases) {
    C_Handle file = CreateCrashFile(bases, kTextFileFormat, m_textPath);
    if (!file)
        return;
    C_CrashReportText report;
    WindowsFacts windows;
    ReadWindowsFacts(windows);
    const CONTEXT* context = exception ? exception->ContextRecord : nullptr;
    if (exception && exception->ExceptionRecord)
        report.AppendException(*exception->ExceptionRecord, crashingThread, windows.isNt);
    if (context)
        report.AppendRegisters(*context);
    ProcessorFacts processor;
    for (DWORD index = 0; index < kMaximumProcessors && ReadProcessor(index, processor); ++index)
        report.AppendProcessor(processor);
    report.AppendWindows(windows);
    report.AppendPlatform(ReadPlatformTraits());
    C_String uptime;
    if (ReadProcessUptime(uptime))
        report.AppendUptime(uptime.c_str());
    if (context && m_symbols.IsInitialized()) {
        // The walker needs a real handle of the crashing thread, which may not be the one running this.
        C_Handle other;
        HANDLE thread = GetCurrentThread();
        if (crashingThread != GetCurrentThreadId()) {
            other.Reset(OpenThread(THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, crashingThread));
            thread = other.Get();
        }
        if (thread)
            AppendStack(m_symbols, GetCurrentProcess(), thread, *context, report);
    }
    report.AppendLog(m_log.c_str());
    for (uint32_t i = 0; i < m_inventory.threadCount; ++i) {
        CrashThread& t = m_inventory.threads[i];
        char module[kModuleNameSize];
        if (t.startAddress)
            m_symbols.DescribeAddress(t.startAddress, t.startSymbol, module);
    }
    report.AppendModules(m_inventory, DWORD64(reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr))));
    report.AppendThreads(m_inventory, windows.isNt);
    report.WriteTo(file.Get());
}

C_Diagnostics::ReportOutcome C_Diagnostics::SendReport(const wchar_t* dumpPath, const wchar_t* textPath) {
    if (m_host.IsEmpty())
        return REPORT_NO_DIALOG;
    HMODULE program = GetModuleHandleW(nullptr);
    C_VersionResource version;
    version.Load(program);
    C_String productName, webAddress;
    const wchar_t* caption = version.GetProgramString(kProductNameValue);
    if (!caption)
        caption = ReadProductName(productName) ? productName.c_str() : L"";
    for (const wchar_t* value : kWebAddressValues)
        if (ExtractWebAddress(version.GetProgramString(value), webAddress))
            break;
    ReportDialogContent content{caption, version.GetProgramString(kCompanyNameValue), webAddress.c_str(), textPath,
                                dumpPath};
    C_ReportDialog dialog;
    C_ReportDialog::Result result = dialog.Run(program, m_iconId, content);
    if (result == C_ReportDialog::RESULT_FAILED)
        return REPORT_NO_DIALOG;
    if (result == C_ReportDialog::RESULT_SEND)
        Upload(dumpPath, textPath, dialog.GetEmail(), dialog.GetDescription());
    return REPORT_DIALOG_SHOWN;
}

bool C_Diagnostics::ReadProductName(C_String& out) const {
    if (!m_productName.IsEmpty())
        return out.Assign(m_productName);
    C_VersionResource version;
    const wchar_t* name =
        version.Load(GetModuleHandleW(nullptr)) ? version.GetProgramString(kInternalNameValue) : nullptr;
    return out.Assign(name ? name : L"");
}

bool C_Diagnostics::Upload(const wchar_t* dumpPath, const wchar_t* textPath, const C_String& email,
                           const C_String& description) {
    C_String productName, machineId;
    ReadProductName(productName);
    if (!GetMachineId(PURPOSE_PROBLEM_REPORT, machineId))
        return false; // a field that cannot be made stops the report, as any other would
    ReportUpload upload{m_host.c_str(),      m_path.c_str(),    productName.c_str(),
                        m_extra.c_str(),     machineId.c_str(), email.c_str(),
                        description.c_str(), dumpPath,          textPath};
    return PostReportWithin(upload, m_uploadLimit);
}
