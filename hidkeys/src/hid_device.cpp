// Opening one HID interface as the keyboard's extra-key collection, and giving back all that an
// opened HidDevice holds.

#include "library_state.h"

// Undoes a failed open: the preparsed data (when got) and the handle.
static int failOpen(HidDevice* device) {
    if (device->preparsedData != 0) {
        HidD_FreePreparsedData(device->preparsedData);
        device->preparsedData = 0;
    }
    CloseHandle(device->deviceHandle);
    device->deviceHandle = 0;
    return 0;
}

int openHidDevice(const char* path, HidDevice* device) {
    device->deviceHandle =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, 0);
    if (device->deviceHandle == INVALID_HANDLE_VALUE) {
        device->deviceHandle = 0;
        return 0;
    }
    if (!HidD_GetPreparsedData(device->deviceHandle, &device->preparsedData)) {
        device->preparsedData = 0;
        return failOpen(device);
    }
    if (!HidD_GetAttributes(device->deviceHandle, &device->attributes)) return failOpen(device);
    if (HidP_GetCaps(device->preparsedData, &device->caps) != HIDP_STATUS_SUCCESS) {
        return failOpen(device);
    }
    // The usage page is not tested: the collection with usage 1 is the extra-key one.
    if (device->caps.Usage != ExtraKeysUsage || device->attributes.VendorID != KeyboardVendorId ||
        device->attributes.ProductID != KeyboardProductId) {
        return failOpen(device);
    }
    allocReportBuffers(device);
    return 1;
}

void allocReportBuffers(HidDevice* device) {
    if (device->caps.InputReportByteLength != 0) {
        device->inputReportBuffer =
            (BYTE*)heapCalloc(device->caps.InputReportByteLength, AllocationReportBuffer);
    }
    if (device->caps.OutputReportByteLength != 0) {
        device->outputReportBuffer =
            (BYTE*)heapCalloc(device->caps.OutputReportByteLength, AllocationReportBuffer);
    }
}

int releaseHidDevice(HidDevice* device) {
    if (device == 0) return 0;
    if (device->deviceHandle != INVALID_HANDLE_VALUE && device->deviceHandle != 0) {
        CloseHandle(device->deviceHandle);
    }
    if (device->preparsedData != 0) HidD_FreePreparsedData(device->preparsedData);
    heapFree(device->inputReportBuffer);
    heapFree(device->outputReportBuffer);
    return 1;
}
