// winsim control API: simulated HID collections.
//
// A collection is described as data and attached to the machine. Attaching announces the new
// interface to every window registered for the HID interface class; detaching ends its I/O, then
// announces the removal. Every handle opened on a collection keeps its own queue of input
// reports, as the HID class driver does, so a pushed report reaches every open handle.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

using Bytes = std::vector<uint8_t>;

struct HidCollection {
    USHORT vendorId = 0;
    USHORT productId = 0;
    USHORT version = 0;
    USHORT usagePage = 0;
    USHORT usage = 0;
    USHORT inputReportLength = 0;
    USHORT outputReportLength = 0;
    USHORT featureReportLength = 0;
    // False for collections that the system keeps for itself (keyboards, mice): an open that
    // asks for reading or writing then fails with ERROR_ACCESS_DENIED.
    bool readWrite = true;
    // Parts of the interface path: "&mi_NN" when interfaceNumber >= 0, "&colNN" when
    // collection > 0.
    int interfaceNumber = -1;
    int collection = 0;
};

// Failures of one collection's calls, until changed.
struct HidFaults {
    DWORD openError = 0;  // CreateFileA fails with this error
    bool preparsedData = false;
    bool attributes = false;
    bool caps = false;
    bool freePreparsedData = false;  // HidD_FreePreparsedData fails and keeps the block
    // CancelIo leaves the collection's transfers pending, as a driver that does not honour
    // cancellation does; they still end on detach or when their handle is closed.
    bool ignoreCancel = false;
};

// How writes to a collection end.
struct WriteBehaviour {
    bool pend = false;  // pend until releaseWrites()
    int bytes = -1;     // bytes reported as written; -1 for the whole report
    DWORD error = 0;    // fail with this error (at once, or on release when pending)
};

struct HidStats {
    bool attached = false;
    int openHandles = 0;
    int queuedReports = 0;  // reports waiting in the queues of the open handles, all together
    int pendingReads = 0;
    int pendingWrites = 0;
    int readsIssued = 0;           // ReadFile calls accepted
    int writesIssued = 0;          // WriteFile calls accepted
    std::vector<DWORD> readTimes;  // GetTickCount() at each accepted ReadFile
};

using DeviceId = int;

// Attaches a new collection with a path of its own and sends its arrival. Returns its id.
WINSIM_API DeviceId attachHid(const HidCollection& collection);
// Attaches again a collection that was detached, under the same path.
WINSIM_API void reattachHid(DeviceId id);
// Ends the collection's I/O with ERROR_DEVICE_NOT_CONNECTED, then sends the handle removals
// and the interface removal.
WINSIM_API void detachHid(DeviceId id);
// The interface path, as SetupDiGetDeviceInterfaceDetailA reports it.
WINSIM_API std::string interfacePath(DeviceId id);
// The interface path as the arrival broadcast spells it (the platform's broadcasts and its
// device-set listings differ in letter case).
WINSIM_API std::string broadcastPath(DeviceId id);

// Queues an input report on every open handle (zero-padded to the input report length),
// completing a pending read where there is one. A queue holds 32 reports and drops the oldest.
WINSIM_API void pushInputReport(DeviceId id, const Bytes& report);
// Every read pends, even when a report is queued (it completes at once but reports
// ERROR_IO_PENDING), so that both paths of a reader are exercised.
WINSIM_API void setReadsAlwaysPend(bool always);

WINSIM_API void setHidFaults(DeviceId id, const HidFaults& faults);
WINSIM_API void setWriteBehaviour(DeviceId id, const WriteBehaviour& behaviour);
// Completes every pending write as the write behaviour says; returns how many.
WINSIM_API int releaseWrites(DeviceId id);
// The reports written to the collection, in completion order.
WINSIM_API std::vector<Bytes> writtenReports(DeviceId id);
// The input reports that completed a read on any handle of the collection, in completion order
// (padded to the input report length): what a reader got, whether or not it looked at it.
WINSIM_API std::vector<Bytes> reportsRead(DeviceId id);

WINSIM_API HidStats hidStats(DeviceId id);

// The HID interface class GUID.
WINSIM_API GUID hidInterfaceGuid();

}  // namespace winsim
