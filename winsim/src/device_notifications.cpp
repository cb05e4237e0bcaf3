// RegisterDeviceNotificationA, UnregisterDeviceNotification, and the WM_DEVICECHANGE
// broadcasts that reach the registered windows.
//
// Broadcasts are sent from the thread that causes them (the test's), one window at a time, as
// the system sends them: a window of another thread handles the message in its own thread while
// the sender waits. A registration stays until it is undone, also when its window or its device
// handle goes; a handle registration keeps naming the handle value it was made for.
#include <dbt.h>

#include <cstring>

#include "devices_internal.h"
#include "user_internal.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

struct Registration {
    uintptr_t value = 0;
    HWND recipient = nullptr;
    bool forHandle = false;
    bool allClasses = false;
    GUID classGuid{};
    HANDLE handle = nullptr;
    std::shared_ptr<HidDeviceRecord> device;  // for handle registrations
};

// Ordered by handle value, that is by registration order.
std::map<uintptr_t, Registration>& registrations() {
    static auto* map = new std::map<uintptr_t, Registration>;
    return *map;
}

std::vector<Registration> snapshot() {
    std::vector<Registration> list;
    for (const auto& entry : registrations())
        list.push_back(entry.second);
    return list;
}

bool stillRegistered(const Registration& registration) {
    return registrations().count(registration.value) != 0;
}

}  // namespace

void sendInterfaceEvent(MachineLock& lock, WPARAM event, const std::string& name) {
    size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + name.size() + 1;
    for (const Registration& registration : snapshot()) {
        if (registration.forHandle || !stillRegistered(registration)) continue;
        if (!registration.allClasses && !sameGuid(registration.classGuid, hidGuid())) continue;
        std::vector<char> buffer(std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)), 0);
        auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buffer.data());
        record->dbcc_size = static_cast<DWORD>(size);
        record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        record->dbcc_classguid = hidGuid();
        memcpy(record->dbcc_name, name.c_str(), name.size() + 1);
        sendMessageLocked(lock, registration.recipient, WM_DEVICECHANGE, event,
                          reinterpret_cast<LPARAM>(record));
    }
}

void sendHandleEvents(MachineLock& lock, WPARAM event, const HidDeviceRecord& device) {
    for (const Registration& registration : snapshot()) {
        if (!registration.forHandle || registration.device.get() != &device) continue;
        if (!stillRegistered(registration)) continue;
        DEV_BROADCAST_HANDLE record{};
        record.dbch_size = sizeof record;
        record.dbch_devicetype = DBT_DEVTYP_HANDLE;
        record.dbch_handle = registration.handle;
        record.dbch_hdevnotify = toHandle<HDEVNOTIFY>(registration.value);
        sendMessageLocked(lock, registration.recipient, WM_DEVICECHANGE, event,
                          reinterpret_cast<LPARAM>(&record));
    }
}

int countNotifications() {
    return static_cast<int>(registrations().size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter,
                                              DWORD Flags) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::RegisterDeviceNotification, &error)) {
        setError(error);
        return nullptr;
    }
    // Only window recipients are modelled; services are not.
    if ((Flags & DEVICE_NOTIFY_SERVICE_HANDLE) != 0 || NotificationFilter == nullptr) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!findWindow(static_cast<HWND>(hRecipient))) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    Registration registration;
    registration.recipient = static_cast<HWND>(hRecipient);
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(NotificationFilter);
    switch (header->dbch_devicetype) {
        case DBT_DEVTYP_DEVICEINTERFACE: {
            const auto* filter =
                static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter);
            if (filter->dbcc_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)) {
                setError(ERROR_INVALID_DATA);
                return nullptr;
            }
            registration.allClasses = (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0;
            registration.classGuid = filter->dbcc_classguid;
            break;
        }
        case DBT_DEVTYP_HANDLE: {
            const auto* filter = static_cast<const DEV_BROADCAST_HANDLE*>(NotificationFilter);
            if (filter->dbch_size < sizeof(DEV_BROADCAST_HANDLE)) {
                setError(ERROR_INVALID_DATA);
                return nullptr;
            }
            registration.device = deviceOfHandle(filter->dbch_handle);
            if (!registration.device) {
                setError(ERROR_INVALID_HANDLE);
                return nullptr;
            }
            registration.forHandle = true;
            registration.handle = filter->dbch_handle;
            break;
        }
        default:
            setError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
    registration.value = newHandleValue();
    registrations()[registration.value] = registration;
    return toHandle<HDEVNOTIFY>(registration.value);
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
    MachineLock lock;
    if (registrations().erase(fromHandle(Handle)) == 0) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"

namespace winsim {

std::vector<NotificationInfo> deviceNotifications() {
    detail::MachineLock lock;
    std::vector<NotificationInfo> list;
    for (const auto& registration : detail::snapshot()) {
        NotificationInfo info;
        info.handle = detail::toHandle<HDEVNOTIFY>(registration.value);
        info.recipient = registration.recipient;
        info.forHandle = registration.forHandle;
        info.deviceHandle = registration.handle;
        list.push_back(info);
    }
    return list;
}

}  // namespace winsim
