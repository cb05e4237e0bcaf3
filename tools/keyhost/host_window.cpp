// The host window: hidden, on a thread of its own, so that notices sent by any of the library's
// threads are handled while the main thread waits for input.
#include "keyhost.h"

static const char HostClassName[] = "KeyHostWindow";

static HWND hostWindow;
static HANDLE windowThread;
static HANDLE windowReady;
static HostTally tally;
static LONG events;

static void countEvent(LONG* counter) {
    InterlockedIncrement(counter);
    InterlockedIncrement(&events);
}

static LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char text[96];
    if (message == NoticeMessage) {
        // The record is the library's and lives only while this message is handled.
        const DeviceNotice& notice = *(const DeviceNotice*)lParam;
        describeNotice(notice, text, sizeof text);
        printEvent("%s", text);
        DWORD kind = notice.kind & ~(DWORD)NoticeResumeMark;
        if (kind == NoticeArrived) {
            countEvent(&tally.arrivals);
        } else if (notice.deviceId == 0) {
            countEvent(&tally.nothingFound);
        } else {
            countEvent(&tally.removals);
        }
        return 0;
    }
    if (message == KeyMessage) {
        describeKey(wParam, lParam, text, sizeof text);
        printEvent("%s", text);
        countEvent((lParam & KeyReleasedFlag) != 0 ? &tally.releases : &tally.presses);
        return 0;
    }
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static DWORD WINAPI windowThreadMain(LPVOID) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.lpszClassName = HostClassName;
    RegisterClassA(&windowClass);
    hostWindow = CreateWindowExA(0, HostClassName, "keyhost", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, 0);
    SetEvent(windowReady);
    if (hostWindow == 0) return 1;
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    UnregisterClassA(HostClassName, 0);
    return 0;
}

HWND startHostWindow() {
    windowReady = CreateEventA(0, TRUE, FALSE, 0);
    if (windowReady == 0) return 0;
    windowThread = CreateThread(0, 0, windowThreadMain, 0, 0, 0);
    if (windowThread != 0) WaitForSingleObject(windowReady, INFINITE);
    CloseHandle(windowReady);
    windowReady = 0;
    if (windowThread != 0 && hostWindow == 0) stopHostWindow();
    return hostWindow;
}

void stopHostWindow() {
    if (windowThread == 0) return;
    if (hostWindow != 0) PostMessageA(hostWindow, WM_CLOSE, 0, 0);
    WaitForSingleObject(windowThread, INFINITE);
    CloseHandle(windowThread);
    windowThread = 0;
    hostWindow = 0;
}

HostTally hostTally() {
    HostTally copy;
    copy.arrivals = InterlockedExchangeAdd(&tally.arrivals, 0);
    copy.removals = InterlockedExchangeAdd(&tally.removals, 0);
    copy.nothingFound = InterlockedExchangeAdd(&tally.nothingFound, 0);
    copy.presses = InterlockedExchangeAdd(&tally.presses, 0);
    copy.releases = InterlockedExchangeAdd(&tally.releases, 0);
    return copy;
}

bool waitForEvents(LONG count, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (InterlockedExchangeAdd(&events, 0) < count) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(1);
    }
    return true;
}
