// CreateFileA on HID interface paths, and the overlapped ReadFile/WriteFile that the HID class
// driver offers on them.
//
// A pending transfer is a record holding the caller's buffer and OVERLAPPED. Its completion (a
// report pushed, a write released, a detach, a cancel, the handle closed) writes the bytes into
// the caller's buffer, fills the OVERLAPPED's status and count, sets its event, and wakes the
// waiters. The copy happens at completion, so a buffer or OVERLAPPED freed too early is a
// use after free that AddressSanitizer reports at once.
#include <algorithm>
#include <cstring>
#include <list>

#include "devices_internal.h"

namespace winsim::detail {

namespace {

// NTSTATUS values kept in OVERLAPPED.Internal.
const ULONG_PTR kStatusSuccess = 0;
const ULONG_PTR kStatusPending = STATUS_PENDING;
const ULONG_PTR kStatusCancelled = 0xC0000120;
const ULONG_PTR kStatusDeviceNotConnected = 0xC000009D;

ULONG_PTR statusFromError(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return kStatusSuccess;
        case ERROR_OPERATION_ABORTED:
            return kStatusCancelled;
        case ERROR_DEVICE_NOT_CONNECTED:
            return kStatusDeviceNotConnected;
        default:
            return 0xC0070000u | (error & 0xFFFFu);
    }
}

DWORD errorFromStatus(ULONG_PTR status) {
    switch (status) {
        case kStatusSuccess:
            return ERROR_SUCCESS;
        case kStatusCancelled:
            return ERROR_OPERATION_ABORTED;
        case kStatusDeviceNotConnected:
            return ERROR_DEVICE_NOT_CONNECTED;
        default:
            return static_cast<DWORD>(status & 0xFFFFu);
    }
}

struct Transfer {
    bool write = false;
    std::shared_ptr<DeviceFile> file;
    DWORD issuer = 0;  // the thread that issued it, for CancelIo
    void* buffer = nullptr;
    DWORD length = 0;
    LPOVERLAPPED overlapped = nullptr;
    HANDLE event = nullptr;
    bool done = false;
    DWORD error = 0;
    DWORD bytes = 0;
};

std::list<std::shared_ptr<Transfer>>& pending() {
    static auto* list = new std::list<std::shared_ptr<Transfer>>;
    return *list;
}

bool alwaysPend = false;

// Ends a transfer: data into the caller's buffer, status into the OVERLAPPED, event set.
void complete(const std::shared_ptr<Transfer>& transfer, DWORD error, DWORD bytes,
              const Bytes* data) {
    if (data != nullptr) {  // only reads complete with data
        memcpy(transfer->buffer, data->data(), std::min<size_t>(data->size(), transfer->length));
        transfer->file->device->read.push_back(*data);
        probeReadCompleted(transfer->issuer);
    }
    transfer->done = true;
    transfer->error = error;
    transfer->bytes = bytes;
    hbRelease(transfer.get());
    if (transfer->overlapped != nullptr) {
        transfer->overlapped->Internal = statusFromError(error);
        transfer->overlapped->InternalHigh = bytes;
        hbRelease(transfer->overlapped);
    }
    setEventState(transfer->event, true);
    hbRelease(transfer->file.get());
    transfer->file->ioSignalled = true;
    pending().remove(transfer);
    std::shared_ptr<KernelObject> event =
        transfer->event != nullptr ? peekHandle(transfer->event) : nullptr;
    notifyObjectsChanged({event.get(), transfer->file.get()});
}

void completeWrite(const std::shared_ptr<Transfer>& transfer) {
    HidDeviceRecord& device = *transfer->file->device;
    const WriteBehaviour& behaviour = device.writeBehaviour;
    if (behaviour.error != 0) {
        complete(transfer, behaviour.error, 0, nullptr);
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(transfer->buffer);
    device.written.emplace_back(bytes, bytes + transfer->length);
    DWORD count = behaviour.bytes < 0
                      ? transfer->length
                      : std::min<DWORD>(static_cast<DWORD>(behaviour.bytes), transfer->length);
    complete(transfer, ERROR_SUCCESS, count, nullptr);
}

// Ends every pending transfer that `select` picks with `error`.
template <typename Select>
void failAll(Select select, DWORD error) {
    std::vector<std::shared_ptr<Transfer>> victims;
    for (const auto& transfer : pending()) {
        if (select(*transfer)) victims.push_back(transfer);
    }
    for (const auto& transfer : victims)
        complete(transfer, error, 0, nullptr);
}

// Starts a transfer on `file`. Returns what ReadFile/WriteFile return; `finishNow` runs the
// transfer at once when it can complete without waiting.
BOOL startTransfer(MachineLock& lock, const std::shared_ptr<Transfer>& transfer,
                   LPDWORD transferred, bool canFinishNow,
                   void (*finishNow)(const std::shared_ptr<Transfer>&)) {
    DeviceFile& file = *transfer->file;
    if (transfer->overlapped != nullptr) {
        transfer->overlapped->Internal = kStatusPending;
        transfer->overlapped->InternalHigh = 0;
        transfer->event = transfer->overlapped->hEvent;
        setEventState(transfer->event, false);
    }
    file.ioSignalled = false;
    pending().push_back(transfer);
    if (canFinishNow) finishNow(transfer);

    if (!file.overlapped) {
        // A handle opened without FILE_FLAG_OVERLAPPED: the call waits for its transfer.
        while (!transfer->done)
            lock.wait();
        hbAcquire(transfer.get());
        if (transferred != nullptr) *transferred = transfer->bytes;
        if (transfer->error != ERROR_SUCCESS) {
            setError(transfer->error);
            return FALSE;
        }
        return TRUE;
    }
    if (transfer->done && transfer->error == ERROR_SUCCESS && !(alwaysPend && !transfer->write)) {
        if (transferred != nullptr) *transferred = transfer->bytes;
        return TRUE;
    }
    setError(ERROR_IO_PENDING);
    return FALSE;
}

// Common checks of ReadFile and WriteFile; returns the open handle or null with the error set.
std::shared_ptr<DeviceFile> fileForTransfer(HANDLE handle, DWORD access, LPOVERLAPPED overlapped) {
    auto file = lookupHandle<DeviceFile>(handle, ObjectKind::Device);
    if (!file) return nullptr;
    if ((file->access & access) == 0) {
        setError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (file->overlapped && overlapped == nullptr) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!file->device->attached) {
        setError(ERROR_DEVICE_NOT_CONNECTED);
        return nullptr;
    }
    return file;
}

bool sharingAllows(const DeviceFile& open, DWORD access, DWORD share) {
    bool wantsRead = (access & GENERIC_READ) != 0;
    bool wantsWrite = (access & GENERIC_WRITE) != 0;
    bool hasRead = (open.access & GENERIC_READ) != 0;
    bool hasWrite = (open.access & GENERIC_WRITE) != 0;
    if (wantsRead && !(open.share & FILE_SHARE_READ)) return false;
    if (wantsWrite && !(open.share & FILE_SHARE_WRITE)) return false;
    if (hasRead && !(share & FILE_SHARE_READ)) return false;
    if (hasWrite && !(share & FILE_SHARE_WRITE)) return false;
    return true;
}

}  // namespace

void DeviceFile::handleClosed() {
    failAll([this](const Transfer& t) { return t.file.get() == this; }, ERROR_OPERATION_ABORTED);
}

void deliverReport(HidDeviceRecord& device, const Bytes& report) {
    for (const auto& file : openFilesOf(device)) {
        std::shared_ptr<Transfer> reader;
        for (const auto& transfer : pending()) {
            if (!transfer->write && transfer->file == file) {
                reader = transfer;
                break;
            }
        }
        if (reader) {
            complete(reader, ERROR_SUCCESS, static_cast<DWORD>(report.size()), &report);
            continue;
        }
        // The class driver keeps 32 reports per handle and drops the oldest.
        if (file->reports.size() == 32) file->reports.pop_front();
        file->reports.push_back(report);
    }
}

void failDeviceIo(const HidDeviceRecord& device) {
    failAll([&](const Transfer& t) { return t.file->device.get() == &device; },
            ERROR_DEVICE_NOT_CONNECTED);
}

int completePendingWrites(const HidDeviceRecord& device) {
    std::vector<std::shared_ptr<Transfer>> writes;
    for (const auto& transfer : pending()) {
        if (transfer->write && transfer->file->device.get() == &device) writes.push_back(transfer);
    }
    for (const auto& transfer : writes)
        completeWrite(transfer);
    return static_cast<int>(writes.size());
}

int countPendingIo() {
    return static_cast<int>(pending().size());
}

int countPendingIo(const HidDeviceRecord& device, bool writes) {
    int count = 0;
    for (const auto& transfer : pending()) {
        if (transfer->write == writes && transfer->file->device.get() == &device) ++count;
    }
    return count;
}

void setReadsPend(bool always) {
    alwaysPend = always;
}

}  // namespace winsim::detail

using namespace winsim::detail;
using winsim::Bytes;
using winsim::WriteBehaviour;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE) {
    MachineLock lock;
    if (lpFileName == nullptr) {
        setError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<HidDeviceRecord> device = findAttachedDevice(lpFileName);
    if (!device) {
        setError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (device->faults.openError != 0) {
        setError(device->faults.openError);
        return INVALID_HANDLE_VALUE;
    }
    // A device can only be opened, not created or truncated.
    if (dwCreationDisposition != OPEN_EXISTING) {
        setError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if ((dwDesiredAccess & (GENERIC_READ | GENERIC_WRITE)) != 0 && !device->description.readWrite) {
        setError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    for (const auto& open : openFilesOf(*device)) {
        if (!sharingAllows(*open, dwDesiredAccess, dwShareMode)) {
            setError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    }
    auto file = std::make_shared<DeviceFile>();
    file->device = device;
    file->access = dwDesiredAccess;
    file->share = dwShareMode;
    file->overlapped = (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
    setError(ERROR_SUCCESS);
    return addHandle(file);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    MachineLock lock;
    if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
    std::shared_ptr<DeviceFile> file = fileForTransfer(hFile, GENERIC_READ, lpOverlapped);
    if (!file) return FALSE;
    HidDeviceRecord& device = *file->device;
    if (device.description.inputReportLength == 0) {
        setError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (lpBuffer == nullptr || nNumberOfBytesToRead < device.description.inputReportLength) {
        setError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    ++device.readsIssued;
    device.readTimes.push_back(GetTickCount());
    auto transfer = std::make_shared<Transfer>();
    transfer->file = file;
    transfer->issuer = currentThread()->id;
    transfer->buffer = lpBuffer;
    transfer->length = nNumberOfBytesToRead;
    transfer->overlapped = lpOverlapped;
    bool reportQueued = !file->reports.empty();
    return startTransfer(lock, transfer, lpNumberOfBytesRead, reportQueued,
                         [](const std::shared_ptr<Transfer>& t) {
                             Bytes report = std::move(t->file->reports.front());
                             t->file->reports.pop_front();
                             complete(t, ERROR_SUCCESS, static_cast<DWORD>(report.size()), &report);
                         });
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    MachineLock lock;
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
    std::shared_ptr<DeviceFile> file = fileForTransfer(hFile, GENERIC_WRITE, lpOverlapped);
    if (!file) return FALSE;
    HidDeviceRecord& device = *file->device;
    if (device.description.outputReportLength == 0) {
        setError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    // The class driver takes exactly one output report per write.
    if (lpBuffer == nullptr || nNumberOfBytesToWrite != device.description.outputReportLength) {
        setError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    ++device.writesIssued;
    const WriteBehaviour& behaviour = device.writeBehaviour;
    if (!behaviour.pend && behaviour.error != 0) {
        setError(behaviour.error);
        return FALSE;
    }
    auto transfer = std::make_shared<Transfer>();
    transfer->write = true;
    transfer->file = file;
    transfer->issuer = currentThread()->id;
    transfer->buffer = const_cast<LPVOID>(lpBuffer);
    transfer->length = nNumberOfBytesToWrite;
    transfer->overlapped = lpOverlapped;
    return startTransfer(lock, transfer, lpNumberOfBytesWritten, !behaviour.pend, completeWrite);
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
    MachineLock lock;
    if (!lookupHandle<DeviceFile>(hFile, ObjectKind::Device)) return FALSE;
    if (lpOverlapped == nullptr) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpOverlapped->Internal == kStatusPending) {
        if (!bWait) {
            setError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        // As on the platform: wait on the transfer's event, or on the handle without one.
        HANDLE waitOn = lpOverlapped->hEvent != nullptr ? lpOverlapped->hEvent : hFile;
        if (waitForObjectLocked(lock, waitOn, INFINITE) == WAIT_FAILED) return FALSE;
        while (lpOverlapped->Internal == kStatusPending)
            lock.wait();
    }
    hbAcquire(lpOverlapped);
    if (lpNumberOfBytesTransferred != nullptr) {
        *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    }
    DWORD error = errorFromStatus(lpOverlapped->Internal);
    if (error != ERROR_SUCCESS) {
        setError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CancelIo(HANDLE hFile) {
    MachineLock lock;
    auto file = lookupHandle<DeviceFile>(hFile, ObjectKind::Device);
    if (!file) return FALSE;
    // The 98/2000 meaning: only the I/O that the calling thread issued on this handle.
    DWORD caller = currentThread()->id;
    failAll(
        [&](const Transfer& t) {
            return t.file == file && t.issuer == caller && !file->device->faults.ignoreCancel;
        },
        ERROR_OPERATION_ABORTED);
    return TRUE;
}

}  // extern "C"
