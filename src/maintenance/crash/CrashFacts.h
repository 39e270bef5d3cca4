#pragma once
// What a crash report tells, gathered before it is written: the system, the stack, and the modules and threads
// that the minidump writer saw. Fixed-size records, because they are filled while the process is crashing and
// the heap may be what broke.
#include <windows.h>

#include <cstdint>

constexpr size_t kSymbolTextSize = 256;
constexpr size_t kModuleNameSize = 64;
constexpr size_t kThreadNameSize = 64;

struct CrashModule {
    char path[MAX_PATH];
    DWORD64 base;
    DWORD size;
    DWORD checksum;
    DWORD timeStamp; // link time, seconds since 1970
    DWORD fileVersionMS, fileVersionLS;
    DWORD productVersionMS, productVersionLS;
};

struct CrashThread {
    DWORD id;
    DWORD stackBase;
    DWORD stackEnd;
    DWORD startAddress;
    char startSymbol[kSymbolTextSize];
    wchar_t name[kThreadNameSize];
};

// The module and thread lists the dump callback collects. Lists longer than the room are cut, not failed.
struct CrashInventory {
    static constexpr uint32_t kMaximumModules = 512;
    static constexpr uint32_t kMaximumThreads = 512;

    CrashModule modules[kMaximumModules];
    uint32_t moduleCount;
    CrashThread threads[kMaximumThreads];
    uint32_t threadCount;

    void Clear() { moduleCount = threadCount = 0; }
};

// One line of the stack section: what the symbol library could say about one frame.
struct StackFrameText {
    char module[kModuleNameSize]; // empty when the address lies in no known module
    char symbol[kSymbolTextSize];
    DWORD64 parameters[4];
    DWORD line; // 0 when there is no line information
    char file[MAX_PATH];
};

struct ProcessorFacts {
    wchar_t name[128];
    wchar_t vendor[64];
    wchar_t identifier[128];
    DWORD megahertz;
};

struct WindowsFacts {
    wchar_t product[128];
    DWORD major, minor, build, revision;
    wchar_t servicePack[128];
    bool isNt;
};

// What the platform line names besides the processor architecture.
enum PlatformTrait : unsigned {
    TRAIT_WOW64 = 0x01,
    TRAIT_WOW64_ARM = 0x02,
    TRAIT_WINE = 0x04,
    TRAIT_REACTOS = 0x08,
    TRAIT_SANDBOX = 0x10,
};
