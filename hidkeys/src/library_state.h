// hidkeys internals: the library's records and the operations that its files share.
//
// Threads
//   - the host's threads: the three exports. BUK_Open and BUK_Close come from one host thread at
//     a time; BUK_Control may come from any thread at any time;
//   - the notification thread: owns the NotifyWindow and handles everything sent or posted to it;
//   - one reader thread per device: reads input reports and posts key messages.
//
// Locks. Nested only in this order:
//   1. DeviceEntry::writeLock  one BUK_Control at a time per device, from filling the output
//                              buffer until the write is over;
//   2. LibraryState::ioLock    held only while a ReadFile or WriteFile is issued.
// Taken alone, never while another lock is held and never nesting another:
//   LibraryState::tableLock    the device table, the pending list, the abandoned list, every
//                              entry's links, references, watchedHandle, unplugged mark and
//                              claim counts, nextDeviceId, tableGeneration, suspendCount;
//   LibraryState::startLock    the hand-over between openLibrary and a starting notification
//                              thread (startingThreadId, notifyWindow, the ready signal).
// No lock is held while a notice is sent, a key message posted, or a thread waited for.
//
// Fields that threads share without a lock (the host's window and message numbers, the power
// flags, lastKeyCode, notifyThread) are read and written with the atomic helpers below.
#pragma once

#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}
#include <stddef.h>

#include "hidkeys.h"

#ifdef _WIN32
#define HIDKEYS_EXPORT  // the .def file names the exports
#else
#define HIDKEYS_EXPORT __attribute__((visibility("default")))
#endif

// ---- shared fields ---------------------------------------------------------------------------

template <typename T>
inline T loadShared(const T& field) {
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}
template <typename T>
inline void storeShared(T& field, T value) {
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}
template <typename T>
inline T exchangeShared(T& field, T value) {
    return __atomic_exchange_n(&field, value, __ATOMIC_ACQ_REL);
}

// ---- records ---------------------------------------------------------------------------------

// The HID side of one opened keyboard collection. It owns its handle, its preparsed data and its
// report buffers; releaseHidDevice gives them all back.
struct HidDevice {
    HANDLE deviceHandle;  // opened for overlapped reading and writing; 0 when not open
    PHIDP_PREPARSED_DATA preparsedData;
    HIDP_CAPS caps;
    HIDD_ATTRIBUTES attributes;
    BYTE* inputReportBuffer;   // caps.InputReportByteLength bytes, or null when that is 0
    BYTE* outputReportBuffer;  // caps.OutputReportByteLength bytes, or null when that is 0
};

// Links of a circular doubly linked list with a sentinel head. An entry's links come first, so
// a list walk can turn links into their entry.
struct ListLinks {
    ListLinks* next;
    ListLinks* prev;
};

// One opened device. From a successful addDevice on, the table owns it.
struct DeviceEntry {
    ListLinks links;  // in the pending list while being added, then in the device table
    WORD deviceId;
    HidDevice device;
    HDEVNOTIFY handleNotification;  // the NotifyWindow's registration for device.deviceHandle
    HANDLE readerThreadHandle;      // null once the reader has been stopped
    DWORD readerThreadId;
    HANDLE stopEvent;  // manual reset; set to make the reader end
    // One reference for being in the table (or pending, or abandoned), one per BUK_Control
    // that uses the entry. Whoever drops the last one releases the device and frees the entry.
    LONG references;
    // device.deviceHandle, copied under tableLock when addDevice registers it: the handle that
    // removal broadcasts name. 0 until then.
    HANDLE watchedHandle;
    // Set when the device's handle removal comes while the entry is still being added: addDevice
    // then removes it as soon as its arrival notice is over.
    LONG unplugged;
    // tableGeneration and suspendCount when the interface was claimed. A claim made before the
    // table was last emptied no longer holds the interface: the entry is removed once its
    // arrival notice is over, and a walk after the reset opens the interface afresh.
    LONG claimGeneration;
    LONG claimSuspendCount;
    CRITICAL_SECTION writeLock;
    char interfacePath[1];  // the path the device was opened by; the block holds it whole
};

inline DeviceEntry* entryOf(ListLinks* links) {
    return reinterpret_cast<DeviceEntry*>(links);
}

// The library's one process-wide record.
struct LibraryState {
    HINSTANCE moduleInstance;
    HWND clientWindow;
    UINT keyMessageId;
    UINT noticeMessageId;
    HANDLE notifyThread;  // the library is open while this is not null
    HWND notifyWindow;
    HANDLE readyEvent;
    HDEVNOTIFY interfaceNotification;
    ListLinks deviceTable;
    LONG nextDeviceId;
    CRITICAL_SECTION ioLock;
    LONG suspended;
    LONG resuming;
    LONG quietRemoval;
    LONG lastKeyCode;

    CRITICAL_SECTION tableLock;
    // Entries between their claim and addDevice's end: a second open of their interface is
    // skipped while they are here or in the table.
    ListLinks pendingEntries;
    // Entries taken out of the table whose reader would not end: kept, never freed under a
    // running reader, and released once the reader has ended.
    ListLinks abandonedEntries;
    // Counts the times the whole table has been emptied (a suspend, a close). An entry whose
    // arrival notice was out when it happened is removed again instead of being entered.
    LONG tableGeneration;
    // Counts the suspends. An entry overtaken by one goes without a removal notice, as the
    // suspend's own removals do.
    LONG suspendCount;

    CRITICAL_SECTION startLock;
    DWORD startingThreadId;  // the notification thread that openLibrary still waits for
    // A notification thread whose window has been closed, or whose start was given up; the
    // host's next openLibrary or closeLibrary waits for it to end and closes its handle.
    HANDLE retiredNotifyThread;
};

extern LibraryState state;

// ---- constants -------------------------------------------------------------------------------

const char NotifyClassName[] = "Thread In DLL";
const UINT UnregisterNotifyMessage = WM_USER + 501;  // 1525: lParam is the HDEVNOTIFY to undo
const DWORD NotifyReadyTimeout = 2000;               // ms that openLibrary waits for the window
const DWORD ReadPause = 10;                          // ms a reader waits before each read
const DWORD ReaderStopTimeout = 2000;                // ms that stopReader waits for a reader
const USHORT KeyboardVendorId = 0x03F0;
const USHORT KeyboardProductId = 0x0122;
const USHORT ExtraKeysUsage = 1;

// ---- heap (heap.cpp) -------------------------------------------------------------------------

enum AllocationKind { AllocationDetailBlock, AllocationDeviceEntry, AllocationReportBuffer };
// Set by tests: returns nonzero to make the allocation fail.
typedef int (*AllocationHook)(int kind);
extern AllocationHook allocationHook;
// The blocks of heapAlloc and heapCalloc not yet given to heapFree.
extern LONG liveHeapBlocks;

void* heapAlloc(size_t size, AllocationKind kind);
void* heapCalloc(size_t size, AllocationKind kind);
// Frees a block of heapAlloc or heapCalloc; null is ignored.
void heapFree(void* block);

// ---- lifecycle (library_lifecycle.cpp, notify_window.cpp) ------------------------------------

bool isLibraryOpen();
int openLibrary();
void closeLibrary();
// Moves notifyThread to the retired slot: the library is no longer open.
void retireNotifyThread();
int registerInterfaceNotification(HDEVNOTIFY* where);
int unregisterInterfaceNotification(HDEVNOTIFY* where);
DWORD WINAPI notifyThreadMain(LPVOID parameter);
LRESULT CALLBACK notifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- broadcasts (device_change.cpp, power_events.cpp) ----------------------------------------

LRESULT onDeviceChange(WPARAM event, LPARAM record);
LRESULT onPowerBroadcast(WPARAM event, LPARAM data);
// Puts the power flags back to the running state, for a library that opens afresh.
void clearPowerFlags();

// ---- discovery (device_discovery.cpp, hid_device.cpp) ----------------------------------------

int enumerateDevices();
// Allocates an entry for `path`, claims the interface and opens it. Null when the interface is
// already open or being added, can't be opened, or isn't the extra-key collection; then
// *outOfMemory tells whether the entry itself could not be allocated.
DeviceEntry* openDeviceEntry(const char* path, bool* outOfMemory);
int openHidDevice(const char* path, HidDevice* device);
void allocReportBuffers(HidDevice* device);
int releaseHidDevice(HidDevice* device);

// ---- device table (device_table.cpp) ---------------------------------------------------------

int addDevice(DeviceEntry* entry);
// Removes an entry that has been taken out of the table.
void removeDevice(DeviceEntry* entry);
// removeDevice for every entry, oldest first. Entries still being added are removed by their
// addDevice once their arrival notice is over.
void removeAllDevices();
// Counts a suspend, before its removeAllDevices.
void countSuspend();
// Takes the entry that holds `handle` out of the table; null when none does. An entry still
// being added is marked unplugged instead.
DeviceEntry* takeDeviceByHandle(HANDLE handle);
// Removes an entry whose device has gone: stops its reader, then undoes its registration and
// tells the host, whatever quietRemoval holds.
void removeUnpluggedDevice(DeviceEntry* entry);
// Releases the entries whose readers have ended since they were abandoned.
void releaseAbandonedEntries();
// The entry with `id`, with a reference that the caller gives back with releaseEntry.
DeviceEntry* findDeviceById(DWORD id);
void releaseEntry(DeviceEntry* entry);
void resetDeviceIds();

void sendDeviceNotice(DWORD kind, WORD deviceId, WORD vendorId, WORD productId);

// ---- readers (reader_thread.cpp) -------------------------------------------------------------

extern const WORD keyCodeTable[6];
DWORD WINAPI readerThread(LPVOID parameter);
// One read; returns 0 when the reader was told to stop during it.
int readKeyReport(DeviceEntry* entry);
// Decodes one input report of `length` bytes; posts at most one key message.
void decodeKeyReport(const BYTE* report, DWORD length);
// 1 when the reader has ended (or there was none); 0 when it did not end within `timeout`.
int stopReader(DeviceEntry* entry, DWORD timeout = ReaderStopTimeout);
