// GlobalAlloc and friends. Each block is a heap block of its own, so that a use after
// GlobalFree is caught by AddressSanitizer.
#include <cstdlib>
#include <cstring>

#include "core.h"

namespace winsim::detail {

namespace {

struct GlobalBlock {
    void* memory = nullptr;
    bool moveable = false;
    int locks = 0;
};

// Keyed by the HGLOBAL: the handle value of a moveable block, the address of a fixed one.
std::map<uintptr_t, GlobalBlock>& blocks() {
    static auto* map = new std::map<uintptr_t, GlobalBlock>;
    return *map;
}

GlobalBlock* findBlock(HGLOBAL handle) {
    auto it = blocks().find(fromHandle(handle));
    if (it == blocks().end()) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

}  // namespace

int countGlobalBlocks() {
    return static_cast<int>(blocks().size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::GlobalAlloc, &error)) {
        setError(error);
        return nullptr;
    }
    // A zero-byte block still gets an address of its own.
    void* memory =
        (uFlags & GMEM_ZEROINIT) ? calloc(1, dwBytes ? dwBytes : 1) : malloc(dwBytes ? dwBytes : 1);
    if (memory == nullptr) {
        setError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    GlobalBlock block;
    block.memory = memory;
    block.moveable = (uFlags & GMEM_MOVEABLE) != 0;
    uintptr_t key = block.moveable ? newHandleValue() : reinterpret_cast<uintptr_t>(memory);
    blocks()[key] = block;
    return toHandle<HGLOBAL>(key);
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    MachineLock lock;
    GlobalBlock* block = findBlock(hMem);
    if (block == nullptr) return nullptr;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::GlobalLock, &error)) {
        setError(error);
        return nullptr;
    }
    if (block->moveable) ++block->locks;
    return block->memory;
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    MachineLock lock;
    GlobalBlock* block = findBlock(hMem);
    if (block == nullptr) return FALSE;
    if (!block->moveable) return TRUE;
    if (block->locks == 0) {
        setError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->locks > 0) return TRUE;
    setError(NO_ERROR);
    return FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    MachineLock lock;
    GlobalBlock* block = findBlock(hMem);
    if (block == nullptr) return hMem;
    free(block->memory);
    blocks().erase(fromHandle(hMem));
    return nullptr;
}

}  // extern "C"
