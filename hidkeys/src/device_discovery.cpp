// The walk over every HID interface present, which enters each extra-key collection of the
// keyboard in the device table.

#include "library_state.h"

// Reads the interface detail (its path) of one member of the set; null when it can't.
static SP_DEVICE_INTERFACE_DETAIL_DATA_A* interfaceDetail(HDEVINFO set,
                                                          SP_DEVICE_INTERFACE_DATA* member) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, member, 0, 0, &required, 0);  // fails: only the size
    if (required <= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return 0;
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail =
        (SP_DEVICE_INTERFACE_DETAIL_DATA_A*)heapAlloc(required, AllocationDetailBlock);
    if (detail == 0) return 0;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, member, detail, required, 0, 0)) {
        heapFree(detail);
        return 0;
    }
    return detail;
}

int enumerateDevices() {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set = SetupDiGetClassDevsA(&hidGuid, 0, 0, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVICE_INTERFACE_DATA member;
        member.cbSize = sizeof member;
        // Any failure of the enumeration ends the walk; ERROR_NO_MORE_ITEMS is the normal end.
        for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, 0, &hidGuid, index, &member);
             ++index) {
            SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail = interfaceDetail(set, &member);
            if (detail == 0) continue;
            bool outOfMemory = false;
            DeviceEntry* entry = openDeviceEntry(detail->DevicePath, &outOfMemory);
            heapFree(detail);
            if (outOfMemory) break;
            if (entry != 0 && addDevice(entry) != 1) break;
        }
        SetupDiDestroyDeviceInfoList(set);
    }

    EnterCriticalSection(&state.tableLock);
    int next = state.nextDeviceId;
    LeaveCriticalSection(&state.tableLock);
    if (next == 1) sendDeviceNotice(NoticeRemoved, 0, 0, 0);  // nothing found
    return next;
}
