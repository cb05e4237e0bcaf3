// Native build only: the entry points through which tests install their allocation hook and
// count the library's heap blocks. The shipped library has no such export.
#include "library_state.h"

extern "C" HIDKEYS_EXPORT void hidkeysSetAllocationHook(AllocationHook hook) {
    storeShared(allocationHook, hook);
}

extern "C" HIDKEYS_EXPORT long hidkeysLiveHeapBlocks(void) {
    return __atomic_load_n(&liveHeapBlocks, __ATOMIC_RELAXED);
}
