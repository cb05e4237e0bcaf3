// winsim internals of the simulated HID collections and their I/O.
#pragma once

#include "core.h"
#include "winsim/hid.h"

namespace winsim::detail {

struct HidDeviceRecord {
    DeviceId id = 0;
    HidCollection description;
    std::string path;  // as device-set listings spell it
    bool attached = false;
    HidFaults faults;
    WriteBehaviour writeBehaviour;
    std::vector<Bytes> written;
    std::vector<Bytes> read;  // the reports that completed a read, in completion order
    int readsIssued = 0;
    int writesIssued = 0;
    std::vector<DWORD> readTimes;
};

// An open handle on a collection. Each keeps its own queue of input reports.
struct DeviceFile : KernelObject {
    DeviceFile() : KernelObject(ObjectKind::Device) {}
    bool waitable() const override { return true; }
    bool signalled(const ThreadRecord&) const override { return ioSignalled; }
    void handleClosed() override;  // device_io.cpp: the handle's pending I/O is cancelled

    std::shared_ptr<HidDeviceRecord> device;
    DWORD access = 0;
    DWORD share = 0;
    bool overlapped = false;
    bool ioSignalled = false;  // set when an I/O on the handle completes
    std::deque<Bytes> reports;
};

// The HID interface class GUID.
const GUID& hidGuid();
bool sameGuid(const GUID& a, const GUID& b);

// Collections in attach order.
std::vector<std::shared_ptr<HidDeviceRecord>> allDevices();
// An attached collection whose path equals `path` (letter case ignored), or null.
std::shared_ptr<HidDeviceRecord> findAttachedDevice(const std::string& path);
// The collection behind an open handle, or null.
std::shared_ptr<HidDeviceRecord> deviceOfHandle(HANDLE handle);
// The open handles of a collection.
std::vector<std::shared_ptr<DeviceFile>> openFilesOf(const HidDeviceRecord& device);
std::string broadcastPathOf(const HidDeviceRecord& device);

// ---- device I/O (device_io.cpp) ----

// A report arrived: it completes the oldest pending read of each open handle, or waits in the
// handle's queue.
void deliverReport(HidDeviceRecord& device, const Bytes& report);
// Ends every pending read and write of the collection with ERROR_DEVICE_NOT_CONNECTED.
void failDeviceIo(const HidDeviceRecord& device);
// Completes the collection's pending writes as its write behaviour says.
int completePendingWrites(const HidDeviceRecord& device);
int countPendingIo();
int countPendingIo(const HidDeviceRecord& device, bool writes);
void setReadsPend(bool always);

// ---- broadcasts (device_notifications.cpp) ----

// WM_DEVICECHANGE with a device-interface record, sent from the calling thread to every window
// registered for the HID interface class.
void sendInterfaceEvent(MachineLock& lock, WPARAM event, const std::string& name);
// WM_DEVICECHANGE with a handle record, sent to every window registered for a handle of the
// collection.
void sendHandleEvents(MachineLock& lock, WPARAM event, const HidDeviceRecord& device);
int countNotifications();

// ---- preparsed data and device sets ----
int countPreparsedData();
int countDeviceInfoSets();

}  // namespace winsim::detail
