// Native build only: the entry points through which tests install their allocation hook and
// count the library's heap blocks, and hand the reader's decoding a report of their own.
// The shipped library has no such exports.
#include "library_state.h"

extern "C" HIDKEYS_EXPORT void hidkeysSetAllocationHook(AllocationHook hook) {
    storeShared(allocationHook, hook);
}

extern "C" HIDKEYS_EXPORT long hidkeysLiveHeapBlocks(void) {
    return __atomic_load_n(&liveHeapBlocks, __ATOMIC_RELAXED);
}

// The decoding step of a reader, on a report that a test (or a fuzz target) made: key messages
// go to the window and message number given to BUK_Open, as a reader's do.
extern "C" HIDKEYS_EXPORT void hidkeysDecodeKeyReport(const BYTE* report, DWORD length) {
    decodeKeyReport(report, length);
}
