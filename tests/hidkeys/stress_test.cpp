// Open/close cycles while key reports flow on two devices and another thread writes output
// reports: run under ThreadSanitizer and AddressSanitizer, this catches races on the device
// table, entries freed under a reader or a BUK_Control, and I/O completing into freed buffers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "library_host.h"
#include "winsim/machine.h"

namespace {

using host::Host;
using host::Key;
using host::Library;
using host::Notice;

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

// The ids the host believes live, kept from the notices as they arrive; every inconsistency is
// counted rather than asserted, since the notices come on the library's threads.
struct LiveIds {
    std::mutex mutex;
    std::set<int> ids;
    int faults = 0;

    void notice(const Notice& n) {
        std::lock_guard<std::mutex> lock(mutex);
        DWORD kind = n.kind & ~static_cast<DWORD>(NoticeResumeMark);
        if (n.deviceId == 0) return;  // nothing found
        bool known = ids.count(n.deviceId) != 0;
        if (kind == NoticeArrived) {
            faults += known ? 1 : 0;  // announced twice while live
            ids.insert(n.deviceId);
        } else {
            faults += known ? 0 : 1;  // removed without being live
            ids.erase(n.deviceId);
        }
    }
    // A suspend closes every device without a word; the resume opens those present again,
    // numbered from 1, also without a word.
    void reset(int present) {
        std::lock_guard<std::mutex> lock(mutex);
        ids.clear();
        for (int id = 1; id <= present; ++id)
            ids.insert(id);
    }
};

TEST(Stress, PlugUnplugAndPowerEventsWhileKeysFlowAndHostsWrite) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    Host host;
    Library library;
    LiveIds live;
    host.onNotice = [&](const Notice& n) { live.notice(n); };

    const int kKeyboards = 4;
    std::vector<winsim::DeviceId> keyboards;
    for (int i = 0; i < kKeyboards; ++i) {
        keyboards.push_back(winsim::attachHid(host::extraKeyCollection()));
        winsim::detachHid(keyboards.back());
    }
    winsim::HidCollection other = host::extraKeyCollection();
    other.productId = 0x0999;
    winsim::DeviceId stranger = winsim::attachHid(other);
    winsim::detachHid(stranger);
    const winsim::Counters idle = winsim::counters();
    std::vector<bool> attached(kKeyboards, false);
    std::atomic<int> attachedMask{0};

    ASSERT_EQ(library.open(host.hwnd()), 1);
    std::atomic<bool> done{false};
    std::thread reports([&] {
        for (int i = 0; !done; ++i) {
            int mask = attachedMask;
            for (int k = 0; k < kKeyboards; ++k) {
                if (mask & (1 << k)) host::pushKey(keyboards[k], i % 2 == 0 ? 0x03 : 0x00);
            }
            Sleep(1);
        }
    });
    std::thread writes([&] {
        for (int i = 0; !done; ++i)
            library.control(1 + i % 6, i);
    });

    bool strangerAttached = false;
    for (int event = 0; event < 1500; ++event) {
        int choice = static_cast<int>(random() % 10);
        if (choice < 6) {
            int k = static_cast<int>(random() % kKeyboards);
            if (attached[k]) {
                winsim::detachHid(keyboards[k]);
            } else {
                winsim::reattachHid(keyboards[k]);
            }
            attached[k] = !attached[k];
            attachedMask ^= 1 << k;
        } else if (choice < 7) {
            strangerAttached ? winsim::detachHid(stranger) : winsim::reattachHid(stranger);
            strangerAttached = !strangerAttached;
        } else if (choice < 9) {
            winsim::broadcastPower(PBT_APMSUSPEND);
            live.reset(0);
            // Now and then something is plugged or unplugged while the system sleeps.
            if (random() % 2 == 0) {
                int k = static_cast<int>(random() % kKeyboards);
                attached[k] ? winsim::detachHid(keyboards[k]) : winsim::reattachHid(keyboards[k]);
                attached[k] = !attached[k];
                attachedMask ^= 1 << k;
            }
            winsim::broadcastPower(random() % 2 == 0 ? PBT_APMRESUMESUSPEND
                                                     : PBT_APMRESUMECRITICAL);
            int present = 0;
            for (bool a : attached)
                present += a ? 1 : 0;
            live.reset(present);
        } else {
            const WPARAM stray[] = {PBT_APMQUERYSUSPEND, PBT_APMQUERYSUSPENDFAILED,
                                    PBT_APMPOWERSTATUSCHANGE, PBT_APMRESUMEAUTOMATIC};
            winsim::broadcastPower(stray[random() % 4]);
        }
    }
    done = true;
    reports.join();
    writes.join();

    ASSERT_EQ(library.close(), 1);
    for (int k = 0; k < kKeyboards; ++k) {
        if (attached[k]) winsim::detachHid(keyboards[k]);
    }
    if (strangerAttached) winsim::detachHid(stranger);
    EXPECT_EQ(live.faults, 0);
    EXPECT_TRUE(live.ids.empty());
    EXPECT_EQ(winsim::counters(), idle);
}

}  // namespace
