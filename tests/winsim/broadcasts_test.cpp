// Device notifications and the broadcasts that reach windows: WM_DEVICECHANGE on attach and
// detach, WM_POWERBROADCAST to every top-level window.
#include <windows.h>
#include <dbt.h>
#include <hidsdi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "message_log.h"
#include "test_window.h"
#include "winsim/hid.h"
#include "winsim/machine.h"

namespace {

winsim::HidCollection collection() {
    winsim::HidCollection c;
    c.vendorId = 0x03F0;
    c.productId = 0x0122;
    c.usage = 1;
    c.inputReportLength = 3;
    return c;
}

HDEVNOTIFY registerInterfaces(HWND hwnd, GUID guid, DWORD flags = DEVICE_NOTIFY_WINDOW_HANDLE) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = guid;
    return RegisterDeviceNotificationA(hwnd, &filter, flags);
}

HDEVNOTIFY registerHandle(HWND hwnd, HANDLE handle) {
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = handle;
    return RegisterDeviceNotificationA(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

// What a window saw of each WM_DEVICECHANGE, copied while the record was valid.
struct DeviceEvent {
    WPARAM event;
    DWORD type;
    DWORD size;
    std::string name;
    HANDLE handle;
    HDEVNOTIFY notification;
    DWORD threadId;
};

class DeviceEventRecorder {
  public:
    support::WindowHandler handler() {
        return [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m != WM_DEVICECHANGE) return DefWindowProcA(h, m, w, l);
            DeviceEvent e{w, 0, 0, "", nullptr, nullptr, GetCurrentThreadId()};
            auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(l);
            e.type = header->dbch_devicetype;
            e.size = header->dbch_size;
            if (e.type == DBT_DEVTYP_DEVICEINTERFACE) {
                auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(l);
                e.name = record->dbcc_name;
                GUID hid;
                HidD_GetHidGuid(&hid);
                EXPECT_EQ(memcmp(&record->dbcc_classguid, &hid, sizeof hid), 0);
            } else if (e.type == DBT_DEVTYP_HANDLE) {
                auto* record = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(l);
                e.handle = record->dbch_handle;
                e.notification = record->dbch_hdevnotify;
            }
            if (onEvent) onEvent(e);
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(e);
            return TRUE;
        };
    }
    std::vector<DeviceEvent> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::function<void(const DeviceEvent&)> onEvent;

  private:
    std::mutex mutex_;
    std::vector<DeviceEvent> events_;
};

TEST(DeviceNotifications, RegistrationChecksItsFilterAndRecipient) {
    support::WindowThread window("recipient");
    GUID hid;
    HidD_GetHidGuid(&hid);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND dead = support::createTestWindow("dead");
    DestroyWindow(dead);

    DEV_BROADCAST_DEVICEINTERFACE_A shortInterface{};
    shortInterface.dbcc_size = 8;
    shortInterface.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    DEV_BROADCAST_HANDLE shortHandle{};
    shortHandle.dbch_size = 44 - 8;
    shortHandle.dbch_devicetype = DBT_DEVTYP_HANDLE;
    DEV_BROADCAST_HANDLE notADevice{};
    notADevice.dbch_size = sizeof notADevice;
    notADevice.dbch_devicetype = DBT_DEVTYP_HANDLE;
    notADevice.dbch_handle = event;
    DEV_BROADCAST_HDR port{};
    port.dbch_size = sizeof port;
    port.dbch_devicetype = DBT_DEVTYP_PORT;
    DEV_BROADCAST_DEVICEINTERFACE_A good{};
    good.dbcc_size = sizeof good;
    good.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    good.dbcc_classguid = hid;

    struct Case {
        const char* name;
        HWND recipient;
        void* filter;
        DWORD flags;
        DWORD expectedError;
    };
    const Case cases[] = {
        {"interface filter too short", window.hwnd(), &shortInterface, 0, ERROR_INVALID_DATA},
        {"handle filter too short", window.hwnd(), &shortHandle, 0, ERROR_INVALID_DATA},
        {"handle that is not a device", window.hwnd(), &notADevice, 0, ERROR_INVALID_HANDLE},
        {"unsupported record type", window.hwnd(), &port, 0, ERROR_INVALID_PARAMETER},
        {"service recipient", window.hwnd(), &good, DEVICE_NOTIFY_SERVICE_HANDLE,
         ERROR_INVALID_PARAMETER},
        {"dead window", dead, &good, 0, ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RegisterDeviceNotificationA(c.recipient, c.filter, c.flags), nullptr);
        EXPECT_EQ(GetLastError(), c.expectedError);
    }

    winsim::failNext(winsim::Fault::RegisterDeviceNotification);
    EXPECT_EQ(RegisterDeviceNotificationA(window.hwnd(), &good, 0), nullptr);
    HDEVNOTIFY registration = RegisterDeviceNotificationA(window.hwnd(), &good, 0);
    ASSERT_NE(registration, nullptr);
    EXPECT_EQ(winsim::counters().deviceNotifications, 1);
    EXPECT_TRUE(UnregisterDeviceNotification(registration));
    EXPECT_FALSE(UnregisterDeviceNotification(registration));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(winsim::counters().deviceNotifications, 0);
    CloseHandle(event);
}

TEST(DeviceBroadcasts, ArrivalReachesTheClassRegistrationsOnTheirOwnThreads) {
    DeviceEventRecorder hidRecorder, otherRecorder, allRecorder;
    support::WindowThread hidWindow("hid", hidRecorder.handler());
    support::WindowThread otherWindow("other class", otherRecorder.handler());
    support::WindowThread allWindow("all classes", allRecorder.handler());
    GUID hid;
    HidD_GetHidGuid(&hid);
    GUID other = hid;
    other.Data2 ^= 1;
    HDEVNOTIFY registrations[] = {
        registerInterfaces(hidWindow.hwnd(), hid),
        registerInterfaces(otherWindow.hwnd(), other),
        registerInterfaces(allWindow.hwnd(), other, DEVICE_NOTIFY_ALL_INTERFACE_CLASSES),
    };

    winsim::DeviceId device = winsim::attachHid(collection());  // returns once delivered
    std::string name = winsim::broadcastPath(device);
    for (DeviceEventRecorder* recorder : {&hidRecorder, &allRecorder}) {
        std::vector<DeviceEvent> events = recorder->events();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].event, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
        EXPECT_EQ(events[0].type, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
        EXPECT_EQ(events[0].name, name);
        EXPECT_EQ(events[0].size,
                  offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + name.size() + 1);
    }
    EXPECT_EQ(hidRecorder.events()[0].threadId, hidWindow.threadId());
    EXPECT_TRUE(otherRecorder.events().empty());

    // An undone registration hears nothing more.
    UnregisterDeviceNotification(registrations[0]);
    winsim::attachHid(collection());
    EXPECT_EQ(hidRecorder.events().size(), 1u);
    EXPECT_EQ(allRecorder.events().size(), 2u);
    UnregisterDeviceNotification(registrations[1]);
    UnregisterDeviceNotification(registrations[2]);
}

TEST(DeviceBroadcasts, DetachEndsIoBeforeTheHandleRemovalAndThenRemovesTheInterface) {
    DeviceEventRecorder recorder;
    support::WindowThread window("watcher", recorder.handler());
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVNOTIFY classRegistration = registerInterfaces(window.hwnd(), hid);
    winsim::DeviceId device = winsim::attachHid(collection());
    winsim::DeviceId bystander = winsim::attachHid(collection());
    HANDLE handle = CreateFileA(winsim::interfacePath(device).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    HANDLE bystanderHandle = CreateFileA(winsim::interfacePath(bystander).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OVERLAPPED, nullptr);
    HDEVNOTIFY handleRegistration = registerHandle(window.hwnd(), handle);
    HDEVNOTIFY bystanderRegistration = registerHandle(window.hwnd(), bystanderHandle);
    ASSERT_NE(handleRegistration, nullptr);

    OVERLAPPED overlapped{};
    unsigned char buffer[3];
    ASSERT_FALSE(ReadFile(handle, buffer, 3, nullptr, &overlapped));
    bool readEndedFirst = false;
    recorder.onEvent = [&](const DeviceEvent& e) {
        if (e.type == DBT_DEVTYP_HANDLE) readEndedFirst = HasOverlappedIoCompleted(&overlapped);
    };

    winsim::detachHid(device);
    std::vector<DeviceEvent> events = recorder.events();
    ASSERT_EQ(events.size(), 4u);  // two arrivals, then the two removals
    EXPECT_EQ(events[2].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(events[2].type, static_cast<DWORD>(DBT_DEVTYP_HANDLE));
    EXPECT_EQ(events[2].handle, handle);
    EXPECT_EQ(events[2].notification, handleRegistration);
    EXPECT_EQ(events[2].size, sizeof(DEV_BROADCAST_HANDLE));
    EXPECT_EQ(events[3].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(events[3].type, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(events[3].name, winsim::broadcastPath(device));
    EXPECT_TRUE(readEndedFirst);

    CloseHandle(handle);
    CloseHandle(bystanderHandle);
    for (HDEVNOTIFY r : {classRegistration, handleRegistration, bystanderRegistration}) {
        EXPECT_TRUE(UnregisterDeviceNotification(r));
    }
}

TEST(PowerBroadcasts, ReachEveryTopLevelWindowAndReturnEachAnswer) {
    support::WindowThread grants("grants", [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_POWERBROADCAST) return w == PBT_APMQUERYSUSPEND ? TRUE : 0;
        return DefWindowProcA(h, m, w, l);
    });
    support::MessageLog ownLog;
    HWND own = support::createTestWindow("own", &ownLog);
    HWND child = CreateWindowExA(0, "TestWindow", "child", WS_CHILD, 0, 0, 1, 1, own, nullptr,
                                 support::testInstance(), nullptr);
    ASSERT_NE(child, nullptr);

    auto answers = winsim::broadcastPower(PBT_APMQUERYSUSPEND);
    ASSERT_EQ(answers.size(), 2u);                           // not the child
    EXPECT_EQ(answers[0], std::make_pair(own, LRESULT{0}));  // newest first
    EXPECT_EQ(answers[1], std::make_pair(grants.hwnd(), LRESULT{TRUE}));
    EXPECT_EQ(grants.log().of(WM_POWERBROADCAST).at(0).threadId, grants.threadId());
    EXPECT_EQ(ownLog.of(WM_POWERBROADCAST).at(0).threadId, GetCurrentThreadId());

    answers = winsim::broadcastPower(PBT_APMSUSPEND);
    EXPECT_EQ(answers[1].second, 0);
    DestroyWindow(own);
}

}  // namespace
