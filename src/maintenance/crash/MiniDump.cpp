#include "maintenance/crash/MiniDump.h"

#include "maintenance/crash/SymbolLibrary.h"
#include "platform/system/Handles.h"
#include "platform/formats/VersionResource.h"

#include <cstring>

namespace {

// The user slot of the thread information block (NT_TIB.ArbitraryUserPointer): a thread that wants a name in
// crash reports leaves a pointer to it there.
constexpr DWORD kUserSlotOffset = 0x14;

struct DumpJob {
    const C_SymbolLibrary* symbols;
    HANDLE file;
    DWORD crashingThread;
    EXCEPTION_POINTERS* exception;
    CrashInventory* inventory;
    bool written;
};

bool ReadOwnMemory(DWORD address, void* out, SIZE_T size) {
    SIZE_T read = 0;
    return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(uintptr_t(address)), out, size,
                             &read) &&
           read == size;
}

// The information block's own record of which thread it belongs to (TEB.ClientId.UniqueThread).
constexpr DWORD kOwnerThreadOffset = 0x24;
constexpr ULONG kThreadBasicInformationClass = 0; // ThreadBasicInformation

// NtQueryInformationThread's answer for kThreadBasicInformationClass, as laid out on x86.
struct ThreadBasicInformation {
    LONG exitStatus;
    void* informationBlock;
    void* processId;
    void* threadId;
    ULONG_PTR affinityMask;
    LONG priority;
    LONG basePriority;
};

// The thread's information block. Windows gives it as the base of the thread's FS selector; Wine answers that
// question with the calling thread's block instead, so the block must name the thread as its owner, or the
// system is asked for the thread's block directly.
DWORD FindThreadBlock(HANDLE thread, DWORD threadId, DWORD fsSelector, C_SymbolLibrary::QueryThreadFunction query) {
    LDT_ENTRY entry;
    if (thread && GetThreadSelectorEntry(thread, fsSelector, &entry)) {
        DWORD block =
            entry.BaseLow | (DWORD(entry.HighWord.Bytes.BaseMid) << 16) | (DWORD(entry.HighWord.Bytes.BaseHi) << 24);
        DWORD owner = 0;
        if (ReadOwnMemory(block + kOwnerThreadOffset, &owner, sizeof owner) && owner == threadId)
            return block;
    }
    ThreadBasicInformation basic{};
    if (thread && query && query(thread, kThreadBasicInformationClass, &basic, sizeof basic, nullptr) >= 0 &&
        DWORD(uintptr_t(basic.threadId)) == threadId)
        return DWORD(uintptr_t(basic.informationBlock));
    return 0;
}

// Read unit by unit: the name may end just before memory that is not mapped.
void ReadThreadName(DWORD block, wchar_t (&name)[kThreadNameSize]) {
    name[0] = 0;
    DWORD pointer = 0;
    if (!block || !ReadOwnMemory(block + kUserSlotOffset, &pointer, sizeof pointer) || pointer == 0)
        return;
    size_t i = 0;
    for (; i + 1 < kThreadNameSize; ++i)
        if (!ReadOwnMemory(pointer + DWORD(i * sizeof(wchar_t)), &name[i], sizeof(wchar_t)) || name[i] == 0)
            break;
    name[i] = 0;
}

// Where the writer gives no version (Wine gives none), the module's own version resource has it.
void ReadLoadedVersion(DWORD64 base, VS_FIXEDFILEINFO& version) {
    HMODULE module = nullptr;
    auto* address = reinterpret_cast<const wchar_t*>(uintptr_t(base));
    if (version.dwSignature == VS_FFI_SIGNATURE ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            address, &module) ||
        DWORD64(uintptr_t(module)) != base)
        return;
    C_VersionResource resource;
    if (!resource.Load(module))
        return;
    if (const VS_FIXEDFILEINFO* fixed = resource.GetFixedInfo())
        version = *fixed;
}

void AddModule(const MINIDUMP_MODULE_CALLBACK& module, CrashInventory& inventory) {
    if (inventory.moduleCount >= CrashInventory::kMaximumModules)
        return;
    CrashModule& m = inventory.modules[inventory.moduleCount++];
    memset(&m, 0, sizeof m);
    if (module.FullPath)
        WideCharToMultiByte(CP_ACP, 0, module.FullPath, -1, m.path, sizeof m.path - 1, nullptr, nullptr);
    m.base = module.BaseOfImage;
    m.size = module.SizeOfImage;
    m.checksum = module.CheckSum;
    m.timeStamp = module.TimeDateStamp;
    VS_FIXEDFILEINFO version = module.VersionInfo;
    ReadLoadedVersion(module.BaseOfImage, version);
    m.fileVersionMS = version.dwFileVersionMS;
    m.fileVersionLS = version.dwFileVersionLS;
    m.productVersionMS = version.dwProductVersionMS;
    m.productVersionLS = version.dwProductVersionLS;
}

void AddThread(const MINIDUMP_THREAD_CALLBACK& thread, const C_SymbolLibrary& symbols, CrashInventory& inventory) {
    if (inventory.threadCount >= CrashInventory::kMaximumThreads)
        return;
    CrashThread& t = inventory.threads[inventory.threadCount++];
    memset(&t, 0, sizeof t);
    t.id = thread.ThreadId;
    t.stackBase = DWORD(thread.StackBase);
    t.stackEnd = DWORD(thread.StackEnd);
    // Wine's writer passes no thread handle.
    C_Handle opened;
    HANDLE handle = thread.ThreadHandle;
    if (!handle) {
        opened.Reset(OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread.ThreadId));
        handle = opened.Get();
    }
    C_SymbolLibrary::QueryThreadFunction query = symbols.GetQueryThread();
    DWORD start = 0;
    if (handle && query && query(handle, C_SymbolLibrary::kThreadStartAddressClass, &start, sizeof start, nullptr) >= 0)
        t.startAddress = start;
    ReadThreadName(FindThreadBlock(handle, thread.ThreadId, LOWORD(thread.Context.SegFs), query), t.name);
}

BOOL CALLBACK Collect(void* parameter, const PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT) {
    auto* job = static_cast<DumpJob*>(parameter);
    if (!input)
        return TRUE;
    if (input->CallbackType == ModuleCallback)
        AddModule(input->Module, *job->inventory);
    else if (input->CallbackType == ThreadCallback)
        AddThread(input->Thread, *job->symbols, *job->inventory);
    return TRUE;
}

DWORD WINAPI RunDump(void* parameter) {
    auto* job = static_cast<DumpJob*>(parameter);
    MINIDUMP_EXCEPTION_INFORMATION exception{};
    exception.ThreadId = job->crashingThread;
    exception.ExceptionPointers = job->exception;
    exception.ClientPointers = FALSE;
    MINIDUMP_CALLBACK_INFORMATION callback{};
    callback.CallbackRoutine = Collect;
    callback.CallbackParam = job;
    job->written =
        job->symbols->Get().MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), job->file, MiniDumpNormal,
                                              job->exception ? &exception : nullptr, nullptr, &callback) != FALSE;
    return 0;
}

} // namespace

bool WriteMiniDump(const C_SymbolLibrary& symbols, HANDLE file, DWORD crashingThread, EXCEPTION_POINTERS* exception,
                   CrashInventory& inventory) {
    if (!symbols.IsLoaded() || !file)
        return false;
    DumpJob job{&symbols, file, crashingThread, exception, &inventory, false};
    C_Handle writer(CreateThread(nullptr, 0, RunDump, &job, 0, nullptr));
    if (!writer)
        return false;
    WaitForSingleObject(writer.Get(), INFINITE);
    return job.written;
}
