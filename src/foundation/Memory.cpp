#include "foundation/Memory.h"

#include <cstdlib>

namespace Memory {

static FailureHook s_failureHook = nullptr;

void* Reallocate(void* block, size_t bytes) {
    if (s_failureHook && s_failureHook(bytes))
        return nullptr;
    return realloc(block, bytes ? bytes : 1);
}

void Release(void* block) { free(block); }

void SetFailureHook(FailureHook hook) { s_failureHook = hook; }

} // namespace Memory
