// Suspend and resume: devices closed without a word, opened again with ids from 1.
#include <gtest/gtest.h>

#include <atomic>
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

TEST(Power, EveryPowerCodeGetsItsAnswerAndOnlySuspendAndResumeAct) {
    struct Case {
        WPARAM event;
        LRESULT answer;
    };
    const Case cases[] = {
        {PBT_APMQUERYSUSPEND, TRUE},
        {PBT_APMQUERYSTANDBY, 0},
        {PBT_APMQUERYSUSPENDFAILED, TRUE},
        {PBT_APMQUERYSTANDBYFAILED, 0},
        {PBT_APMSTANDBY, 0},
        {PBT_APMRESUMESTANDBY, 0},
        {9, 0},
        {PBT_APMPOWERSTATUSCHANGE, 0},
        {PBT_APMOEMEVENT, 0},
        {PBT_APMRESUMEAUTOMATIC, 0},
        {0x8013, 0},
    };
    Host host;
    Library library;
    winsim::DeviceId keyboard = host::attachKeyboard();
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host.takeNotices();
    const auto before = host::deviceHolding();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        EXPECT_EQ(host::broadcastPower(c.event), c.answer);
        EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
        EXPECT_EQ(host::deviceHolding(), before);
        EXPECT_EQ(library.control(1, 1), 1);
    }
    // The device is still read.
    host::pushKey(keyboard, 0x01);
    EXPECT_TRUE(host.waitForKeys(1));

    for (WPARAM event : {PBT_APMSUSPEND, PBT_APMRESUMECRITICAL, PBT_APMRESUMESUSPEND}) {
        SCOPED_TRACE(event);
        EXPECT_EQ(host::broadcastPower(event), 0);
    }
    library.close();
}

TEST(Power, SuspendAndResumeAreSilentAndNumberTheDevicesAgain) {
    Host host;
    Library library;
    winsim::DeviceId first = winsim::attachHid(host::extraKeyCollection());
    winsim::DeviceId second = winsim::attachHid(host::extraKeyCollection());
    const winsim::Counters idle = winsim::counters();
    ASSERT_EQ(library.open(host.hwnd()), 3);
    host.takeNotices();
    winsim::detachHid(first);
    winsim::reattachHid(first);  // now the second device is the older entry, with id 2
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{removed(1), arrived(3)}));
    ASSERT_TRUE(support::waitUntil([] { return host::watchedHandles().size() == 2; }));
    const auto open = host::deviceHolding();

    // Suspended: every device closed without a notice, every id invalid.
    host::broadcastPower(PBT_APMSUSPEND);
    EXPECT_EQ(winsim::counters().deviceHandles, 0);
    EXPECT_EQ(winsim::counters().runningThreads, idle.runningThreads + 1);  // the notify thread
    EXPECT_TRUE(support::waitUntil([] { return host::watchedHandles().empty(); }));
    for (int id : {1, 2, 3})
        EXPECT_EQ(library.control(id, 1), 0);

    // Resumed: the devices are back in the order of the walk, numbered from 1, still silently.
    for (WPARAM resume : {PBT_APMRESUMESUSPEND, PBT_APMRESUMECRITICAL}) {
        SCOPED_TRACE(resume);
        host::broadcastPower(PBT_APMSUSPEND);
        host::broadcastPower(resume);
        EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
        // The suspend's registrations are undone by messages that may still be queued.
        EXPECT_TRUE(support::waitUntil([&] { return host::deviceHolding() == open; }));
        EXPECT_EQ(library.control(1, 0x11), 1);
        EXPECT_EQ(library.control(2, 0x22), 1);
        EXPECT_EQ(library.control(3, 0x33), 0);
        EXPECT_EQ(winsim::writtenReports(first).back()[1], 0x11);
        EXPECT_EQ(winsim::writtenReports(second).back()[1], 0x22);
    }
    host::pushKey(second, 0x05);
    EXPECT_TRUE(host.waitForKeys(1));

    library.close();
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{removed(1), removed(2)}));
    EXPECT_EQ(winsim::counters(), idle);
}

TEST(Power, ChangesWhileSuspendedShowOnlyAtTheResume) {
    Host host;
    Library library;
    winsim::DeviceId keyboard = host::attachKeyboard();
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host.takeNotices();

    // Unplugged while suspended: one notice at the resume, nothing found, marked as a resume's.
    host::broadcastPower(PBT_APMSUSPEND);
    winsim::detachHid(keyboard);
    host::broadcastPower(PBT_APMRESUMESUSPEND);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{nothingFound(NoticeResumeMark)});
    EXPECT_EQ(host.noticeBytes().back(),
              (std::array<uint8_t, 12>{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // Plugged in while suspended: ignored until the resume walk opens it, without a notice.
    host::broadcastPower(PBT_APMSUSPEND);
    winsim::reattachHid(keyboard);
    EXPECT_EQ(winsim::hidStats(keyboard).openHandles, 0);
    host::broadcastPower(PBT_APMRESUMESUSPEND);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
    EXPECT_EQ(library.control(1, 1), 1);
    library.close();
}

TEST(Power, AResumeWithoutSuspendAddsOnlyWhatIsNotOpen) {
    Host host;
    Library library;
    winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 2);
    // This arrival can't register its handle, so its interface stays closed.
    winsim::failNext(winsim::Fault::RegisterDeviceNotification);
    winsim::DeviceId missed = winsim::attachHid(host::extraKeyCollection());
    EXPECT_EQ(winsim::hidStats(missed).openHandles, 0);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{arrived(1)});

    host::broadcastPower(PBT_APMRESUMEAUTOMATIC);  // no action
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
    host::broadcastPower(PBT_APMRESUMESUSPEND);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{arrived(2, NoticeResumeMark)});
    host::broadcastPower(PBT_APMRESUMECRITICAL);  // a second resume in a row
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{});
    EXPECT_EQ(winsim::counters().deviceHandles, 2);
    EXPECT_EQ(library.control(2, 1), 1);

    // Once resumed, notices carry no mark.
    library.close();
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{removed(1), removed(2)}));
}

TEST(Power, ReadersOfTheResumeWalkStartReadingOnlyWhenTheResumeIsOver) {
    Host host;
    Library library;
    winsim::DeviceId first = winsim::attachHid(host::extraKeyCollection());
    winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 3);
    host::broadcastPower(PBT_APMSUSPEND);
    const int readsBefore = winsim::hidStats(first).readsIssued;

    // While the walk allocates the second entry, the first one's reader has had time for
    // several reads had it not waited for the resume to end.
    std::atomic<int> allocations{0};
    std::atomic<int> readsDuringWalk{-1};
    library.watchEntryAllocations([&] {
        if (++allocations == 2) {
            Sleep(60);
            readsDuringWalk = winsim::hidStats(first).readsIssued - readsBefore;
        }
        return false;
    });
    host::broadcastPower(PBT_APMRESUMESUSPEND);
    EXPECT_EQ(allocations, 2);
    EXPECT_EQ(readsDuringWalk, 0);
    EXPECT_TRUE(
        support::waitUntil([&] { return winsim::hidStats(first).readsIssued > readsBefore; }));
    library.close();
}

TEST(Power, ASuspendThatTheLibraryMissedTheResumeOfDoesNotOutliveIt) {
    // The host closes the library between a suspend and its resume, as a host that follows
    // the power broadcasts itself may, and opens it again after the resume.
    Host host;
    Library library;
    winsim::DeviceId keyboard = winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host::broadcastPower(PBT_APMSUSPEND);
    library.close();
    winsim::broadcastPower(PBT_APMRESUMESUSPEND);  // no NotifyWindow to hear it
    host.takeNotices();

    ASSERT_EQ(library.open(host.hwnd()), 2);
    EXPECT_EQ(host.takeNotices(), std::vector<Notice>{arrived(1)});
    host::pushKey(keyboard, 0x02);
    EXPECT_TRUE(host.waitForKeys(1));
    library.close();
}

}  // namespace
