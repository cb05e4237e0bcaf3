// BUK_Control: the output report 3, value, zeros, written to one device by its id.
#include <string.h>

#include "library_state.h"

// Builds the report in the device's output buffer and writes it; 1 when all of it was written.
static int writeOutputReport(DeviceEntry* entry, BYTE value) {
    HidDevice* device = &entry->device;
    DWORD length = device->caps.OutputReportByteLength;
    // The report needs its id and the value byte.
    if (device->outputReportBuffer == 0 || length < 2) return 0;

    EnterCriticalSection(&entry->writeLock);
    memset(device->outputReportBuffer, 0, length);
    device->outputReportBuffer[0] = 3;
    device->outputReportBuffer[1] = value;
    int result = 0;
    HANDLE event = CreateEventA(0, TRUE, FALSE, 0);
    if (event != 0) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event;
        DWORD written = 0;
        EnterCriticalSection(&state.ioLock);
        BOOL ok = WriteFile(device->deviceHandle, device->outputReportBuffer, length, &written,
                            &overlapped);
        DWORD error = ok ? 0 : GetLastError();
        LeaveCriticalSection(&state.ioLock);
        if (!ok && error == ERROR_IO_PENDING) {
            WaitForSingleObject(event, INFINITE);
            ok = GetOverlappedResult(device->deviceHandle, &overlapped, &written, FALSE);
        }
        CloseHandle(event);
        result = ok && written == length;
    }
    LeaveCriticalSection(&entry->writeLock);
    return result;
}

extern "C" HIDKEYS_EXPORT int BUK_CALL BUK_Control(int id, int value) {
    if (id == 0) return 0;
    DeviceEntry* entry = findDeviceById((DWORD)id);
    if (entry == 0) return 0;
    int result = writeOutputReport(entry, (BYTE)value);
    releaseEntry(entry);
    return result;
}
