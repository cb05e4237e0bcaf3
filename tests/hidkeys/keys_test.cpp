// Input reports as key messages: the key table, press and release pairs across devices, and
// the reports that post nothing.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "library_host.h"
#include "winsim/machine.h"

namespace {

using host::Host;
using host::Key;
using host::Library;
using host::press;
using host::release;

class Keys : public ::testing::TestWithParam<Host::Mode> {};

INSTANTIATE_TEST_SUITE_P(HostWindow, Keys, host::allHostModes(), host::hostModeName);

// Pushes `reports` (report id, key byte), then a press and release of key 6 that marks the end:
// reports of one device are decoded in order, so once the marker has arrived every report
// before it has been handled. Returns the key messages that came before the marker.
std::vector<Key> keysFor(Host& host, winsim::DeviceId device,
                         const std::vector<std::pair<uint8_t, uint8_t>>& reports) {
    size_t before = host.keys().size();
    for (const auto& [reportId, keyByte] : reports)
        host::pushKey(device, keyByte, reportId);
    host::pushKey(device, 0x05);
    host::pushKey(device, 0x00);
    std::vector<Key> keys;
    for (;;) {
        bool more = host.waitForKeys(before + keys.size() + 1);
        keys = host.keys();
        keys.erase(keys.begin(), keys.begin() + static_cast<long>(before));
        if (keys.size() >= 2 && keys[keys.size() - 2] == press(0x600) &&
            keys.back() == release(0x600)) {
            keys.resize(keys.size() - 2);
            return keys;
        }
        if (!more || keys.size() > reports.size() + 2) {
            ADD_FAILURE() << "the end marker did not arrive";
            return keys;
        }
    }
}

TEST_P(Keys, ReportsBecomePressesAndReleases) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint8_t, uint8_t>> reports;
        std::vector<Key> keys;
    };
    const Case cases[] = {
        {"press and release", {{2, 0x01}, {2, 0x00}}, {press(0x100), release(0x100)}},
        {"every key of the table",
         {{2, 0x01}, {2, 0x02}, {3, 0x03}, {3, 0xE2}, {2, 0x04}, {2, 0x05}},
         {press(0x100), press(0x200), press(0x300), press(0x400), press(0x500), press(0x600)}},
        {"codes not in the table keep the press",
         {{2, 0x02}, {2, 0x06}, {2, 0x7F}, {2, 0xE3}, {2, 0x80}, {2, 0x00}},
         {press(0x200), release(0x200)}},
        {"release without a press", {{2, 0x00}, {3, 0x00}}, {}},
        {"other report ids",
         {{0, 0x01}, {1, 0x02}, {4, 0x03}, {2, 0x02}, {4, 0x00}, {1, 0x00}, {3, 0x00}},
         {press(0x200), release(0x200)}},
        {"two presses, one release",
         {{2, 0x02}, {2, 0x03}, {2, 0x00}, {2, 0x00}},
         {press(0x200), press(0x300), release(0x300)}},
        {"the same press twice", {{2, 0x01}, {2, 0x01}}, {press(0x100), press(0x100)}},
    };
    Host host(GetParam());
    Library library;
    winsim::DeviceId keyboard = host::attachKeyboard();
    ASSERT_EQ(library.open(host.hwnd()), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keysFor(host, keyboard, c.reports), c.keys);
    }
    library.close();
}

TEST(KeysAcrossDevices, AReleaseFromAnyDeviceReleasesTheLastPress) {
    Host host;
    Library library;
    winsim::DeviceId first = winsim::attachHid(host::extraKeyCollection());
    winsim::DeviceId second = winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 3);

    host::pushKey(first, 0x01);
    ASSERT_TRUE(host.waitForKeys(1));
    host::pushKey(second, 0x00);
    ASSERT_TRUE(host.waitForKeys(2));
    EXPECT_EQ(keysFor(host, first, {{2, 0x00}}), std::vector<Key>{});
    EXPECT_EQ(host.keys()[0], press(0x100));
    EXPECT_EQ(host.keys()[1], release(0x100));
    library.close();
}

TEST(KeysAcrossDevices, AKeyHeldWhileItsDeviceGoesIsReleasedByTheNextDevice) {
    Host host;
    Library library;
    winsim::DeviceId first = winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host::pushKey(first, 0x02);
    ASSERT_TRUE(host.waitForKeys(1));
    library.close();
    winsim::detachHid(first);

    // The press outlives the device and the library's close and open.
    winsim::DeviceId second = winsim::attachHid(host::extraKeyCollection());
    ASSERT_EQ(library.open(host.hwnd()), 2);
    host::pushKey(second, 0x00);
    ASSERT_TRUE(host.waitForKeys(2));
    EXPECT_EQ(host.keys(), (std::vector<Key>{press(0x200), release(0x200)}));
    library.close();
}

}  // namespace
