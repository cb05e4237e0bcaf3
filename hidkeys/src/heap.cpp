// The library's heap blocks, from the run-time heap, with a hook through which tests make a
// chosen allocation fail and a count of the blocks not yet freed.
#include <stdlib.h>

#include "library_state.h"

AllocationHook allocationHook = 0;
LONG liveHeapBlocks = 0;

static bool allocationRefused(AllocationKind kind) {
    AllocationHook hook = loadShared(allocationHook);
    return hook != 0 && hook(kind) != 0;
}

static void* counted(void* block) {
    if (block != 0) __atomic_add_fetch(&liveHeapBlocks, 1, __ATOMIC_RELAXED);
    return block;
}

void* heapAlloc(size_t size, AllocationKind kind) {
    return allocationRefused(kind) ? 0 : counted(malloc(size));
}

void* heapCalloc(size_t size, AllocationKind kind) {
    return allocationRefused(kind) ? 0 : counted(calloc(1, size));
}

void heapFree(void* block) {
    if (block == 0) return;
    __atomic_sub_fetch(&liveHeapBlocks, 1, __ATOMIC_RELAXED);
    free(block);
}
