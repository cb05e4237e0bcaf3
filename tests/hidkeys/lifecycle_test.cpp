// Opening and closing the library: results, notice sequences, the NotifyWindow and its thread,
// failed starts, and what is left on the machine afterwards.
#include <dbt.h>
#include <gtest/gtest.h>

#include <vector>

#include "library_host.h"
#include "message_log.h"
#include "winsim/machine.h"

namespace {

using host::arrived;
using host::Host;
using host::Library;
using host::nothingFound;
using host::Notice;
using host::notifyWindow;
using host::removed;

class Lifecycle : public ::testing::TestWithParam<Host::Mode> {};

INSTANTIATE_TEST_SUITE_P(HostWindow, Lifecycle, host::allHostModes(), host::hostModeName);

TEST_P(Lifecycle, OpenAndCloseReportTheDevicesPresent) {
    Host host(GetParam());
    Library library;
    // Another maker's HID collection is walked over in every case.
    winsim::attachHid(host::otherMakersCollection());
    const winsim::Counters idle = winsim::counters();

    struct Case {
        const char* name;
        int keyboards;
        int result;
        std::vector<Notice> atOpen, atClose;
    };
    const Case cases[] = {
        {"nothing found", 0, 1, {nothingFound()}, {}},
        {"one keyboard", 1, 2, {arrived(1)}, {removed(1)}},
        {"two keyboards", 2, 3, {arrived(1), arrived(2)}, {removed(1), removed(2)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<winsim::DeviceId> keyboards;
        for (int i = 0; i < c.keyboards; ++i)
            keyboards.push_back(host::attachKeyboard());

        // Every notice of the walk reaches the host before BUK_Open returns.
        EXPECT_EQ(library.open(host.hwnd()), c.result);
        EXPECT_EQ(host.takeNotices(), c.atOpen);
        EXPECT_NE(notifyWindow(), nullptr);

        EXPECT_EQ(library.close(), 1);
        EXPECT_EQ(host.takeNotices(), c.atClose);
        for (DWORD thread : host.noticeThreads()) {
            EXPECT_EQ(thread, GetWindowThreadProcessId(host.hwnd(), nullptr));
        }
        // Nothing of the library is left: no window, class, thread, handle, registration,
        // global block or pending read. The host may unload the library at once.
        EXPECT_EQ(notifyWindow(), nullptr);
        EXPECT_EQ(winsim::counters(), idle);
        EXPECT_EQ(library.control(1, 0), 0);
        for (winsim::DeviceId id : keyboards)
            winsim::detachHid(id);
    }
    // The records as bytes: kind, id, vendor, product, two zero bytes, little-endian.
    using Bytes = std::array<uint8_t, 12>;
    std::vector<Bytes> bytes = host.noticeBytes();
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes[0], (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytes[1], (Bytes{1, 0, 0, 0, 1, 0, 0xF0, 0x03, 0x22, 0x01, 0, 0}));
    EXPECT_EQ(bytes[2], (Bytes{0, 0, 0, 0, 1, 0, 0xF0, 0x03, 0x22, 0x01, 0, 0}));
}

TEST_P(Lifecycle, OpenCloseOpenStartsAfresh) {
    Host host(GetParam());
    Library library;
    host::attachKeyboard();
    host::attachKeyboard();

    ASSERT_EQ(library.open(host.hwnd()), 3);
    HWND first = notifyWindow();
    DWORD firstThread = GetWindowThreadProcessId(first, nullptr);
    library.close();
    ASSERT_EQ(library.open(host.hwnd()), 3);
    EXPECT_NE(notifyWindow(), first);
    EXPECT_NE(GetWindowThreadProcessId(notifyWindow(), nullptr), firstThread);
    library.close();

    EXPECT_EQ(host.notices(),
              (std::vector<Notice>{arrived(1), arrived(2), removed(1), removed(2), arrived(1),
                                   arrived(2), removed(1), removed(2)}));
}

TEST_P(Lifecycle, RepeatedOpenRedirectsMessagesAndSkipsOpenDevices) {
    Host first(GetParam(), "first");
    Host second(GetParam(), "second", WM_USER + 200, WM_USER + 201);
    Library library;
    winsim::DeviceId keyboard = host::attachKeyboard();

    ASSERT_EQ(library.open(first.hwnd()), 2);
    HWND window = notifyWindow();
    // The walk runs again but does not open the device a second time: one handle, no notice.
    EXPECT_EQ(library.open(second.hwnd(), WM_USER + 200, WM_USER + 201), 2);
    EXPECT_EQ(notifyWindow(), window);
    EXPECT_EQ(winsim::windows().size(), 3u);  // two host windows and the NotifyWindow
    EXPECT_EQ(winsim::hidStats(keyboard).openHandles, 1);

    // Keys and notices now go to the second window under its numbers, once each.
    host::pushKey(keyboard, 0x01);
    host::pushKey(keyboard, 0x00);
    ASSERT_TRUE(second.waitForKeys(2));
    winsim::DeviceId another = host::attachKeyboard();
    EXPECT_EQ(library.open(second.hwnd(), WM_USER + 200, WM_USER + 201), 3);
    library.close();
    second.pumpFor(20);

    EXPECT_EQ(second.keys(), (std::vector<host::Key>{host::press(0x100), host::release(0x100)}));
    EXPECT_EQ(second.notices(), (std::vector<Notice>{arrived(2), removed(1), removed(2)}));
    EXPECT_EQ(first.notices(), std::vector<Notice>{arrived(1)});
    EXPECT_TRUE(first.keys().empty());
    EXPECT_EQ(winsim::hidStats(another).openHandles, 0);
}

TEST(LifecycleBasics, ADeviceLeavesTheTableBeforeItsRemovalNotice) {
    // A host that, while it handles the first removal notice, looks the device up and closes
    // the library again: the device is no longer found, and no device is removed twice.
    Host host(Host::CallingThread);
    Library library;
    host::attachKeyboard();
    host::attachKeyboard();
    ASSERT_EQ(library.open(host.hwnd()), 3);
    std::vector<int> lookups;
    host.onNotice = [&](const Notice& notice) {
        if (notice == removed(1)) {
            lookups.push_back(library.control(1, 0x41));
            lookups.push_back(library.control(2, 0x41));
            EXPECT_EQ(library.close(), 1);
        }
    };
    const winsim::Counters open = winsim::counters();
    EXPECT_EQ(library.close(), 1);
    host.onNotice = nullptr;
    EXPECT_EQ(lookups, (std::vector<int>{0, 1}));
    EXPECT_EQ(host.notices(),
              (std::vector<Notice>{arrived(1), arrived(2), removed(1), removed(2)}));
    EXPECT_EQ(winsim::counters().deviceHandles, open.deviceHandles - 2);
    EXPECT_EQ(notifyWindow(), nullptr);
}

TEST(LifecycleBasics, CloseBeforeOpenDoesNothing) {
    Library library;
    const winsim::Counters loaded = winsim::counters();
    EXPECT_EQ(library.close(), 1);
    EXPECT_EQ(winsim::counters(), loaded);
}

TEST(LifecycleBasics, LoadingAndUnloadingLeaveNothing) {
    Host host;
    const winsim::Counters empty = winsim::counters();
    {
        Library library;
        host::attachKeyboard();
        ASSERT_EQ(library.open(host.hwnd()), 2);
        library.close();
    }
    EXPECT_EQ(winsim::counters(), empty);
}

TEST(LifecycleBasics, NotifyWindowIsAHiddenPopupOfItsOwnClass) {
    Host host;
    Library library;
    ASSERT_EQ(library.open(host.hwnd()), 1);
    winsim::WindowInfo info;
    ASSERT_TRUE(winsim::windowInfo(notifyWindow(), &info));
    EXPECT_EQ(info.className, "Thread In DLL");
    EXPECT_EQ(info.title, "Thread In DLL");
    EXPECT_EQ(info.style, 0x84000000u);
    EXPECT_EQ(info.exStyle, 0x300u);
    EXPECT_EQ(std::vector<int>({info.x, info.y, info.width, info.height}),
              std::vector<int>({0, 0, 5, 5}));
    EXPECT_EQ(info.parent, nullptr);
    EXPECT_EQ(info.instance, library.module());
    EXPECT_EQ(info.classCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(info.classStyle, 0u);
    EXPECT_NE(info.threadId, GetCurrentThreadId());
    EXPECT_NE(info.threadId, GetWindowThreadProcessId(host.hwnd(), nullptr));

    // One class-wide registration for HID interface arrivals, made for the NotifyWindow.
    auto registrations = winsim::deviceNotifications();
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].recipient, notifyWindow());
    EXPECT_FALSE(registrations[0].forHandle);

    // UnregisterNotifyMessage undoes the registration it carries; WM_CREATE answers 0.
    HWND window = notifyWindow();
    EXPECT_EQ(SendMessageA(window, WM_CREATE, 0, 0), 0);
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = winsim::hidInterfaceGuid();
    HDEVNOTIFY extra = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(SendMessageA(window, WM_USER + 501, 0, reinterpret_cast<LPARAM>(extra)), 0);
    EXPECT_EQ(winsim::deviceNotifications().size(), 1u);
    library.close();
}

TEST(LifecycleBasics, CloseUndoesHandleRegistrationsStillQueued) {
    // The removals of BUK_Close post their unregistrations just before WM_CLOSE is sent; the
    // NotifyWindow must not go with them still queued.
    Host host;
    Library library;
    for (int i = 0; i < 3; ++i)
        host::attachKeyboard();
    ASSERT_EQ(library.open(host.hwnd()), 4);
    EXPECT_EQ(winsim::deviceNotifications().size(), 4u);
    library.close();
    EXPECT_TRUE(winsim::deviceNotifications().empty());
}

// A start that fails returns 0, leaves nothing behind, and the next BUK_Open starts afresh.
TEST(LifecycleFailures, FailedStartsLeaveNothingAndTheNextOpenWorks) {
    struct Case {
        const char* name;
        winsim::Fault fault;
        bool waitsForTheWindow;  // about 2000 ms
    };
    const Case cases[] = {
        {"class can't be registered", winsim::Fault::RegisterClass, true},
        {"window can't be created", winsim::Fault::CreateWindow, true},
        {"thread can't be created", winsim::Fault::CreateThread, false},
        {"class-wide registration fails", winsim::Fault::RegisterDeviceNotification, false},
    };
    Host host;
    Library library;
    host::attachKeyboard();
    const winsim::Counters idle = winsim::counters();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::failNext(c.fault);
        DWORD start = GetTickCount();
        EXPECT_EQ(library.open(host.hwnd()), 0);
        DWORD elapsed = GetTickCount() - start;
        if (c.waitsForTheWindow) {
            EXPECT_GE(elapsed, 1900u);
        } else {
            EXPECT_LT(elapsed, 1900u);
        }
        EXPECT_TRUE(host.takeNotices().empty());
        EXPECT_EQ(notifyWindow(), nullptr);
        EXPECT_EQ(winsim::counters(), idle);

        EXPECT_EQ(library.open(host.hwnd()), 2);
        library.close();
        EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{arrived(1), removed(1)}));
        EXPECT_EQ(winsim::counters(), idle);
    }
}

TEST(LifecycleFailures, ALateNotificationThreadLeavesNoWindowOrClass) {
    Host host;
    Library library;
    const winsim::Counters idle = winsim::counters();
    winsim::setWindowCreationDelay(3000);
    EXPECT_EQ(library.open(host.hwnd()), 0);
    winsim::setWindowCreationDelay(0);

    // The thread creates its window a second after BUK_Open gave up, then takes it down with
    // its class and ends.
    ASSERT_TRUE(support::waitUntil(
        [&] {
            winsim::Counters now = winsim::counters();
            return now.runningThreads == idle.runningThreads && now.windows == idle.windows &&
                   now.windowClasses == idle.windowClasses;
        },
        5000));
    EXPECT_EQ(notifyWindow(), nullptr);
    EXPECT_TRUE(host.notices().empty());

    EXPECT_EQ(library.open(host.hwnd()), 1);
    library.close();
    EXPECT_EQ(host.notices(), std::vector<Notice>{nothingFound()});
    EXPECT_EQ(winsim::counters(), idle);
}

}  // namespace
