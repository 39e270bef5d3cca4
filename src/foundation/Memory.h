#pragma once
// The one place the foundation types get their heap blocks from. Tests install a failure hook so the
// allocation-failure paths of the buffer and the string are really exercised, not just reasoned about.
#include <cstddef>

namespace Memory {

void* Reallocate(void* block, size_t bytes); // null block allocates; null result on failure (block kept)
void Release(void* block);

// Returns true when the allocation of the given size should fail. Null restores normal behaviour.
using FailureHook = bool (*)(size_t bytes);
void SetFailureHook(FailureHook hook);

} // namespace Memory
