#include "maintenance/crash/CrashReportText.h"

#include <cstdarg>
#include <cstring>

namespace {

struct ExceptionNameEntry {
    DWORD code;
    const wchar_t* name;
};

constexpr ExceptionNameEntry kExceptionNames[] = {
    {0x40010005, L"Control-C"},
    {0x40010008, L"Control-Break"},
    {0x80000002, L"Datatype Misalignment"},
    {0x80000003, L"Breakpoint"},
    {0xC0000005, L"Access Violation"},
    {0xC0000006, L"In Page Error"},
    {0xC0000017, L"No Memory"},
    {0xC000001D, L"Illegal Instruction"},
    {0xC0000025, L"Noncontinuable Exception"},
    {0xC0000026, L"Invalid Disposition"},
    {0xC000008C, L"Array Bounds Exceeded"},
    {0xC000008D, L"Float Denormal Operand"},
    {0xC000008E, L"Float Divide by Zero"},
    {0xC000008F, L"Float Inexact Result"},
    {0xC0000090, L"Float Invalid Operation"},
    {0xC0000091, L"Float Overflow"},
    {0xC0000092, L"Float Stack Check"},
    {0xC0000093, L"Float Underflow"},
    {0xC0000094, L"Integer Divide by Zero"},
    {0xC0000095, L"Integer Overflow"},
    {0xC0000096, L"Privileged Instruction"},
    {0xC00000FD, L"Stack Overflow"},
    {0xC0000142, L"DLL Initialization Failed"},
    {0xE06D7363, L"Microsoft C++ Exception"},
};
constexpr const wchar_t* kUnknownException = L"Exception";

// The report is written in one piece at the end; starting with room for a typical report avoids regrowing it
// line by line while the process is in trouble.
constexpr uint32_t kInitialCapacity = 64 * 1024;

constexpr ULONGLONG kSecondsPerMinute = 60;
constexpr ULONGLONG kSecondsPerHour = 3600;
constexpr ULONGLONG kUnixEpochInFileTime = 116444736000000000ull; // 1970-01-01 in 100 ns steps since 1601
constexpr ULONGLONG kFileTimeStepsPerSecond = 10000000ull;

} // namespace

const wchar_t* ExceptionName(DWORD code) {
    for (const ExceptionNameEntry& entry : kExceptionNames)
        if (entry.code == code)
            return entry.name;
    return kUnknownException;
}

bool FormatUptimeFallback(ULONGLONG seconds, C_String& out) {
    unsigned hours = unsigned(seconds / kSecondsPerHour);
    unsigned minutes = unsigned(seconds % kSecondsPerHour / kSecondsPerMinute);
    unsigned rest = unsigned(seconds % kSecondsPerMinute);
    if (hours)
        return out.Format(L"%u:%02u:%02u", hours, minutes, rest);
    if (minutes)
        return out.Format(L"%u:%02u", minutes, rest);
    return out.Format(L"%u sec", rest);
}

bool FormatLinkTime(DWORD secondsSince1970, C_String& date, C_String& time) {
    ULONGLONG steps = kUnixEpochInFileTime + ULONGLONG(secondsSince1970) * kFileTimeStepsPerSecond;
    FILETIME utc = {DWORD(steps), DWORD(steps >> 32)};
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts))
        return false;
    return date.Format(L"%2u.%02u.%04u", parts.wDay, parts.wMonth, parts.wYear) &&
           time.Format(L"%2u:%02u:%02u", parts.wHour, parts.wMinute, parts.wSecond);
}

bool C_CrashReportText::AppendFormat(const wchar_t* format, ...) {
    if (m_text.GetCapacity() < kInitialCapacity && !m_text.SetCapacity(kInitialCapacity))
        return false;
    C_String line;
    va_list args;
    va_start(args, format);
    bool formatted = line.FormatV(format, args);
    va_end(args);
    return formatted && m_text.Append(line);
}

bool C_CrashReportText::AppendException(const EXCEPTION_RECORD& record, DWORD threadId, bool isNt) {
    const wchar_t* format =
        isNt ? L"%s [0x%08X] at 0x%08X in Thread %u.\r\n" : L"%s [0x%08X] at 0x%08X in Thread 0x%08X.\r\n";
    if (!AppendFormat(format, ExceptionName(record.ExceptionCode), record.ExceptionCode,
                      DWORD(reinterpret_cast<ULONG_PTR>(record.ExceptionAddress)), threadId))
        return false;
    if (record.ExceptionCode != kAccessViolation || record.NumberParameters < 2)
        return true;
    return AppendFormat(L"%s location 0x%08X.\r\n", record.ExceptionInformation[0] ? L"Write to" : L"Read from",
                        DWORD(record.ExceptionInformation[1]));
}

// Segment selectors are 16 bits; the upper half of their context fields is not defined (Wine leaves noise there).
bool C_CrashReportText::AppendRegisters(const CONTEXT& c) {
    return AppendFormat(L"\r\nEAX=0x%08X, CS=0x%04X, EIP=0x%08X, Flags=0x%08X\r\n", c.Eax, LOWORD(c.SegCs), c.Eip,
                        c.EFlags) &&
           AppendFormat(L"EBX=0x%08X, SS=0x%04X, ESP=0x%08X, EBP=0x%08X\r\n", c.Ebx, LOWORD(c.SegSs), c.Esp, c.Ebp) &&
           AppendFormat(L"ECX=0x%08X, DS=0x%04X, ESI=0x%08X, FS=0x%04X\r\n", c.Ecx, LOWORD(c.SegDs), c.Esi,
                        LOWORD(c.SegFs)) &&
           AppendFormat(L"EDX=0x%08X, ES=0x%04X, EDI=0x%08X, GS=0x%04X\r\n", c.Edx, LOWORD(c.SegEs), c.Edi,
                        LOWORD(c.SegGs));
}

bool C_CrashReportText::AppendProcessor(const ProcessorFacts& processor) {
    const wchar_t* name = processor.name;
    while (*name == L' ' || *name == L'\t')
        ++name;
    return AppendFormat(L"\r\n%s %s %s %u Mhz", name, processor.vendor, processor.identifier, processor.megahertz);
}

bool C_CrashReportText::AppendWindows(const WindowsFacts& windows) {
    if (windows.isNt)
        return AppendFormat(L"\r\n%s [%u.%u] Build %u.%u %s\r\n", windows.product, windows.major, windows.minor,
                            windows.build, windows.revision, windows.servicePack);
    return AppendFormat(L"\r\n%s [%u.%u] Build %u %s\r\n", windows.product, windows.major, windows.minor,
                        windows.build & 0xFFFF, windows.servicePack);
}

bool C_CrashReportText::AppendPlatform(unsigned traits) {
    return AppendFormat(L"%s%s Unicode%s%s%s\r\n", (traits & TRAIT_WOW64) ? L"x86 WOW64" : L"x86",
                        (traits & TRAIT_WOW64_ARM) ? L" WOW64-ARM" : L"", (traits & TRAIT_WINE) ? L", Wine" : L"",
                        (traits & TRAIT_REACTOS) ? L", ReactOS" : L"",
                        (traits & TRAIT_SANDBOX) ? L", Windows Sandbox" : L"");
}

bool C_CrashReportText::AppendUptime(const wchar_t* duration) {
    return AppendFormat(L"\r\nProcess Uptime: %s\r\n", duration);
}

bool C_CrashReportText::BeginStack() {
    return AppendFormat(L"\r\nStack:\r\n");
}

bool C_CrashReportText::AppendFrame(const StackFrameText& frame) {
    const DWORD64* p = frame.parameters;
    bool hasModule = frame.module[0] != 0;
    if (frame.line && hasModule)
        return AppendFormat(L"%hs:%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X) - Line %u in %hs\r\n", frame.module,
                            frame.symbol, p[0], p[1], p[2], p[3], frame.line, frame.file);
    if (frame.line)
        return AppendFormat(L"%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X) - Line %u in %hs\r\n", frame.symbol, p[0], p[1],
                            p[2], p[3], frame.line, frame.file);
    if (hasModule)
        return AppendFormat(L"%hs:%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X)\r\n", frame.module, frame.symbol, p[0], p[1],
                            p[2], p[3]);
    return AppendFormat(L"%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X)\r\n", frame.symbol, p[0], p[1], p[2], p[3]);
}

bool C_CrashReportText::AppendLog(const wchar_t* log) {
    if (!log || !*log)
        return true;
    return AppendFormat(L"\r\nLog:\r\n") && m_text.Append(log);
}

bool C_CrashReportText::AppendModules(const CrashInventory& inventory, DWORD64 ownBase) {
    if (inventory.moduleCount == 0)
        return true;
    if (!AppendFormat(L"\r\nModuleList:\r\n    Size TimeStamp                      Checksum   ImageBase  Versions\r\n"))
        return false;
    for (uint32_t i = 0; i < inventory.moduleCount; ++i) {
        const CrashModule& m = inventory.modules[i];
        C_String date, time;
        if (m.base != ownBase || !FormatLinkTime(m.timeStamp, date, time)) {
            date.Assign(L"");
            time.Assign(L"");
        }
        if (!AppendFormat(L"%8u 0x%08X %10.10s %8.8s 0x%08X 0x%08I64X %4d.%04d.%05d.%06d %4d.%04d.%05d.%06d - %S\r\n",
                          m.size, m.timeStamp, date.c_str(), time.c_str(), m.checksum, m.base, HIWORD(m.fileVersionMS),
                          LOWORD(m.fileVersionMS), HIWORD(m.fileVersionLS), LOWORD(m.fileVersionLS),
                          HIWORD(m.productVersionMS), LOWORD(m.productVersionMS), HIWORD(m.productVersionLS),
                          LOWORD(m.productVersionLS), m.path))
            return false;
    }
    return true;
}

bool C_CrashReportText::AppendThreads(const CrashInventory& inventory, bool isNt) {
    if (inventory.threadCount == 0)
        return true;
    if (!AppendFormat(L"\r\nThreadList:\r\nId         StackBase  StackEnd   StartAddress\r\n"))
        return false;
    const wchar_t* format =
        isNt ? L"%-8u   0x%08X 0x%08X 0x%08X %hs %s\r\n" : L"0x%08X 0x%08X 0x%08X 0x%08X %hs %s\r\n";
    for (uint32_t i = 0; i < inventory.threadCount; ++i) {
        const CrashThread& t = inventory.threads[i];
        if (!AppendFormat(format, t.id, t.stackBase, t.stackEnd, t.startAddress, t.startSymbol, t.name))
            return false;
    }
    return true;
}

bool C_CrashReportText::WriteTo(HANDLE file) {
    const char* bytes = m_text.ToMultiByte();
    if (!bytes)
        return false;
    DWORD length = DWORD(strlen(bytes));
    DWORD written = 0;
    return WriteFile(file, bytes, length, &written, nullptr) && written == length;
}
