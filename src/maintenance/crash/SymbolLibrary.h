#pragma once
// C_SymbolLibrary: the system's debugging library (dbghelp.dll), loaded only while a crash report is built.
// Every function the report needs must be there, or the library counts as missing and the report goes without
// dump and stack; NtQueryInformationThread (thread start addresses) is optional.
#include <windows.h>

#include <dbghelp.h>

#include "maintenance/crash/CrashFacts.h"
#include "platform/system/Handles.h"

class C_SymbolLibrary {
public:
    static constexpr DWORD kLoadLines = 0x10;            // SYMOPT_LOAD_LINES
    static constexpr ULONG kThreadStartAddressClass = 9; // ThreadQuerySetWin32StartAddress

    struct Functions {
        decltype(&::MiniDumpWriteDump) MiniDumpWriteDump;
        decltype(&::SymInitialize) SymInitialize;
        decltype(&::SymSetOptions) SymSetOptions;
        decltype(&::SymGetSymFromAddr64) SymGetSymFromAddr64;
        decltype(&::SymFromAddr) SymFromAddr;
        decltype(&::SymGetModuleInfo64) SymGetModuleInfo64;
        decltype(&::StackWalk64) StackWalk64;
        decltype(&::SymFunctionTableAccess64) SymFunctionTableAccess64;
        decltype(&::SymGetModuleBase64) SymGetModuleBase64;
        decltype(&::SymGetLineFromAddr64) SymGetLineFromAddr64;
    };
    using QueryThreadFunction = LONG(WINAPI*)(HANDLE thread, ULONG infoClass, void* info, ULONG size, ULONG* length);

    C_SymbolLibrary() = default;
    ~C_SymbolLibrary() { Unload(); }
    C_SymbolLibrary(const C_SymbolLibrary&) = delete;
    C_SymbolLibrary& operator=(const C_SymbolLibrary&) = delete;

    // False, with nothing kept loaded, when the library or any required function is missing.
    bool Load();
    void Unload();
    bool IsLoaded() const { return m_module.IsValid(); }

    // Loads line numbers and initialises symbols for the process, loading its modules, with the program's
    // folder, _NT_SYMBOL_PATH, _NT_ALTERNATE_SYMBOL_PATH and SYSTEMROOT as the search path.
    bool Initialize(HANDLE process);
    bool IsInitialized() const { return m_process != nullptr; }

    const Functions& Get() const { return m_functions; }
    QueryThreadFunction GetQueryThread() const { return m_queryThread; }

    // What the stack and thread lists name an address by: its symbol, else module@offset, else base@offset,
    // else the bare address. The module name is left empty when no module holds the address.
    void DescribeAddress(DWORD64 address, char (&symbol)[kSymbolTextSize], char (&module)[kModuleNameSize]) const;
    // The source line of an address; 0 and an empty file when unknown.
    DWORD FindLine(DWORD64 address, char (&file)[MAX_PATH]) const;

private:
    bool GetModuleInfo(DWORD64 address, IMAGEHLP_MODULE64& info) const;

    C_Module m_module;
    Functions m_functions{};
    QueryThreadFunction m_queryThread = nullptr;
    HANDLE m_process = nullptr;
};
