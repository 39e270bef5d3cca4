#include "maintenance/crash/SymbolLibrary.h"

#include "foundation/base/PrintfDialect.h"
#include "foundation/base/TextString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr const wchar_t* kLibraryName = L"dbghelp.dll";
constexpr const wchar_t* kNtLibraryName = L"ntdll.dll";
constexpr const char* kQueryThreadName = "NtQueryInformationThread";
constexpr const char* kCleanupName = "SymCleanup";
constexpr const wchar_t* kSearchPathVariables[] = {L"_NT_SYMBOL_PATH", L"_NT_ALTERNATE_SYMBOL_PATH", L"SYSTEMROOT"};
constexpr DWORD kMaximumVariable = 32767; // units, the environment's own limit

template <class Function> bool Resolve(HMODULE module, const char* name, Function& out) {
    out = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return out != nullptr;
}

// From the system folder only, so a planted dbghelp.dll beside a crashing program is never run.
HMODULE LoadFromSystemFolder(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + wcslen(name) + 2 > MAX_PATH)
        return nullptr;
    path[length] = L'\\';
    wcscpy(path + length + 1, name);
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(path);
    SetErrorMode(previous);
    return module;
}

bool AppendVariable(const wchar_t* name, C_String& path) {
    C_String value;
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0 || needed > kMaximumVariable || !value.SetCapacity(needed))
        return true; // an unset variable adds nothing
    DWORD length = GetEnvironmentVariableW(name, value.GetBuffer(), needed);
    if (length == 0 || length >= needed)
        return true;
    value.UpdateLength();
    return path.AppendWithSeparator(value.c_str(), L";");
}

bool BuildSearchPath(C_String& path) {
    wchar_t program[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length > 0 && length < MAX_PATH && RemoveFileName(program) && !path.Assign(program))
        return false;
    for (const wchar_t* variable : kSearchPathVariables)
        if (!AppendVariable(variable, path))
            return false;
    return true;
}

// The C runtime's own narrow printf, always terminated, cut to the room there is.
VELTO_RUNTIME_PRINTF(3, 4) void FormatText(char* out, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = _vsnprintf(out, size - 1, format, args);
    va_end(args);
    out[written < 0 ? size - 1 : size_t(written)] = 0;
}

void CopyText(char* out, size_t size, const char* text) {
    FormatText(out, size, "%s", text);
}

} // namespace

bool C_SymbolLibrary::Load() {
    if (IsLoaded())
        return true;
    C_Module module(LoadFromSystemFolder(kLibraryName));
    if (!module)
        return false;
    HMODULE h = module.Get();
    Functions f{};
    bool complete =
        Resolve(h, "MiniDumpWriteDump", f.MiniDumpWriteDump) && Resolve(h, "SymInitialize", f.SymInitialize) &&
        Resolve(h, "SymSetOptions", f.SymSetOptions) && Resolve(h, "SymGetSymFromAddr64", f.SymGetSymFromAddr64) &&
        Resolve(h, "SymFromAddr", f.SymFromAddr) && Resolve(h, "SymGetModuleInfo64", f.SymGetModuleInfo64) &&
        Resolve(h, "StackWalk64", f.StackWalk64) &&
        Resolve(h, "SymFunctionTableAccess64", f.SymFunctionTableAccess64) &&
        Resolve(h, "SymGetModuleBase64", f.SymGetModuleBase64) &&
        Resolve(h, "SymGetLineFromAddr64", f.SymGetLineFromAddr64);
    if (!complete)
        return false;
    m_functions = f;
    m_module = std::move(module);
    if (HMODULE nt = GetModuleHandleW(kNtLibraryName))
        Resolve(nt, kQueryThreadName, m_queryThread);
    return true;
}

void C_SymbolLibrary::Unload() {
    if (m_process) {
        using CleanupFunction = BOOL(WINAPI*)(HANDLE);
        CleanupFunction cleanup = nullptr;
        if (Resolve(m_module.Get(), kCleanupName, cleanup))
            cleanup(m_process);
        m_process = nullptr;
    }
    m_module.Reset();
    m_functions = Functions{};
    m_queryThread = nullptr;
}

bool C_SymbolLibrary::Initialize(HANDLE process) {
    if (!IsLoaded())
        return false;
    if (m_process)
        return true;
    C_String searchPath;
    if (!BuildSearchPath(searchPath))
        return false;
    m_functions.SymSetOptions(kLoadLines);
    if (!m_functions.SymInitialize(process, searchPath.ToMultiByte(), TRUE))
        return false;
    m_process = process;
    return true;
}

// Older dbghelp versions refuse the full record; they accept the part that ends before the PDB fields.
bool C_SymbolLibrary::GetModuleInfo(DWORD64 address, IMAGEHLP_MODULE64& info) const {
    constexpr DWORD kSizes[] = {sizeof(IMAGEHLP_MODULE64), offsetof(IMAGEHLP_MODULE64, LoadedPdbName)};
    for (DWORD size : kSizes) {
        memset(&info, 0, sizeof info);
        info.SizeOfStruct = size;
        if (m_functions.SymGetModuleInfo64(m_process, address, &info))
            return true;
    }
    return false;
}

void C_SymbolLibrary::DescribeAddress(DWORD64 address, char (&symbol)[kSymbolTextSize],
                                      char (&module)[kModuleNameSize]) const {
    module[0] = 0;
    FormatText(symbol, sizeof symbol, "0x%08I64X", address);
    if (!m_process)
        return;
    IMAGEHLP_MODULE64 info;
    bool hasModule = GetModuleInfo(address, info);
    if (hasModule)
        CopyText(module, sizeof module, info.ModuleName);

    alignas(SYMBOL_INFO) char block[sizeof(SYMBOL_INFO) + kSymbolTextSize] = {};
    auto* found = reinterpret_cast<SYMBOL_INFO*>(block);
    found->SizeOfStruct = sizeof(SYMBOL_INFO);
    found->MaxNameLen = kSymbolTextSize - 1;
    DWORD64 displacement = 0;
    if (m_functions.SymFromAddr(m_process, address, &displacement, found) && found->Name[0]) {
        CopyText(symbol, sizeof symbol, found->Name);
        return;
    }
    alignas(IMAGEHLP_SYMBOL64) char oldBlock[sizeof(IMAGEHLP_SYMBOL64) + kSymbolTextSize] = {};
    auto* oldFound = reinterpret_cast<IMAGEHLP_SYMBOL64*>(oldBlock);
    oldFound->SizeOfStruct = sizeof(IMAGEHLP_SYMBOL64);
    oldFound->MaxNameLength = kSymbolTextSize - 1;
    if (m_functions.SymGetSymFromAddr64(m_process, address, &displacement, oldFound) && oldFound->Name[0]) {
        CopyText(symbol, sizeof symbol, oldFound->Name);
        return;
    }
    if (hasModule) {
        FormatText(symbol, sizeof symbol, "%s@0x%I64X", info.ModuleName, address - info.BaseOfImage);
        return;
    }
    if (DWORD64 base = m_functions.SymGetModuleBase64(m_process, address))
        FormatText(symbol, sizeof symbol, "0x%I64X@0x%I64X", base, address - base);
}

DWORD C_SymbolLibrary::FindLine(DWORD64 address, char (&file)[MAX_PATH]) const {
    file[0] = 0;
    if (!m_process)
        return 0;
    IMAGEHLP_LINE64 line{};
    line.SizeOfStruct = sizeof line;
    DWORD displacement = 0;
    if (!m_functions.SymGetLineFromAddr64(m_process, address, &displacement, &line))
        return 0;
    CopyText(file, sizeof file, line.FileName ? line.FileName : "");
    return line.LineNumber;
}
