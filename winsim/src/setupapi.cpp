// Device-interface sets: SetupDiGetClassDevsA takes a snapshot of the HID interfaces; the
// enumeration and detail calls read the snapshot, so a collection detached after the snapshot
// is still listed (and then fails to open), as on the platform.
//
// Device-information elements (SP_DEVINFO_DATA) are not modelled: passing one fails with
// ERROR_INVALID_PARAMETER.
#include <setupapi.h>

#include <cstring>

#include "devices_internal.h"

namespace winsim::detail {

namespace {

struct DeviceInfoSet {
    std::vector<std::string> paths;
};

std::map<uintptr_t, DeviceInfoSet>& sets() {
    static auto* map = new std::map<uintptr_t, DeviceInfoSet>;
    return *map;
}

DeviceInfoSet* findSet(HDEVINFO handle) {
    auto it = sets().find(fromHandle(handle));
    if (it == sets().end()) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

}  // namespace

int countDeviceInfoSets() {
    return static_cast<int>(sets().size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND, DWORD Flags) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::SetupDiGetClassDevs, &error)) {
        setError(error);
        return INVALID_HANDLE_VALUE;
    }
    if (ClassGuid == nullptr && (Flags & DIGCF_ALLCLASSES) == 0) {
        setError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DeviceInfoSet set;
    bool hidClass = (Flags & DIGCF_ALLCLASSES) != 0 || sameGuid(*ClassGuid, hidGuid());
    bool hidEnumerator = Enumerator == nullptr || equalsIgnoreCase(Enumerator, "HID");
    if ((Flags & DIGCF_DEVICEINTERFACE) != 0 && hidClass && hidEnumerator) {
        for (const auto& device : allDevices()) {
            if (device->attached || (Flags & DIGCF_PRESENT) == 0) set.paths.push_back(device->path);
        }
    }
    uintptr_t value = newHandleValue();
    sets()[value] = set;
    return toHandle<HDEVINFO>(value);
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    MachineLock lock;
    winsim::detail::DeviceInfoSet* set = findSet(DeviceInfoSet);
    if (set == nullptr) return FALSE;
    DWORD error = ERROR_INVALID_DATA;
    if (takeFault(winsim::Fault::SetupDiEnumDeviceInterfaces, &error)) {
        setError(error);
        return FALSE;
    }
    if (DeviceInfoData != nullptr || InterfaceClassGuid == nullptr ||
        DeviceInterfaceData == nullptr) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        setError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!sameGuid(*InterfaceClassGuid, hidGuid()) || MemberIndex >= set->paths.size()) {
        setError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    DeviceInterfaceData->InterfaceClassGuid = hidGuid();
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = MemberIndex + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    MachineLock lock;
    winsim::detail::DeviceInfoSet* set = findSet(DeviceInfoSet);
    if (set == nullptr) return FALSE;
    DWORD error = ERROR_INVALID_DATA;
    if (takeFault(winsim::Fault::SetupDiGetDeviceInterfaceDetail, &error)) {
        setError(error);
        return FALSE;
    }
    if (DeviceInterfaceData == nullptr || DeviceInfoData != nullptr ||
        DeviceInterfaceData->Reserved == 0 || DeviceInterfaceData->Reserved > set->paths.size()) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& path = set->paths[DeviceInterfaceData->Reserved - 1];
    DWORD required = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                        path.size() + 1);
    if (RequiredSize != nullptr) *RequiredSize = required;
    if (DeviceInterfaceDetailData == nullptr) {
        setError(DeviceInterfaceDetailDataSize == 0 ? ERROR_INSUFFICIENT_BUFFER
                                                    : ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (DeviceInterfaceDetailDataSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ||
        DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        setError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (DeviceInterfaceDetailDataSize < required) {
        setError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    MachineLock lock;
    if (findSet(DeviceInfoSet) == nullptr) return FALSE;
    sets().erase(fromHandle(DeviceInfoSet));
    return TRUE;
}

}  // extern "C"
