// Open/close cycles while key reports flow on two devices and another thread writes output
// reports: run under ThreadSanitizer and AddressSanitizer, this catches races on the device
// table, entries freed under a reader or a BUK_Control, and I/O completing into freed buffers.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "library_host.h"
#include "winsim/machine.h"

namespace {

using host::Host;
using host::Key;
using host::Library;

TEST(Stress, OpenCloseCyclesWithReportsAndWritesInFlight) {
    Host host;
    Library library;
    winsim::DeviceId first = winsim::attachHid(host::extraKeyCollection());
    winsim::DeviceId second = winsim::attachHid(host::extraKeyCollection());
    const winsim::Counters idle = winsim::counters();

    std::atomic<bool> done{false};
    std::thread reports([&] {
        // Presses and releases from both devices at once: releases race for lastKeyCode.
        for (int i = 0; !done; ++i) {
            host::pushKey(first, i % 2 == 0 ? 0x01 : 0x00);
            host::pushKey(second, i % 2 == 0 ? 0x02 : 0x00);
            Sleep(1);
        }
    });
    std::thread writes([&] {
        for (int i = 0; !done; ++i)
            library.control(1 + i % 3, i);
    });

    for (int cycle = 0; cycle < 30; ++cycle) {
        ASSERT_EQ(library.open(host.hwnd()), 3);
        Sleep(cycle % 5 * 5);
        ASSERT_EQ(library.close(), 1);
    }
    done = true;
    reports.join();
    writes.join();
    EXPECT_EQ(winsim::counters(), idle);

    // Each press is released at most once, however the releases of the two devices meet.
    host.pumpFor(50);
    size_t presses = 0, releases = 0;
    for (const Key& key : host.keys())
        ++(key.lParam == KeyReleasedFlag ? releases : presses);
    EXPECT_GT(presses, 0u);
    EXPECT_LE(releases, presses);
}

}  // namespace
