// Simulated HID collections: attach, detach, reports, faults, and the HID class library calls
// (HidD_*, HidP_GetCaps).
#include <windows.h>
#include <dbt.h>
#include <hidsdi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "devices_internal.h"
#include "user_internal.h"

namespace winsim::detail {

namespace {

std::vector<std::shared_ptr<HidDeviceRecord>>& devices() {
    static auto* list = new std::vector<std::shared_ptr<HidDeviceRecord>>;
    return *list;
}

// Preparsed data handed out and not yet freed.
struct PreparsedData {
    std::shared_ptr<HidDeviceRecord> device;
    HIDP_CAPS caps{};
};
std::set<const PreparsedData*>& preparsedBlocks() {
    static auto* set = new std::set<const PreparsedData*>;
    return *set;
}

std::shared_ptr<HidDeviceRecord> findDevice(DeviceId id) {
    for (const auto& device : devices()) {
        if (device->id == id) return device;
    }
    fprintf(stderr, "winsim: no HID collection with id %d\n", id);
    abort();
}

// The interface path in the platform's form, as device-set listings spell it (lower case).
std::string makePath(const HidCollection& collection, DeviceId id) {
    char path[200];
    char interfacePart[16] = "";
    char collectionPart[16] = "";
    if (collection.interfaceNumber >= 0) {
        snprintf(interfacePart, sizeof interfacePart, "&mi_%02d", collection.interfaceNumber);
    }
    if (collection.collection > 0) {
        snprintf(collectionPart, sizeof collectionPart, "&col%02d", collection.collection);
    }
    snprintf(path, sizeof path,
             "\\\\?\\hid#vid_%04x&pid_%04x%s%s#7&%08x&0&%04d#"
             "{4d1e55b2-f16f-11cf-88cb-001111000030}",
             collection.vendorId, collection.productId, interfacePart, collectionPart,
             0x1a2b0000u + static_cast<unsigned>(id), id - 1);
    return path;
}

// A handle's collection for a HID class call; sets the error and returns null on failure.
std::shared_ptr<HidDeviceRecord> deviceForQuery(HANDLE handle) {
    auto file = lookupHandle<DeviceFile>(handle, ObjectKind::Device);
    if (!file) return nullptr;
    if (!file->device->attached) {
        setError(ERROR_DEVICE_NOT_CONNECTED);
        return nullptr;
    }
    return file->device;
}

}  // namespace

const GUID& hidGuid() {
    static const GUID guid = {
        0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    return guid;
}

bool sameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(a.Data4, a.Data4 + 8, b.Data4);
}

std::vector<std::shared_ptr<HidDeviceRecord>> allDevices() {
    return devices();
}

std::shared_ptr<HidDeviceRecord> findAttachedDevice(const std::string& path) {
    for (const auto& device : devices()) {
        if (device->attached && equalsIgnoreCase(device->path, path)) return device;
    }
    return nullptr;
}

std::shared_ptr<HidDeviceRecord> deviceOfHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object = peekHandle(handle);
    if (!object || object->kind != ObjectKind::Device) return nullptr;
    return static_cast<DeviceFile*>(object.get())->device;
}

std::vector<std::shared_ptr<DeviceFile>> openFilesOf(const HidDeviceRecord& device) {
    std::vector<std::shared_ptr<DeviceFile>> files;
    for (const auto& object : handleObjects()) {
        if (object->kind != ObjectKind::Device) continue;
        auto file = std::static_pointer_cast<DeviceFile>(object);
        if (file->device.get() == &device) files.push_back(file);
    }
    return files;
}

std::string broadcastPathOf(const HidDeviceRecord& device) {
    // The broadcast spells the path in upper case after its "\\?\" prefix.
    return device.path.substr(0, 4) + toUpper(device.path.substr(4));
}

int countPreparsedData() {
    return static_cast<int>(preparsedBlocks().size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

void WINAPI HidD_GetHidGuid(LPGUID HidGuid) {
    *HidGuid = hidGuid();
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) {
    MachineLock lock;
    std::shared_ptr<HidDeviceRecord> device = deviceForQuery(HidDeviceObject);
    if (!device) return FALSE;
    if (device->faults.attributes || Attributes == nullptr) {
        setError(device->faults.attributes ? ERROR_GEN_FAILURE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Attributes->Size = sizeof(HIDD_ATTRIBUTES);
    Attributes->VendorID = device->description.vendorId;
    Attributes->ProductID = device->description.productId;
    Attributes->VersionNumber = device->description.version;
    return TRUE;
}

BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) {
    MachineLock lock;
    std::shared_ptr<HidDeviceRecord> device = deviceForQuery(HidDeviceObject);
    if (!device) return FALSE;
    if (device->faults.preparsedData || PreparsedData == nullptr) {
        setError(device->faults.preparsedData ? ERROR_GEN_FAILURE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* data = new winsim::detail::PreparsedData;
    data->device = device;
    data->caps.Usage = device->description.usage;
    data->caps.UsagePage = device->description.usagePage;
    data->caps.InputReportByteLength = device->description.inputReportLength;
    data->caps.OutputReportByteLength = device->description.outputReportLength;
    data->caps.FeatureReportByteLength = device->description.featureReportLength;
    data->caps.NumberLinkCollectionNodes = 1;
    preparsedBlocks().insert(data);
    *PreparsedData = reinterpret_cast<PHIDP_PREPARSED_DATA>(data);
    return TRUE;
}

BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData) {
    MachineLock lock;
    auto* data = reinterpret_cast<const winsim::detail::PreparsedData*>(PreparsedData);
    if (preparsedBlocks().count(data) == 0 || data->device->faults.freePreparsedData) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    preparsedBlocks().erase(data);
    delete data;
    return TRUE;
}

NTSTATUS WINAPI HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities) {
    MachineLock lock;
    auto* data = reinterpret_cast<const winsim::detail::PreparsedData*>(PreparsedData);
    if (preparsedBlocks().count(data) == 0 || data->device->faults.caps) {
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    *Capabilities = data->caps;
    return HIDP_STATUS_SUCCESS;
}

}  // extern "C"

namespace winsim {

DeviceId attachHid(const HidCollection& collection) {
    detail::MachineLock lock;
    auto device = std::make_shared<HidDeviceRecord>();
    device->id = static_cast<DeviceId>(devices().size()) + 1;
    device->description = collection;
    device->path = makePath(collection, device->id);
    device->attached = true;
    devices().push_back(device);
    sendInterfaceEvent(lock, DBT_DEVICEARRIVAL, broadcastPathOf(*device));
    return device->id;
}

void reattachHid(DeviceId id) {
    detail::MachineLock lock;
    std::shared_ptr<HidDeviceRecord> device = findDevice(id);
    if (device->attached) return;
    device->attached = true;
    sendInterfaceEvent(lock, DBT_DEVICEARRIVAL, broadcastPathOf(*device));
}

void detachHid(DeviceId id) {
    detail::MachineLock lock;
    std::shared_ptr<HidDeviceRecord> device = findDevice(id);
    if (!device->attached) return;
    device->attached = false;
    failDeviceIo(*device);
    for (const auto& file : openFilesOf(*device))
        file->reports.clear();
    sendHandleEvents(lock, DBT_DEVICEREMOVECOMPLETE, *device);
    sendInterfaceEvent(lock, DBT_DEVICEREMOVECOMPLETE, broadcastPathOf(*device));
}

std::string interfacePath(DeviceId id) {
    detail::MachineLock lock;
    return findDevice(id)->path;
}

std::string broadcastPath(DeviceId id) {
    detail::MachineLock lock;
    return broadcastPathOf(*findDevice(id));
}

void pushInputReport(DeviceId id, const Bytes& report) {
    detail::MachineLock lock;
    std::shared_ptr<HidDeviceRecord> device = findDevice(id);
    if (!device->attached) return;
    Bytes padded = report;
    padded.resize(device->description.inputReportLength, 0);
    deliverReport(*device, padded);
}

void setReadsAlwaysPend(bool always) {
    detail::MachineLock lock;
    setReadsPend(always);
}

void setHidFaults(DeviceId id, const HidFaults& faults) {
    detail::MachineLock lock;
    findDevice(id)->faults = faults;
}

void setWriteBehaviour(DeviceId id, const WriteBehaviour& behaviour) {
    detail::MachineLock lock;
    findDevice(id)->writeBehaviour = behaviour;
}

int releaseWrites(DeviceId id) {
    detail::MachineLock lock;
    return completePendingWrites(*findDevice(id));
}

std::vector<Bytes> writtenReports(DeviceId id) {
    detail::MachineLock lock;
    return findDevice(id)->written;
}

std::vector<Bytes> reportsRead(DeviceId id) {
    detail::MachineLock lock;
    return findDevice(id)->read;
}

HidStats hidStats(DeviceId id) {
    detail::MachineLock lock;
    std::shared_ptr<HidDeviceRecord> device = findDevice(id);
    HidStats stats;
    stats.attached = device->attached;
    for (const auto& file : openFilesOf(*device)) {
        ++stats.openHandles;
        stats.queuedReports += static_cast<int>(file->reports.size());
    }
    stats.pendingReads = countPendingIo(*device, false);
    stats.pendingWrites = countPendingIo(*device, true);
    stats.readsIssued = device->readsIssued;
    stats.writesIssued = device->writesIssued;
    stats.readTimes = device->readTimes;
    return stats;
}

GUID hidInterfaceGuid() {
    return detail::hidGuid();
}

}  // namespace winsim
