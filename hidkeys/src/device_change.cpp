// The system's device-change broadcasts: an arriving HID interface is opened and, when it is
// the keyboard's extra-key collection, entered in the table; a device whose handle goes away is
// taken out.
#include "library_state.h"

static void onArrival(const DEV_BROADCAST_HDR* record) {
    if (loadShared(state.suspended)) return;  // the resume walk will find it
    if (record == 0 || record->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
    const DEV_BROADCAST_DEVICEINTERFACE_A* arrival = (const DEV_BROADCAST_DEVICEINTERFACE_A*)record;
    // Null for another device, another collection of the keyboard, an interface that is already
    // open, or no memory: then the interface is dropped without a notice.
    bool outOfMemory = false;
    DeviceEntry* entry = openDeviceEntry(arrival->dbcc_name, &outOfMemory);
    // On failure addDevice has already released the device and freed the entry.
    if (entry != 0) addDevice(entry);
}

static void onRemoval(const DEV_BROADCAST_HDR* record) {
    // Interface removals from the class-wide registration are ignored: an unplugged device is
    // found through its handle.
    if (record == 0 || record->dbch_devicetype != DBT_DEVTYP_HANDLE) return;
    DeviceEntry* entry = takeDeviceByHandle(((const DEV_BROADCAST_HANDLE*)record)->dbch_handle);
    if (entry != 0) removeUnpluggedDevice(entry);
}

LRESULT onDeviceChange(WPARAM event, LPARAM record) {
    if (event == DBT_DEVICEARRIVAL) {
        onArrival((const DEV_BROADCAST_HDR*)record);
    } else if (event == DBT_DEVICEREMOVECOMPLETE) {
        onRemoval((const DEV_BROADCAST_HDR*)record);
    }
    return 0;
}
