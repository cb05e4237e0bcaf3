// The notification thread and its hidden NotifyWindow, which receives the system's device and
// power broadcasts and the library's own UnregisterNotifyMessage.
#include "library_state.h"

// Tells openLibrary that the window is ready, unless openLibrary has given this start up.
static bool reportReady(HWND window) {
    EnterCriticalSection(&state.startLock);
    bool wanted = state.startingThreadId == GetCurrentThreadId();
    if (wanted) {
        state.notifyWindow = window;
        state.startingThreadId = 0;
        SetEvent(state.readyEvent);
    }
    LeaveCriticalSection(&state.startLock);
    return wanted;
}

DWORD WINAPI notifyThreadMain(LPVOID) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = notifyWindowProc;
    windowClass.hInstance = state.moduleInstance;
    windowClass.hCursor = LoadCursorA(0, IDC_ARROW);
    windowClass.lpszClassName = NotifyClassName;
    ATOM atom = RegisterClassA(&windowClass);
    if (atom == 0) return 0;

    HWND window =
        CreateWindowExA(WS_EX_OVERLAPPEDWINDOW, NotifyClassName, NotifyClassName,
                        WS_POPUP | WS_CLIPSIBLINGS, 0, 0, 5, 5, 0, 0, state.moduleInstance, 0);
    if (window != 0 && !reportReady(window)) {
        DestroyWindow(window);  // too late: openLibrary has returned 0
        window = 0;
    }
    if (window != 0) {
        MSG msg;
        while (GetMessageA(&msg, window, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Normally WM_CLOSE has unregistered the class already.
    UnregisterClassA(MAKEINTATOM(atom), state.moduleInstance);
    return 0;
}

// Undoes the handle registrations whose UnregisterNotifyMessage is still queued: BUK_Close
// posts them just before it sends WM_CLOSE, which is handled first.
static void unregisterQueuedNotifications(HWND window) {
    MSG msg;
    while (
        PeekMessageA(&msg, window, UnregisterNotifyMessage, UnregisterNotifyMessage, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage((int)msg.wParam);
            break;
        }
        UnregisterDeviceNotification((HDEVNOTIFY)msg.lParam);
    }
}

static void onClose(HWND window) {
    // Normally the table is empty by now. A device that a broadcast handled during the close
    // entered after BUK_Close emptied it goes here.
    removeAllDevices();
    unregisterInterfaceNotification(&state.interfaceNotification);
    unregisterQueuedNotifications(window);
    DestroyWindow(window);
    PostQuitMessage(0);
    retireNotifyThread();
    state.interfaceNotification = 0;
    UnregisterClassA(NotifyClassName, state.moduleInstance);
}

LRESULT CALLBACK notifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_CLOSE:
            onClose(window);
            return 0;
        case UnregisterNotifyMessage:
            UnregisterDeviceNotification((HDEVNOTIFY)lParam);
            return 0;
        case WM_POWERBROADCAST:
            return onPowerBroadcast(wParam, lParam);
        case WM_DEVICECHANGE:
            return onDeviceChange(wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
