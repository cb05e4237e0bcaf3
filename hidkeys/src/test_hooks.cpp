// Native build only: the entry point through which tests install their allocation hook. The
// shipped library has no such export.
#include "library_state.h"

extern "C" HIDKEYS_EXPORT void hidkeysSetAllocationHook(AllocationHook hook) {
    storeShared(allocationHook, hook);
}
