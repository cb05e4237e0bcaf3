// The library's entry point and its three exports.
#include "library_state.h"

LibraryState state;

static void makeEmpty(ListLinks* head) {
    head->next = head;
    head->prev = head;
}

extern "C" HIDKEYS_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    state.moduleInstance = instance;
    if (reason == DLL_PROCESS_ATTACH) {
        makeEmpty(&state.deviceTable);
        makeEmpty(&state.pendingEntries);
        makeEmpty(&state.abandonedEntries);
        state.nextDeviceId = 1;
        InitializeCriticalSection(&state.ioLock);
        InitializeCriticalSection(&state.tableLock);
        InitializeCriticalSection(&state.startLock);
    } else if (reason == DLL_PROCESS_DETACH) {
        // Unloading does not close the library: the host calls BUK_Close first.
        DeleteCriticalSection(&state.startLock);
        DeleteCriticalSection(&state.tableLock);
        DeleteCriticalSection(&state.ioLock);
    }
    return TRUE;
}

extern "C" HIDKEYS_EXPORT int BUK_CALL BUK_Open(HWND clientWindow, UINT keyMessageId,
                                                UINT noticeMessageId) {
    // Stored first, so that a call while open redirects every later message.
    storeShared(state.clientWindow, clientWindow);
    storeShared(state.noticeMessageId, noticeMessageId);
    storeShared(state.keyMessageId, keyMessageId);
    if (!openLibrary()) return 0;
    return enumerateDevices();
}

extern "C" HIDKEYS_EXPORT int BUK_CALL BUK_Close(void) {
    closeLibrary();
    return 1;
}
