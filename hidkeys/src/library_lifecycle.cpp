// Opening and closing the library: the notification thread's start and end, and the class-wide
// registration for HID interface arrivals.
#include <string.h>

#include "library_state.h"

bool isLibraryOpen() {
    return loadShared(state.notifyThread) != 0;
}

// Waits up to `timeout` for `thread` to end, handling meanwhile the messages sent to the calling
// thread: a notification thread that is still delivering a notice to a host window of this
// thread can end only once the notice has been handled.
static bool waitForThreadEnd(HANDLE thread, DWORD timeout) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (timeout != INFINITE) {
            DWORD elapsed = GetTickCount() - start;
            left = elapsed >= timeout ? 0 : timeout - elapsed;
        }
        DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);  // handles the sent messages
    }
}

// Waits up to `timeout` for a notification thread that has been retired to end, and then closes
// its handle; a thread still running stays retired. Runs on a host thread only, never on the
// notification thread itself.
static void joinRetiredNotifyThread(DWORD timeout = INFINITE) {
    HANDLE thread = exchangeShared(state.retiredNotifyThread, (HANDLE)0);
    if (thread == 0) return;
    // A host that opens or closes the library while it handles a notice may be answering the
    // notification thread itself, which can't end before the answer: it is only looked at.
    if (InSendMessage()) timeout = 0;
    if (waitForThreadEnd(thread, timeout)) {
        CloseHandle(thread);
    } else {
        storeShared(state.retiredNotifyThread, thread);
    }
}

// Moves the notification thread's handle to the retired slot: the library is no longer open.
void retireNotifyThread() {
    HANDLE thread = exchangeShared(state.notifyThread, (HANDLE)0);
    if (thread != 0) storeShared(state.retiredNotifyThread, thread);
}

int openLibrary() {
    if (isLibraryOpen()) return 1;
    joinRetiredNotifyThread();
    // Still running: it ends by itself once its notice has been answered; only its handle is
    // given up, since the slot is needed for the thread about to start.
    HANDLE stillRunning = exchangeShared(state.retiredNotifyThread, (HANDLE)0);
    if (stillRunning != 0) CloseHandle(stillRunning);
    // A suspend seen by an earlier notification thread whose resume it never saw (the library
    // was closed in between) must not keep the readers of this one idle.
    clearPowerFlags();

    state.readyEvent = CreateEventA(0, FALSE, FALSE, 0);
    if (state.readyEvent == 0) return 0;

    EnterCriticalSection(&state.startLock);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(0, 0, notifyThreadMain, 0, 0, &threadId);
    state.startingThreadId = thread != 0 ? threadId : 0;
    storeShared(state.notifyThread, thread);
    LeaveCriticalSection(&state.startLock);
    if (thread == 0) {
        CloseHandle(state.readyEvent);
        state.readyEvent = 0;
        return 0;
    }

    WaitForSingleObject(state.readyEvent, NotifyReadyTimeout);
    // The thread clears startingThreadId when it signals. If it has not, the start is given
    // up here, under the same lock, so that a late thread neither signals the event that is
    // about to be closed nor keeps its window and class.
    EnterCriticalSection(&state.startLock);
    bool ready = state.startingThreadId == 0;
    state.startingThreadId = 0;
    LeaveCriticalSection(&state.startLock);
    CloseHandle(state.readyEvent);
    state.readyEvent = 0;
    if (!ready) {
        // A thread that failed early has ended; a late one ends by itself and is waited for
        // by the next BUK_Open or BUK_Close.
        retireNotifyThread();
        joinRetiredNotifyThread(0);
        return 0;
    }

    if (registerInterfaceNotification(&state.interfaceNotification)) return 1;
    SendMessageA(state.notifyWindow, WM_CLOSE, 0, 0);
    retireNotifyThread();  // in case the window was already gone
    joinRetiredNotifyThread();
    return 0;
}

void closeLibrary() {
    bool open = isLibraryOpen();
    if (open) removeAllDevices();
    releaseAbandonedEntries();
    resetDeviceIds();
    if (open) {
        // Returns once the NotifyWindow has handled WM_CLOSE, which retires the thread.
        SendMessageA(state.notifyWindow, WM_CLOSE, 0, 0);
        retireNotifyThread();  // in case the window was already gone
    }
    // The thread ends right after WM_CLOSE; once it has, the host may unload the library.
    joinRetiredNotifyThread();
}

int registerInterfaceNotification(HDEVNOTIFY* where) {
    *where = 0;
    DEV_BROADCAST_DEVICEINTERFACE_A filter;
    memset(&filter, 0, sizeof filter);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    *where = RegisterDeviceNotificationA(state.notifyWindow, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return *where != 0;
}

int unregisterInterfaceNotification(HDEVNOTIFY* where) {
    return UnregisterDeviceNotification(*where) ? 1 : 0;
}
