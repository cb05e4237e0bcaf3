// Devices plugged in and unplugged while the library is open, and the broadcasts that must
// change nothing.
#include <gtest/gtest.h>

#include <dbt.h>

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
using host::removed;

class HotPlug : public ::testing::TestWithParam<Host::Mode> {};

INSTANTIATE_TEST_SUITE_P(HostWindow, HotPlug, host::allHostModes(), host::hostModeName);

TEST_P(HotPlug, APluggedKeyboardIsEnteredAndAnUnpluggedOneTakenOut) {
    Host host(GetParam());
    Library library;
    winsim::attachHid(host::otherMakersCollection());
    const winsim::Counters idle = winsim::counters();
    ASSERT_EQ(library.open(host.hwnd()), 1);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{nothingFound()});
    const winsim::Counters open = winsim::counters();

    // Of the keyboard's four collections and another maker's device only the extra-key
    // collection stays open; the others are opened, looked at and closed again.
    winsim::DeviceId first = host::attachKeyboard();
    winsim::attachHid(host::otherMakersCollection());
    winsim::DeviceId second = winsim::attachHid(host::extraKeyCollection());
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{arrived(1), arrived(2)}));
    EXPECT_EQ(winsim::counters().deviceHandles, 2);
    EXPECT_EQ(winsim::counters().preparsedData, 2);
    EXPECT_EQ(host::watchedHandles().size(), 2u);
    EXPECT_EQ(library.control(2, 7), 1);
    EXPECT_EQ(winsim::writtenReports(second).size(), 1u);
    host::pushKey(first, 0x03);
    ASSERT_TRUE(host.waitForKeys(1));
    EXPECT_EQ(host.keys()[0], host::press(0x300));

    // Unplugged: its reader ends, the host hears of it once, its id is no longer valid, and its
    // handle and registration are gone.
    winsim::detachHid(first);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{removed(1)});
    EXPECT_EQ(library.control(1, 7), 0);
    EXPECT_EQ(library.control(2, 7), 1);
    EXPECT_EQ(winsim::hidStats(first).openHandles, 0);
    EXPECT_TRUE(support::waitUntil([] { return host::watchedHandles().size() == 1; }));
    EXPECT_EQ(winsim::counters().runningThreads, open.runningThreads + 1);

    // Plugged in again: the next id.
    winsim::reattachHid(first);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{arrived(3)});
    EXPECT_EQ(library.control(3, 7), 1);

    winsim::detachHid(second);
    winsim::detachHid(first);
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{removed(2), removed(3)}));
    EXPECT_TRUE(support::waitUntil([] { return host::watchedHandles().empty(); }));
    EXPECT_EQ(winsim::counters(), open);
    library.close();
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
    EXPECT_EQ(winsim::counters(), idle);
}

TEST(HotPlugBroadcasts, BroadcastsThatNameNoDeviceOfTheTableChangeNothing) {
    Host host;
    Library library;
    winsim::DeviceId keyboard = host::attachKeyboard();
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host.takeNotices();
    ASSERT_EQ(host::watchedHandles().size(), 1u);
    const HANDLE handle = host::watchedHandles()[0];
    const std::string path = winsim::broadcastPath(keyboard);
    const auto before = host::deviceHolding();

    struct Case {
        const char* name;
        std::function<LRESULT()> send;
    };
    const Case cases[] = {
        {"removal of a handle no entry holds",
         [] { return host::sendHandleEvent(DBT_DEVICEREMOVECOMPLETE, (HANDLE)0x7777); }},
        {"removal of the interface, not of its handle",
         [&] { return host::sendInterfaceEvent(DBT_DEVICEREMOVECOMPLETE, path); }},
        {"query remove", [&] { return host::sendHandleEvent(DBT_DEVICEQUERYREMOVE, handle); }},
        {"remove pending", [&] { return host::sendHandleEvent(DBT_DEVICEREMOVEPENDING, handle); }},
        {"arrival of a handle", [&] { return host::sendHandleEvent(DBT_DEVICEARRIVAL, handle); }},
        {"arrival of an interface already open",
         [&] { return host::sendInterfaceEvent(DBT_DEVICEARRIVAL, path); }},
        {"arrival of a path that names no device",
         [] { return host::sendInterfaceEvent(DBT_DEVICEARRIVAL, "\\\\?\\HID#NOTHING#0#{x}"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.send(), 0);
        EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
        EXPECT_EQ(host::deviceHolding(), before);
        EXPECT_EQ(host::watchedHandles(), std::vector<HANDLE>{handle});
        EXPECT_EQ(library.control(1, 1), 1);
    }
    library.close();
}

// A keyboard unplugged after the walk of BUK_Open has opened it but before the library has
// registered for its handle's removal: no removal broadcast reaches the library, which must not
// keep the device all the same.
TEST(HotPlugBroadcasts, AKeyboardUnpluggedWhileBeingOpenedIsNotKept) {
    Host host;
    Library library;
    winsim::DeviceId keyboard = winsim::attachHid(host::extraKeyCollection());
    winsim::DeviceId second = winsim::attachHid(host::extraKeyCollection());
    const winsim::Counters idle = winsim::counters();
    // Report buffers are allocated once an interface is open and known to be the keyboard's.
    bool unplugged = false;
    library.watchAllocations(Library::ReportBufferAllocation, [&] {
        if (!unplugged) winsim::detachHid(keyboard);
        unplugged = true;
        return false;
    });
    ASSERT_EQ(library.open(host.hwnd()), 3);
    // Announced and taken out again at once; the walk goes on to the next keyboard.
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{arrived(1), removed(1), arrived(2)}));
    EXPECT_EQ(winsim::hidStats(keyboard).openHandles, 0);
    EXPECT_EQ(library.control(1, 1), 0);
    EXPECT_EQ(library.control(2, 1), 1);
    library.close();
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{removed(2)});
    EXPECT_EQ(winsim::counters(), idle);
    winsim::detachHid(second);
}

// A host whose window procedure causes a second broadcast while it handles a notice that the
// notification thread sends: the entry of that notice is removed and freed once.
class Reentrancy : public HotPlug {};

INSTANTIATE_TEST_SUITE_P(HostWindow, Reentrancy, host::allHostModes(), host::hostModeName);

TEST_P(Reentrancy, SuspendDuringARemovalNotice) {
    Host host(GetParam());
    Library library;
    winsim::DeviceId first = host::attachKeyboard();
    host::attachKeyboard();
    const winsim::Counters idle = winsim::counters();
    ASSERT_EQ(library.open(host.hwnd()), 3);
    host.onNotice = [](const Notice& n) {
        if (n == removed(1)) host::broadcastPower(PBT_APMSUSPEND);
    };
    winsim::detachHid(first);
    host.onNotice = nullptr;
    // The suspend closed the other device quietly.
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{arrived(1), arrived(2), removed(1)}));
    EXPECT_EQ(winsim::counters().deviceHandles, 0);
    EXPECT_EQ(library.control(2, 1), 0);

    host::broadcastPower(PBT_APMRESUMESUSPEND);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
    EXPECT_EQ(library.control(1, 1), 1);
    library.close();
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{removed(1)});
    EXPECT_EQ(winsim::counters(), idle);
}

TEST_P(Reentrancy, SuspendOrUnplugDuringAnArrivalNotice) {
    enum Event { Suspend, SuspendAndResume, Unplug };
    struct Case {
        const char* name;
        Event event;
        std::vector<Notice> notices;
    };
    const Case cases[] = {
        // The device added during the notice is closed with the rest, without a word.
        {"suspend", Suspend, {arrived(1)}},
        // The resume finds the device present and enters it again under id 1, quietly as it
        // enters every device; the id of the notice that was out is not taken back.
        {"suspend and resume", SuspendAndResume, {arrived(1)}},
        // Its own removal came while it was being added: it goes at once, with a notice.
        {"unplug", Unplug, {arrived(1), removed(1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(GetParam());
        Library library;
        // Attached and detached before the library opens, so that its id is known when it
        // arrives again.
        winsim::DeviceId keyboard = winsim::attachHid(host::extraKeyCollection());
        winsim::detachHid(keyboard);
        const winsim::Counters idle = winsim::counters();
        ASSERT_EQ(library.open(host.hwnd()), 1);
        host.takeNotices();
        host.onNotice = [&](const Notice& n) {
            if (!(n == arrived(1))) return;
            if (c.event == Unplug) {
                winsim::detachHid(keyboard);
            } else {
                host::broadcastPower(PBT_APMSUSPEND);
            }
            if (c.event == SuspendAndResume) host::broadcastPower(PBT_APMRESUMESUSPEND);
        };
        winsim::reattachHid(keyboard);
        host.onNotice = nullptr;
        EXPECT_EQ(host.takeNotices(), c.notices);
        if (c.event == SuspendAndResume) {
            EXPECT_EQ(winsim::hidStats(keyboard).openHandles, 1);
            EXPECT_EQ(library.control(1, 1), 1);
            library.close();
            EXPECT_EQ(host.takeNotices(), std::vector<Notice>{removed(1)});
            winsim::detachHid(keyboard);
            EXPECT_EQ(winsim::counters(), idle);
            continue;
        }
        EXPECT_EQ(winsim::counters().deviceHandles, 0);
        EXPECT_EQ(library.control(1, 1), 0);
        EXPECT_TRUE(support::waitUntil([] { return host::watchedHandles().empty(); }));

        if (c.event == Suspend) {
            // The resume finds it again, under id 1.
            host::broadcastPower(PBT_APMRESUMESUSPEND);
            EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
            EXPECT_EQ(library.control(1, 1), 1);
            winsim::detachHid(keyboard);
        }
        library.close();
        host.takeNotices();
        EXPECT_EQ(winsim::counters(), idle);
    }
}

TEST_P(Reentrancy, CloseDuringANoticeFromTheNotificationThread) {
    struct Case {
        const char* name;
        bool unplug;  // the notice of an unplugged device; otherwise of a plugged one
    };
    for (const Case& c : {Case{"removal notice", true}, Case{"arrival notice", false}}) {
        SCOPED_TRACE(c.name);
        Host host(GetParam());
        Library library;
        const winsim::Counters idle = winsim::counters();
        winsim::DeviceId present = winsim::attachHid(host::extraKeyCollection());
        ASSERT_EQ(library.open(host.hwnd()), 2);
        bool closed = false;
        const Notice trigger = c.unplug ? removed(1) : arrived(2);
        host.onNotice = [&](const Notice& n) {
            if (closed || !(n == trigger)) return;
            closed = true;
            EXPECT_EQ(library.close(), 1);
        };
        winsim::DeviceId plugged = 0;
        if (c.unplug) {
            winsim::detachHid(present);
        } else {
            plugged = winsim::attachHid(host::extraKeyCollection());
        }
        host.onNotice = nullptr;
        EXPECT_TRUE(closed);
        EXPECT_EQ(host.takeNotices(),
                  c.unplug ? (std::vector<Notice>{arrived(1), removed(1)})
                           : (std::vector<Notice>{arrived(1), arrived(2), removed(1), removed(2)}));
        EXPECT_EQ(host::notifyWindow(), nullptr);

        // The library opens again, and its next close waits for the old thread.
        EXPECT_EQ(library.open(host.hwnd()), c.unplug ? 1 : 3);
        library.close();
        host.takeNotices();
        if (!c.unplug) winsim::detachHid(present);
        if (plugged != 0) winsim::detachHid(plugged);
        EXPECT_EQ(winsim::counters(), idle);
    }
}

}  // namespace
