#include "maintenance/crash/SystemFacts.h"

#include "maintenance/crash/CrashReportText.h"
#include "platform/system/Handles.h"
#include "platform/system/SystemFunction.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kProcessorKeyFormat = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\%u";
constexpr const wchar_t* kVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const wchar_t* kDefaultProduct = L"Windows";
// The registry still calls Windows 11 "Windows 10"; its builds start here.
constexpr DWORD kFirstWindows11Build = 22000;
constexpr const wchar_t* kWindows10 = L"Windows 10";
constexpr const wchar_t* kWindows11 = L"Windows 11";
constexpr USHORT kMachineArm64 = 0xAA64;
// ReactOS leaves its own name behind the terminator of the service-pack text.
constexpr const wchar_t* kReactOsMark = L"ReactOS";
// The account Windows Sandbox runs its desktop under.
constexpr const wchar_t* kSandboxUser = L"WDAGUtilityAccount";
constexpr ULONGLONG kFileTimeStepsPerSecond = 10000000ull;
constexpr size_t kDurationSize = 64;

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);
using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
using GetDurationFormatExFunction = int(WINAPI*)(const wchar_t*, DWORD, const SYSTEMTIME*, ULONGLONG, const wchar_t*,
                                                 wchar_t*, int);

template <size_t Size> bool ReadText(HKEY key, const wchar_t* name, wchar_t (&out)[Size]) {
    DWORD type = 0;
    DWORD bytes = sizeof(out) - sizeof(wchar_t);
    out[0] = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        out[0] = 0;
        return false;
    }
    out[bytes / sizeof(wchar_t)] = 0; // a stored text need not carry its terminator
    return true;
}

DWORD ReadNumber(HKEY key, const wchar_t* name) {
    DWORD value = 0, type = 0, bytes = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return value;
}

bool GetVersion(OSVERSIONINFOEXW& info) {
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    // RtlGetVersion tells the truth; GetVersionEx answers what the manifest admits to.
    if (auto rtlGetVersion = LookupSystemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion"))
        return rtlGetVersion(&info) >= 0;
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
}

bool IsReactOs(const OSVERSIONINFOEXW& info) {
    const size_t units = sizeof info.szCSDVersion / sizeof(wchar_t);
    size_t end = wcsnlen(info.szCSDVersion, units);
    return end + 1 < units && wcsstr(info.szCSDVersion + end + 1, kReactOsMark) != nullptr;
}

bool IsSandbox() {
    wchar_t user[256];
    DWORD size = sizeof user / sizeof user[0];
    return GetUserNameW(user, &size) && _wcsicmp(user, kSandboxUser) == 0;
}

} // namespace

bool ReadProcessor(DWORD index, ProcessorFacts& out) {
    memset(&out, 0, sizeof out);
    wchar_t path[80];
    _snwprintf(path, sizeof path / sizeof path[0], kProcessorKeyFormat, index);
    C_RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ))
        return false;
    ReadText(key.Get(), L"ProcessorNameString", out.name);
    ReadText(key.Get(), L"VendorIdentifier", out.vendor);
    ReadText(key.Get(), L"Identifier", out.identifier);
    out.megahertz = ReadNumber(key.Get(), L"~MHz");
    return true;
}

void ReadWindowsFacts(WindowsFacts& out) {
    memset(&out, 0, sizeof out);
    OSVERSIONINFOEXW info;
    if (GetVersion(info)) {
        out.major = info.dwMajorVersion;
        out.minor = info.dwMinorVersion;
        out.build = info.dwBuildNumber;
        out.isNt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
        wcsncpy(out.servicePack, info.szCSDVersion, sizeof out.servicePack / sizeof(wchar_t) - 1);
    }
    C_RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kVersionKey, KEY_READ)) {
        ReadText(key.Get(), L"ProductName", out.product);
        out.revision = ReadNumber(key.Get(), L"UBR");
    }
    if (!out.product[0])
        wcscpy(out.product, kDefaultProduct);
    if (out.build >= kFirstWindows11Build && wcsncmp(out.product, kWindows10, wcslen(kWindows10)) == 0)
        memcpy(out.product, kWindows11, wcslen(kWindows11) * sizeof(wchar_t));
}

unsigned ReadPlatformTraits() {
    unsigned traits = 0;
    BOOL wow64 = FALSE;
    auto isWow64 = LookupSystemFunction<IsWow64ProcessFunction>(L"kernel32.dll", "IsWow64Process");
    if (isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64)
        traits |= TRAIT_WOW64;
    USHORT processMachine = 0, nativeMachine = 0;
    auto isWow64Two = LookupSystemFunction<IsWow64Process2Function>(L"kernel32.dll", "IsWow64Process2");
    if (isWow64Two && isWow64Two(GetCurrentProcess(), &processMachine, &nativeMachine) &&
        nativeMachine == kMachineArm64)
        traits |= TRAIT_WOW64_ARM;
    if (LookupSystemFunction<FARPROC>(L"ntdll.dll", "wine_get_version"))
        traits |= TRAIT_WINE;
    OSVERSIONINFOEXW info;
    if (GetVersion(info) && IsReactOs(info))
        traits |= TRAIT_REACTOS;
    if (IsSandbox())
        traits |= TRAIT_SANDBOX;
    return traits;
}

bool ReadProcessUptime(C_String& out) {
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return false;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER start{{created.dwLowDateTime, created.dwHighDateTime}};
    ULARGE_INTEGER end{{now.dwLowDateTime, now.dwHighDateTime}};
    ULONGLONG steps = end.QuadPart > start.QuadPart ? end.QuadPart - start.QuadPart : 0;
    if (auto format = LookupSystemFunction<GetDurationFormatExFunction>(L"kernel32.dll", "GetDurationFormatEx")) {
        wchar_t text[kDurationSize];
        if (format(nullptr, 0, nullptr, steps, nullptr, text, int(kDurationSize)) > 0)
            return out.Assign(text);
    }
    return FormatUptimeFallback(steps / kFileTimeStepsPerSecond, out);
}
