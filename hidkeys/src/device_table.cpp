// The device table: entries from their claim to their release, device ids, and the removal of
// devices. Every list and every entry's references are changed under tableLock only.
#include <string.h>

#include "library_state.h"

static void linkAtTail(ListLinks* head, DeviceEntry* entry) {
    entry->links.prev = head->prev;
    entry->links.next = head;
    head->prev->next = &entry->links;
    head->prev = &entry->links;
}

static void unlink(DeviceEntry* entry) {
    entry->links.prev->next = entry->links.next;
    entry->links.next->prev = entry->links.prev;
    entry->links.next = &entry->links;
    entry->links.prev = &entry->links;
}

// Interface paths are ASCII; the platform's listings and broadcasts differ in letter case.
static bool samePath(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = (*a >= 'a' && *a <= 'z') ? (char)(*a - 'a' + 'A') : *a;
        char y = (*b >= 'a' && *b <= 'z') ? (char)(*b - 'a' + 'A') : *b;
        if (x != y) return false;
        if (x == 0) return true;
    }
}

// Whether an entry of the list holds `path`; with `currentOnly`, only an entry claimed since the
// table was last emptied counts.
static bool listHoldsPath(ListLinks* head, const char* path, bool currentOnly) {
    for (ListLinks* at = head->next; at != head; at = at->next) {
        DeviceEntry* entry = entryOf(at);
        if (currentOnly && entry->claimGeneration != state.tableGeneration) continue;
        if (samePath(entry->interfacePath, path)) return true;
    }
    return false;
}

// Puts the entry in the pending list unless its interface is already open or being added. An
// entry claimed before the table was last emptied (a suspend or a close came during its arrival
// notice) will not be entered and does not hold its interface.
static bool claimInterface(DeviceEntry* entry) {
    EnterCriticalSection(&state.tableLock);
    bool available = !listHoldsPath(&state.deviceTable, entry->interfacePath, false) &&
                     !listHoldsPath(&state.pendingEntries, entry->interfacePath, true);
    if (available) {
        entry->claimGeneration = state.tableGeneration;
        entry->claimSuspendCount = state.suspendCount;
        linkAtTail(&state.pendingEntries, entry);
    }
    LeaveCriticalSection(&state.tableLock);
    return available;
}

static void freeEntry(DeviceEntry* entry) {
    if (entry->stopEvent != 0) CloseHandle(entry->stopEvent);
    DeleteCriticalSection(&entry->writeLock);
    heapFree(entry);
}

// Gives up an entry that never reached the table (claimed, opened or not).
static void discardEntry(DeviceEntry* entry) {
    EnterCriticalSection(&state.tableLock);
    unlink(entry);
    LeaveCriticalSection(&state.tableLock);
    if (entry->device.deviceHandle != 0) releaseHidDevice(&entry->device);
    freeEntry(entry);
}

DeviceEntry* openDeviceEntry(const char* path, bool* outOfMemory) {
    size_t length = strlen(path);
    DeviceEntry* entry =
        (DeviceEntry*)heapCalloc(sizeof(DeviceEntry) + length, AllocationDeviceEntry);
    *outOfMemory = entry == 0;
    if (entry == 0) return 0;
    memcpy(entry->interfacePath, path, length + 1);
    entry->links.next = entry->links.prev = &entry->links;
    entry->references = 1;
    InitializeCriticalSection(&entry->writeLock);
    if (!claimInterface(entry)) {
        freeEntry(entry);
        return 0;
    }
    if (!openHidDevice(path, &entry->device)) {
        discardEntry(entry);
        return 0;
    }
    return entry;
}

// Has the notification thread undo the entry's handle registration. Once the NotifyWindow is
// gone (an entry overtaken by the close) nothing would take the message, so it is undone here.
static void unregisterHandleNotification(DeviceEntry* entry) {
    if (entry->handleNotification == 0) return;
    if (!PostMessageA(state.notifyWindow, UnregisterNotifyMessage, 0,
                      (LPARAM)entry->handleNotification)) {
        UnregisterDeviceNotification(entry->handleNotification);
    }
    entry->handleNotification = 0;
}

// removeDevice's steps, with the notice when `notify` holds.
static void takeOut(DeviceEntry* entry, bool notify);

int addDevice(DeviceEntry* entry) {
    entry->handleNotification = 0;
    EnterCriticalSection(&state.tableLock);
    entry->watchedHandle = entry->device.deviceHandle;
    LeaveCriticalSection(&state.tableLock);
    DEV_BROADCAST_HANDLE filter;
    memset(&filter, 0, sizeof filter);
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = entry->device.deviceHandle;
    entry->handleNotification =
        RegisterDeviceNotificationA(state.notifyWindow, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (entry->handleNotification == 0) {
        discardEntry(entry);
        return 0;
    }
    // A device unplugged since it was opened sent its handle removal before anyone listened for
    // it; a query on the handle finds it gone, and the entry goes as if the removal had come now.
    HIDD_ATTRIBUTES attributes;
    if (!HidD_GetAttributes(entry->device.deviceHandle, &attributes)) {
        EnterCriticalSection(&state.tableLock);
        entry->unplugged = 1;
        LeaveCriticalSection(&state.tableLock);
    }

    entry->stopEvent = CreateEventA(0, TRUE, FALSE, 0);
    if (entry->stopEvent != 0) {
        entry->readerThreadHandle =
            CreateThread(0, 0, readerThread, entry, 0, &entry->readerThreadId);
    }
    if (entry->readerThreadHandle == 0) {
        unregisterHandleNotification(entry);
        discardEntry(entry);
        return 0;
    }

    EnterCriticalSection(&state.tableLock);
    entry->deviceId = (WORD)state.nextDeviceId;
    ++state.nextDeviceId;
    LeaveCriticalSection(&state.tableLock);

    // The notice goes out before the entry is in the table: while the host handles it,
    // findDeviceById does not find the new device yet. Other broadcasts can be handled in the
    // meantime: a suspend or a close that empties the table, or the device's own removal.
    if (!loadShared(state.quietRemoval)) {
        sendDeviceNotice(NoticeArrived, entry->deviceId, entry->device.attributes.VendorID,
                         entry->device.attributes.ProductID);
    }

    EnterCriticalSection(&state.tableLock);
    bool overtaken = entry->unplugged || state.tableGeneration != entry->claimGeneration;
    bool suspended = state.suspendCount != entry->claimSuspendCount;
    unlink(entry);
    if (!overtaken) linkAtTail(&state.deviceTable, entry);
    LeaveCriticalSection(&state.tableLock);
    // The entry was added and goes again at once, as if it had been in the table: without a
    // notice when a suspend came, which takes every device away without one.
    if (overtaken) takeOut(entry, !suspended && !loadShared(state.quietRemoval));
    return 1;
}

// Takes the first entry out of a list; null when the list is empty.
static DeviceEntry* takeFirst(ListLinks* head) {
    EnterCriticalSection(&state.tableLock);
    DeviceEntry* entry = 0;
    if (head->next != head) {
        entry = entryOf(head->next);
        unlink(entry);
    }
    LeaveCriticalSection(&state.tableLock);
    return entry;
}

static void sendRemovalNotice(const DeviceEntry* entry) {
    sendDeviceNotice(NoticeRemoved, entry->deviceId, entry->device.attributes.VendorID,
                     entry->device.attributes.ProductID);
}

// Drops the table's reference of an entry whose reader has been told to stop. A reader that
// did not end keeps its device and memory until it has.
static void finishRemoval(DeviceEntry* entry, bool readerEnded) {
    if (readerEnded) {
        releaseEntry(entry);
        return;
    }
    EnterCriticalSection(&state.tableLock);
    linkAtTail(&state.abandonedEntries, entry);
    LeaveCriticalSection(&state.tableLock);
}

static void takeOut(DeviceEntry* entry, bool notify) {
    unregisterHandleNotification(entry);
    if (notify) sendRemovalNotice(entry);
    finishRemoval(entry, stopReader(entry) != 0);
}

void removeDevice(DeviceEntry* entry) {
    takeOut(entry, !loadShared(state.quietRemoval));
}

void removeUnpluggedDevice(DeviceEntry* entry) {
    bool readerEnded = stopReader(entry) != 0;
    unregisterHandleNotification(entry);
    sendRemovalNotice(entry);
    finishRemoval(entry, readerEnded);
}

void countSuspend() {
    EnterCriticalSection(&state.tableLock);
    ++state.suspendCount;
    LeaveCriticalSection(&state.tableLock);
}

void removeAllDevices() {
    EnterCriticalSection(&state.tableLock);
    ++state.tableGeneration;
    LeaveCriticalSection(&state.tableLock);
    for (DeviceEntry* entry = takeFirst(&state.deviceTable); entry != 0;
         entry = takeFirst(&state.deviceTable)) {
        removeDevice(entry);
    }
}

DeviceEntry* takeDeviceByHandle(HANDLE handle) {
    if (handle == 0) return 0;
    EnterCriticalSection(&state.tableLock);
    DeviceEntry* found = 0;
    for (ListLinks* at = state.deviceTable.next; at != &state.deviceTable; at = at->next) {
        if (entryOf(at)->watchedHandle == handle) {
            found = entryOf(at);
            unlink(found);
            break;
        }
    }
    if (found == 0) {
        for (ListLinks* at = state.pendingEntries.next; at != &state.pendingEntries;
             at = at->next) {
            if (entryOf(at)->watchedHandle == handle) entryOf(at)->unplugged = 1;
        }
    }
    LeaveCriticalSection(&state.tableLock);
    return found;
}

void releaseAbandonedEntries() {
    // Each reader is looked at without the lock; those still running go back to the list.
    ListLinks running = {&running, &running};
    for (DeviceEntry* entry = takeFirst(&state.abandonedEntries); entry != 0;
         entry = takeFirst(&state.abandonedEntries)) {
        if (stopReader(entry, 0)) {
            releaseEntry(entry);
        } else {
            linkAtTail(&running, entry);
        }
    }
    EnterCriticalSection(&state.tableLock);
    while (running.next != &running) {
        DeviceEntry* entry = entryOf(running.next);
        unlink(entry);
        linkAtTail(&state.abandonedEntries, entry);
    }
    LeaveCriticalSection(&state.tableLock);
}

DeviceEntry* findDeviceById(DWORD id) {
    EnterCriticalSection(&state.tableLock);
    DeviceEntry* found = 0;
    for (ListLinks* at = state.deviceTable.next; at != &state.deviceTable; at = at->next) {
        if ((DWORD)entryOf(at)->deviceId == id) {
            found = entryOf(at);
            ++found->references;
            break;
        }
    }
    LeaveCriticalSection(&state.tableLock);
    return found;
}

void releaseEntry(DeviceEntry* entry) {
    EnterCriticalSection(&state.tableLock);
    bool last = --entry->references == 0;
    LeaveCriticalSection(&state.tableLock);
    if (!last) return;
    releaseHidDevice(&entry->device);
    freeEntry(entry);
}

void resetDeviceIds() {
    EnterCriticalSection(&state.tableLock);
    state.nextDeviceId = 1;
    LeaveCriticalSection(&state.tableLock);
}
