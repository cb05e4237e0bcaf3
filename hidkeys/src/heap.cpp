// The library's heap blocks, from the run-time heap, with a hook through which tests make a
// chosen allocation fail.
#include <stdlib.h>

#include "library_state.h"

AllocationHook allocationHook = 0;

static bool allocationRefused(AllocationKind kind) {
    AllocationHook hook = loadShared(allocationHook);
    return hook != 0 && hook(kind) != 0;
}

void* heapAlloc(size_t size, AllocationKind kind) {
    return allocationRefused(kind) ? 0 : malloc(size);
}

void* heapCalloc(size_t size, AllocationKind kind) {
    return allocationRefused(kind) ? 0 : calloc(1, size);
}
