#include "foundation/base/Memory.h"

#include <windows.h>

#include <cstdlib>

namespace Memory {

static FailureHook s_failureHook = nullptr;

void* Reallocate(void* block, size_t bytes) {
    if (s_failureHook && s_failureHook(bytes))
        return nullptr;
    return realloc(block, bytes ? bytes : 1);
}

void Release(void* block) {
    free(block);
}

// Address space is not memory: only commits count for the failure hook.
void* ReserveAddressSpace(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
}

void ReleaseAddressSpace(void* region) {
    if (region)
        VirtualFree(region, 0, MEM_RELEASE);
}

bool Commit(void* region, size_t committedBytes, size_t totalBytes) {
    if (totalBytes <= committedBytes)
        return true;
    if (s_failureHook && s_failureHook(totalBytes))
        return false;
    return VirtualAlloc(static_cast<char*>(region) + committedBytes, totalBytes - committedBytes, MEM_COMMIT,
                        PAGE_READWRITE) != nullptr;
}

void SetFailureHook(FailureHook hook) {
    s_failureHook = hook;
}

} // namespace Memory
