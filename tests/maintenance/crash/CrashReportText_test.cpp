#include "maintenance/crash/CrashReportText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::wstring Text(const C_CrashReportText& report) {
    return report.GetText().c_str();
}

EXCEPTION_RECORD Record(DWORD code, std::initializer_list<ULONG_PTR> parameters) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = code;
    record.ExceptionAddress = reinterpret_cast<void*>(0x00401A2B);
    for (ULONG_PTR parameter : parameters)
        record.ExceptionInformation[record.NumberParameters++] = parameter;
    return record;
}

} // namespace

TEST(CrashReportText, ExceptionLineNamesTheCodeAndAnAccessViolationTellsWhere) {
    struct Case {
        DWORD code;
        std::initializer_list<ULONG_PTR> parameters;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0xC0000005,
         {1, 0x10},
         L"Access Violation [0xC0000005] at 0x00401A2B in Thread 42.\r\nWrite to location 0x00000010.\r\n"},
        {0xC0000005,
         {0, 0xDEAD0000},
         L"Access Violation [0xC0000005] at 0x00401A2B in Thread 42.\r\nRead from location 0xDEAD0000.\r\n"},
        {0xC0000005, {1}, L"Access Violation [0xC0000005] at 0x00401A2B in Thread 42.\r\n"},
        {0xC0000094, {}, L"Integer Divide by Zero [0xC0000094] at 0x00401A2B in Thread 42.\r\n"},
        {0xC00000FD, {}, L"Stack Overflow [0xC00000FD] at 0x00401A2B in Thread 42.\r\n"},
        {0xE06D7363, {}, L"Microsoft C++ Exception [0xE06D7363] at 0x00401A2B in Thread 42.\r\n"},
        {0x40010005, {}, L"Control-C [0x40010005] at 0x00401A2B in Thread 42.\r\n"},
        {0xC0000142, {}, L"DLL Initialization Failed [0xC0000142] at 0x00401A2B in Thread 42.\r\n"},
        {0x12345678, {}, L"Exception [0x12345678] at 0x00401A2B in Thread 42.\r\n"},
    };
    for (const Case& c : cases) {
        C_CrashReportText report;
        ASSERT_TRUE(report.AppendException(Record(c.code, c.parameters), 42, true));
        EXPECT_EQ(Text(report), c.expected) << std::hex << c.code;
    }
    C_CrashReportText old;
    ASSERT_TRUE(old.AppendException(Record(0xC0000094, {}), 42, false));
    EXPECT_EQ(Text(old), L"Integer Divide by Zero [0xC0000094] at 0x00401A2B in Thread 0x0000002A.\r\n");
}

TEST(CrashReportText, RegistersInFourLinesWithSixteenBitSelectors) {
    CONTEXT c{};
    c.Eax = 1, c.Ebx = 2, c.Ecx = 3, c.Edx = 4, c.Esi = 5, c.Edi = 6, c.Ebp = 7, c.Esp = 8, c.Eip = 0x401000;
    c.EFlags = 0x10246, c.SegCs = 0x870023, c.SegSs = 0x2B, c.SegDs = 0x2B, c.SegEs = 0x2B, c.SegFs = 0x53,
    c.SegGs = 0x2B;
    C_CrashReportText report;
    ASSERT_TRUE(report.AppendRegisters(c));
    EXPECT_EQ(Text(report), L"\r\nEAX=0x00000001, CS=0x0023, EIP=0x00401000, Flags=0x00010246\r\n"
                            L"EBX=0x00000002, SS=0x002B, ESP=0x00000008, EBP=0x00000007\r\n"
                            L"ECX=0x00000003, DS=0x002B, ESI=0x00000005, FS=0x0053\r\n"
                            L"EDX=0x00000004, ES=0x002B, EDI=0x00000006, GS=0x002B\r\n");
}

TEST(CrashReportText, SystemSections) {
    C_CrashReportText report;
    ProcessorFacts processor{L"   Intel(R) Core(TM) i7", L"GenuineIntel", L"x86 Family 6 Model 158", 3600};
    WindowsFacts windows{L"Windows 10 Pro", 10, 0, 19045, 3803, L"", true};
    ASSERT_TRUE(report.AppendProcessor(processor));
    ASSERT_TRUE(report.AppendProcessor(processor));
    ASSERT_TRUE(report.AppendWindows(windows));
    ASSERT_TRUE(report.AppendPlatform(TRAIT_WOW64 | TRAIT_WINE));
    ASSERT_TRUE(report.AppendUptime(L"0:00:07"));
    EXPECT_EQ(Text(report), L"\r\nIntel(R) Core(TM) i7 GenuineIntel x86 Family 6 Model 158 3600 Mhz"
                            L"\r\nIntel(R) Core(TM) i7 GenuineIntel x86 Family 6 Model 158 3600 Mhz"
                            L"\r\nWindows 10 Pro [10.0] Build 19045.3803 \r\n"
                            L"x86 WOW64 Unicode, Wine\r\n"
                            L"\r\nProcess Uptime: 0:00:07\r\n");

    WindowsFacts old{L"Windows 98", 4, 10, 0x0A0A08AE, 0, L" A ", false};
    struct PlatformCase {
        unsigned traits;
        const wchar_t* expected;
    };
    const PlatformCase platforms[] = {
        {0, L"x86 Unicode\r\n"},
        {TRAIT_WOW64 | TRAIT_WOW64_ARM, L"x86 WOW64 WOW64-ARM Unicode\r\n"},
        {TRAIT_REACTOS, L"x86 Unicode, ReactOS\r\n"},
        {TRAIT_SANDBOX, L"x86 Unicode, Windows Sandbox\r\n"},
    };
    for (const PlatformCase& platform : platforms) {
        C_CrashReportText line;
        ASSERT_TRUE(line.AppendPlatform(platform.traits));
        EXPECT_EQ(Text(line), platform.expected);
    }
    C_CrashReportText nine;
    ASSERT_TRUE(nine.AppendWindows(old));
    EXPECT_EQ(Text(nine), L"\r\nWindows 98 [4.10] Build 2222  A \r\n") << "the low 16 bits of the build";
}

TEST(CrashReportText, UptimeFallbackForms) {
    struct Case {
        ULONGLONG seconds;
        const wchar_t* expected;
    };
    const Case cases[] = {{0, L"0 sec"},    {59, L"59 sec"},    {60, L"1:00"},
                          {3599, L"59:59"}, {3600, L"1:00:00"}, {90061, L"25:01:01"}};
    for (const Case& c : cases) {
        C_String text;
        ASSERT_TRUE(FormatUptimeFallback(c.seconds, text));
        EXPECT_STREQ(text.c_str(), c.expected) << c.seconds;
    }
}

TEST(CrashReportText, StackLinesWithAndWithoutModuleAndLine) {
    struct Case {
        const char* module;
        DWORD line;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"app", 12, L"app:Crash(0x1,0x2,0x3,0xFFFFFFFF) - Line 12 in C:\\src\\a.cpp\r\n"},
        {"", 12, L"Crash(0x1,0x2,0x3,0xFFFFFFFF) - Line 12 in C:\\src\\a.cpp\r\n"},
        {"app", 0, L"app:Crash(0x1,0x2,0x3,0xFFFFFFFF)\r\n"},
        {"", 0, L"Crash(0x1,0x2,0x3,0xFFFFFFFF)\r\n"},
    };
    for (const Case& c : cases) {
        StackFrameText frame{};
        strcpy(frame.module, c.module);
        strcpy(frame.symbol, "Crash");
        strcpy(frame.file, "C:\\src\\a.cpp");
        frame.line = c.line;
        frame.parameters[0] = 1, frame.parameters[1] = 2, frame.parameters[2] = 3, frame.parameters[3] = 0xFFFFFFFF;
        C_CrashReportText report;
        ASSERT_TRUE(report.AppendFrame(frame));
        EXPECT_EQ(Text(report), c.expected);
    }
    C_CrashReportText header;
    ASSERT_TRUE(header.BeginStack());
    EXPECT_EQ(Text(header), L"\r\nStack:\r\n");
}

TEST(CrashReportText, LogModulesAndThreads) {
    static CrashInventory inventory; // large: kept off the test's stack
    inventory.Clear();
    CrashModule& own = inventory.modules[inventory.moduleCount++];
    own = CrashModule{
        "C:\\Velto\\velto.exe", 0x400000, 0x2A000, 0x1234, 0, 0x00010025, 0x00030004, 0x00010025, 0x00000000};
    CrashModule& other = inventory.modules[inventory.moduleCount++];
    other = CrashModule{"C:\\windows\\system32\\ntdll.dll",
                        0x7BC00000,
                        0x100000,
                        0,
                        0x5F5E0FF,
                        0x000A0000,
                        0x4A610000,
                        0x000A0000,
                        0x4A610000};
    CrashThread& thread = inventory.threads[inventory.threadCount++];
    thread = CrashThread{0x20, 0x00340000, 0x0033C000, 0x00401500, "WorkerMain", L"reader"};

    C_CrashReportText report;
    ASSERT_TRUE(report.AppendLog(L""));
    EXPECT_EQ(Text(report), L"") << "an empty log adds no section";
    ASSERT_TRUE(report.AppendLog(L"opened COM7\r\n"));
    ASSERT_TRUE(report.AppendModules(inventory, 0x400000));
    ASSERT_TRUE(report.AppendThreads(inventory, true));

    C_String date, time;
    ASSERT_TRUE(FormatLinkTime(0, date, time));
    wchar_t ownLine[200];
    _snwprintf(ownLine, 200,
               L"  172032 0x00000000 %10.10s %8.8s 0x00001234 0x00400000    1.0037.00003.000004"
               L"    1.0037.00000.000000 - C:\\Velto\\velto.exe\r\n",
               date.c_str(), time.c_str());
    std::wstring expected = L"\r\nLog:\r\nopened COM7\r\n"
                            L"\r\nModuleList:\r\n"
                            L"    Size TimeStamp                      Checksum   ImageBase  Versions\r\n";
    expected += ownLine;
    expected += L" 1048576 0x05F5E0FF                     0x00000000 0x7BC00000   10.0000.19041.000000"
                L"   10.0000.19041.000000 - C:\\windows\\system32\\ntdll.dll\r\n"
                L"\r\nThreadList:\r\n"
                L"Id         StackBase  StackEnd   StartAddress\r\n"
                L"32         0x00340000 0x0033C000 0x00401500 WorkerMain reader\r\n";
    EXPECT_EQ(Text(report), expected);
}

TEST(CrashReportText, LinkTimeIsTheLocalDate) {
    C_String date, time;
    ASSERT_TRUE(FormatLinkTime(86400 * 366 + 3600 * 13 + 61, date, time)); // 1971-01-02 13:01:01 UTC
    TIME_ZONE_INFORMATION zone;
    GetTimeZoneInformation(&zone);
    if (zone.Bias == 0) {
        EXPECT_STREQ(date.c_str(), L" 2.01.1971");
    }
    EXPECT_EQ(wcslen(date.c_str()), 10u);
    EXPECT_EQ(wcslen(time.c_str()), 8u);
    EXPECT_STREQ(time.c_str() + 2, L":01:01");
}
