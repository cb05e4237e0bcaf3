// One reader thread per device: it reads the input reports one at a time, decodes the extra-key
// reports and posts the host a key message per press and release. It ends when its entry's stop
// event is set, cancelling its own pending read first.
#include "library_state.h"

// The key codes of the extra keys; position + 1 is the key number.
const WORD keyCodeTable[6] = {0x0001, 0x0002, 0x0003, 0xFFE2, 0x0004, 0x0005};

static void postKeyMessage(LONG wParam, LPARAM lParam) {
    PostMessageA(loadShared(state.clientWindow), loadShared(state.keyMessageId), (WPARAM)wParam,
                 lParam);
}

// Looks at the report id and the key byte only; a report too short to hold both is ignored.
void decodeKeyReport(const BYTE* report, DWORD length) {
    if (length < 2 || (report[0] != 2 && report[0] != 3)) return;
    // The key byte widens with its sign: 0xE2 becomes 0xFFE2.
    WORD code = (WORD)(SHORT)(signed char)report[1];
    for (int i = 0; i < 6; ++i) {
        if (keyCodeTable[i] == code) {
            LONG keyCode = (i + 1) * 0x100;
            exchangeShared(state.lastKeyCode, keyCode);
            postKeyMessage(keyCode, 0);
            return;
        }
    }
    if (report[1] != 0) return;
    // A release takes the last press and clears it in one step, so that two readers decoding
    // releases at once post it once.
    LONG keyCode = exchangeShared(state.lastKeyCode, (LONG)0);
    if (keyCode != 0) postKeyMessage(keyCode, KeyReleasedFlag);
}

int readKeyReport(DeviceEntry* entry) {
    HidDevice* device = &entry->device;
    if (device->deviceHandle == 0) return 1;
    HANDLE event = CreateEventA(0, TRUE, FALSE, 0);
    if (event == 0) return 1;  // no event: this read is skipped
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    DWORD bytesRead = 0;

    EnterCriticalSection(&state.ioLock);
    BOOL read = ReadFile(device->deviceHandle, device->inputReportBuffer,
                         device->caps.InputReportByteLength, &bytesRead, &overlapped);
    DWORD error = read ? 0 : GetLastError();
    LeaveCriticalSection(&state.ioLock);

    int keepReading = 1;
    if (!read && error == ERROR_IO_PENDING) {
        HANDLE wakers[2] = {event, entry->stopEvent};
        if (WaitForMultipleObjects(2, wakers, FALSE, INFINITE) != WAIT_OBJECT_0) {
            // Told to stop: cancel this thread's read and wait until it is over, since it
            // completes into the buffer and the OVERLAPPED.
            CancelIo(device->deviceHandle);
            keepReading = 0;
        }
        read = GetOverlappedResult(device->deviceHandle, &overlapped, &bytesRead, !keepReading);
        // A read that ended with an error (the device went away) is not decoded.
        read = read && keepReading;
    }
    CloseHandle(event);
    if (read) decodeKeyReport(device->inputReportBuffer, device->caps.InputReportByteLength);
    return keepReading;
}

DWORD WINAPI readerThread(LPVOID parameter) {
    DeviceEntry* entry = (DeviceEntry*)parameter;
    const HidDevice& device = entry->device;
    // A report needs its id and key byte; a device with shorter reports is never read.
    if (device.inputReportBuffer == 0 || device.caps.InputReportByteLength < 2) {
        WaitForSingleObject(entry->stopEvent, INFINITE);
        return 0;
    }
    // The pause before each read is a wait for the stop event, so stopping never waits for it.
    while (WaitForSingleObject(entry->stopEvent, ReadPause) == WAIT_TIMEOUT) {
        if (loadShared(state.suspended)) continue;
        if (!readKeyReport(entry)) break;
    }
    return 0;
}

int stopReader(DeviceEntry* entry, DWORD timeout) {
    if (entry->readerThreadHandle == 0) return 1;
    SetEvent(entry->stopEvent);
    if (WaitForSingleObject(entry->readerThreadHandle, timeout) != WAIT_OBJECT_0) return 0;
    CloseHandle(entry->readerThreadHandle);
    entry->readerThreadHandle = 0;
    return 1;
}
