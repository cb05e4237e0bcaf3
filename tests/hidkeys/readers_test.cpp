// Reader threads: their pace, how they are stopped, and the reports they never decode.
#include <gtest/gtest.h>

#include <vector>

#include "library_host.h"
#include "message_log.h"
#include "winsim/machine.h"

namespace {

using host::Host;
using host::Key;
using host::Library;
using host::Notice;
using host::press;

TEST(Readers, ReadsArePacedTenMillisecondsApart) {
    Host host;
    Library library;
    winsim::DeviceId keyboard = winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 2);
    for (int i = 0; i < 6; ++i)
        host::pushKey(keyboard, i % 2 == 0 ? 0x01 : 0x00);
    ASSERT_TRUE(host.waitForKeys(6));
    library.close();

    std::vector<DWORD> times = winsim::hidStats(keyboard).readTimes;
    ASSERT_GE(times.size(), 6u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 10u) << "read " << i;
}

TEST(Readers, ReadersPendingInTheirReadsAreStoppedAndWaitedFor) {
    Host host;
    Library library;
    winsim::DeviceId first = winsim::attachHid(host::extraKeyCollection());
    winsim::DeviceId second = winsim::attachHid(host::extraKeyCollection());
    const winsim::Counters idle = winsim::counters();
    ASSERT_EQ(library.open(host.hwnd()), 3);
    ASSERT_TRUE(support::waitUntil([&] {
        return winsim::hidStats(first).pendingReads == 1 &&
               winsim::hidStats(second).pendingReads == 1;
    }));
    library.close();
    // Each read was cancelled by its own reader and has completed before the device was
    // closed and its buffer freed; every reader has ended.
    EXPECT_EQ(winsim::counters(), idle);
}

TEST(Readers, ShortInputReportsAreNeverRead) {
    Host host;
    Library library;
    winsim::DeviceId oneByte = winsim::attachHid(host::extraKeyCollection(1));
    winsim::DeviceId none = winsim::attachHid(host::extraKeyCollection(0));
    ASSERT_EQ(library.open(host.hwnd()), 3);
    host::pushKey(oneByte, 0x01);
    Sleep(100);
    EXPECT_EQ(winsim::hidStats(oneByte).readsIssued, 0);
    EXPECT_EQ(winsim::hidStats(none).readsIssued, 0);
    library.close();
    EXPECT_TRUE(host.keys().empty());
}

TEST(Readers, AReadThatEndsWithAnErrorIsNotDecoded) {
    Host host;
    Library library;
    winsim::DeviceId keyboard = winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host::pushKey(keyboard, 0x01);
    ASSERT_TRUE(host.waitForKeys(1));
    ASSERT_TRUE(support::waitUntil([&] { return winsim::hidStats(keyboard).pendingReads == 1; }));

    // The pending read fails when the device goes; its buffer still holds the press.
    winsim::detachHid(keyboard);
    Sleep(100);
    EXPECT_EQ(host.keys(), std::vector<Key>{press(0x100)});
    library.close();
}

TEST(Readers, AReaderThatDoesNotEndKeepsItsDeviceUntilItHas) {
    Host host;
    Library library;
    winsim::DeviceId keyboard = winsim::attachHid(host::extraKeyCollection());
    const winsim::Counters idle = winsim::counters();
    ASSERT_EQ(library.open(host.hwnd()), 2);
    // A driver that ignores the cancel: the reader can't end while its read pends.
    winsim::HidFaults faults;
    faults.ignoreCancel = true;
    winsim::setHidFaults(keyboard, faults);
    ASSERT_TRUE(support::waitUntil([&] { return winsim::hidStats(keyboard).pendingReads == 1; }));

    EXPECT_EQ(library.close(), 1);
    EXPECT_EQ(host.notices(), (std::vector<Notice>{host::arrived(1), host::removed(1)}));
    // Neither the handle nor the buffer under the pending read was given back.
    EXPECT_EQ(winsim::hidStats(keyboard).openHandles, 1);
    EXPECT_EQ(winsim::hidStats(keyboard).pendingReads, 1);

    // Once the read ends, the reader ends, and the next close releases what it held.
    winsim::detachHid(keyboard);
    ASSERT_TRUE(support::waitUntil(
        [&] { return winsim::counters().runningThreads == idle.runningThreads; }));
    library.close();
    EXPECT_EQ(winsim::counters(), idle);
}

}  // namespace
