// BUK_Control: the output report, the ids that find a device, how a write ends, and the entry's
// life while a call uses it.
#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "library_host.h"
#include "message_log.h"
#include "winsim/machine.h"

namespace {

using host::Host;
using host::Library;
using winsim::Bytes;

TEST(Control, WritesTheOutputReportToTheDeviceWithThatId) {
    struct Case {
        const char* name;
        int id, value;
        USHORT outputLength;
        winsim::WriteBehaviour write;
        int result;
        std::vector<Bytes> written;
    };
    const Bytes full = {3, 0x41, 0, 0, 0, 0, 0, 0};
    const Case cases[] = {
        {"id 0", 0, 0x41, 8, {}, 0, {}},
        {"unknown id", 7, 0x41, 8, {}, 0, {}},
        {"id above 16 bits", 0x10001, 0x41, 8, {}, 0, {}},
        {"eight-byte report", 1, 0x41, 8, {}, 1, {full}},
        {"only the low byte is sent", 1, 0x1FF, 8, {}, 1, {{3, 0xFF, 0, 0, 0, 0, 0, 0}}},
        {"high bit", 1, 0x80, 2, {}, 1, {{3, 0x80}}},
        {"write that pends and completes", 1, 0x41, 8, {.pend = true}, 1, {full}},
        {"short write", 1, 0x41, 8, {.bytes = 4}, 0, {full}},
        {"short write that pends", 1, 0x41, 8, {.pend = true, .bytes = 7}, 0, {full}},
        {"write that fails at once", 1, 0x41, 8, {.error = ERROR_GEN_FAILURE}, 0, {}},
        {"write that pends and fails",
         1,
         0x41,
         8,
         {.pend = true, .error = ERROR_GEN_FAILURE},
         0,
         {}},
        {"no output report", 1, 0x41, 0, {}, 0, {}},
        {"output report of one byte", 1, 0x41, 1, {}, 0, {}},
    };
    Host host;
    Library library;
    const winsim::Counters idle = winsim::counters();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::DeviceId device = winsim::attachHid(host::extraKeyCollection(3, c.outputLength));
        winsim::setWriteBehaviour(device, c.write);
        ASSERT_EQ(library.open(host.hwnd()), 2);

        auto call = std::async(std::launch::async, [&] { return library.control(c.id, c.value); });
        if (c.write.pend) {
            ASSERT_TRUE(
                support::waitUntil([&] { return winsim::hidStats(device).pendingWrites == 1; }));
            EXPECT_EQ(call.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
            winsim::releaseWrites(device);
        }
        EXPECT_EQ(call.get(), c.result);
        EXPECT_EQ(winsim::writtenReports(device), c.written);

        library.close();
        winsim::detachHid(device);
        EXPECT_EQ(winsim::counters(), idle);
    }
}

TEST(Control, CallsForOneDeviceAreSerialised) {
    Host host;
    Library library;
    winsim::DeviceId device = winsim::attachHid(host::extraKeyCollection());
    winsim::setWriteBehaviour(device, {.pend = true});
    ASSERT_EQ(library.open(host.hwnd()), 2);

    auto first = std::async(std::launch::async, [&] { return library.control(1, 0x11); });
    ASSERT_TRUE(support::waitUntil([&] { return winsim::hidStats(device).pendingWrites == 1; }));
    auto second = std::async(std::launch::async, [&] { return library.control(1, 0x22); });
    // The second call waits for the first write to end before it touches the buffer.
    Sleep(50);
    EXPECT_EQ(winsim::hidStats(device).writesIssued, 1);
    winsim::releaseWrites(device);
    ASSERT_TRUE(support::waitUntil([&] { return winsim::hidStats(device).writesIssued == 2; }));
    winsim::releaseWrites(device);
    EXPECT_EQ(first.get() + second.get(), 2);
    std::vector<Bytes> written = winsim::writtenReports(device);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_NE(written[0], written[1]);  // each call's own report, none overwritten
    library.close();
}

TEST(Control, TheDeviceOutlivesItsRemovalWhileACallUsesIt) {
    Host host;
    Library library;
    winsim::DeviceId device = winsim::attachHid(host::extraKeyCollection());
    winsim::setWriteBehaviour(device, {.pend = true});
    const winsim::Counters idle = winsim::counters();
    ASSERT_EQ(library.open(host.hwnd()), 2);

    auto call = std::async(std::launch::async, [&] { return library.control(1, 0x41); });
    ASSERT_TRUE(support::waitUntil([&] { return winsim::hidStats(device).pendingWrites == 1; }));
    library.close();
    EXPECT_EQ(host.notices(), (std::vector<host::Notice>{host::arrived(1), host::removed(1)}));
    EXPECT_EQ(winsim::hidStats(device).openHandles, 1);  // the call still writes through it

    winsim::releaseWrites(device);
    EXPECT_EQ(call.get(), 1);
    EXPECT_EQ(winsim::counters(), idle);
}

TEST(Control, ADeviceIsFoundOnlyOnceItsArrivalNoticeHasBeenHandled) {
    Host host(Host::CallingThread);
    Library library;
    winsim::attachHid(host::extraKeyCollection());
    std::vector<int> duringNotice;
    host.onNotice = [&](const host::Notice& notice) {
        duringNotice.push_back(library.control(notice.deviceId, 0x41));
    };
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host.onNotice = nullptr;
    EXPECT_EQ(duringNotice, std::vector<int>{0});
    EXPECT_EQ(library.control(1, 0x41), 1);
    library.close();
}

}  // namespace
