// The process heap: GetProcessHeap, HeapAlloc, HeapFree. Each block is a block of the C heap,
// so that a use after HeapFree is caught by AddressSanitizer.
#include <cstdlib>
#include <set>

#include "core.h"

namespace winsim::detail {

namespace {

struct HeapState {
    uintptr_t handle = 0;  // the process heap's handle value, taken on first use
    std::set<void*> blocks;
};

HeapState& heap() {
    static auto* instance = new HeapState;
    if (instance->handle == 0) instance->handle = newHandleValue();
    return *instance;
}

}  // namespace

int countHeapBlocks() {
    return static_cast<int>(heap().blocks.size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HANDLE WINAPI GetProcessHeap(void) {
    MachineLock lock;
    return toHandle<HANDLE>(heap().handle);
}

// A failure returns null; the platform sets no last error for it.
LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    MachineLock lock;
    DWORD error = 0;
    if (fromHandle(hHeap) != heap().handle || takeFault(winsim::Fault::HeapAlloc, &error)) {
        return nullptr;
    }
    size_t size = dwBytes == 0 ? 1 : dwBytes;
    void* block = (dwFlags & HEAP_ZERO_MEMORY) ? calloc(1, size) : malloc(size);
    if (block != nullptr) heap().blocks.insert(block);
    return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
    MachineLock lock;
    if (fromHandle(hHeap) != heap().handle) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpMem == nullptr) return TRUE;
    if (heap().blocks.erase(lpMem) == 0) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    free(lpMem);
    return TRUE;
}

}  // extern "C"
