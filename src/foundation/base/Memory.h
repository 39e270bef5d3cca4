#pragma once
// The one place the foundation types get their heap blocks from. Tests install a failure hook so the
// allocation-failure paths of the buffer and the string are really exercised, not just reasoned about.
#include <cstddef>

namespace Memory {

void* Reallocate(void* block, size_t bytes); // null block allocates; null result on failure (block kept)
void Release(void* block);

// Address space for a block that grows in place: reserved whole, its pages committed front to back as it
// fills, released whole.
void* ReserveAddressSpace(size_t bytes); // null on failure
void ReleaseAddressSpace(void* region);
// Commits the pages of region from committedBytes up to totalBytes. The failure hook sees totalBytes.
bool Commit(void* region, size_t committedBytes, size_t totalBytes);

// Returns true when the allocation (or commit up to a total) of the given size should fail. Null restores normal
// behaviour.
using FailureHook = bool (*)(size_t bytes);
void SetFailureHook(FailureHook hook);

} // namespace Memory
