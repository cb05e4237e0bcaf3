// The device walk: which HID interfaces become devices, and how a failing walk ends.
#include <gtest/gtest.h>

#include <functional>
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

TEST(Discovery, OnlyTheExtraKeyCollectionOfTheKeyboardIsEntered) {
    struct Case {
        const char* name;
        std::function<void(winsim::HidCollection&)> describe;
        winsim::HidFaults faults;
        bool entered;
    };
    auto keep = [](winsim::HidCollection&) {};
    const Case cases[] = {
        {"extra-key collection", keep, {}, true},
        {"usage 1 on another usage page", [](auto& c) { c.usagePage = 0xFF00; }, {}, true},
        {"no input report", [](auto& c) { c.inputReportLength = 0; }, {}, true},
        {"no output report", [](auto& c) { c.outputReportLength = 0; }, {}, true},
        {"another vendor", [](auto& c) { c.vendorId = 0x03F1; }, {}, false},
        {"another product", [](auto& c) { c.productId = 0x0123; }, {}, false},
        {"usage other than 1", [](auto& c) { c.usage = 2; }, {}, false},
        {"kept by the system", [](auto& c) { c.readWrite = false; }, {}, false},
        {"open fails", keep, {.openError = ERROR_SHARING_VIOLATION}, false},
        {"no preparsed data", keep, {.preparsedData = true}, false},
        {"no attributes", keep, {.attributes = true}, false},
        {"no caps", keep, {.caps = true}, false},
    };
    Host host;
    Library library;
    const winsim::Counters idle = winsim::counters();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::HidCollection collection = host::extraKeyCollection();
        c.describe(collection);
        winsim::DeviceId id = winsim::attachHid(collection);
        winsim::setHidFaults(id, c.faults);

        EXPECT_EQ(library.open(host.hwnd()), c.entered ? 2 : 1);
        EXPECT_EQ(host.takeNotices(), c.entered ? std::vector<Notice>{arrived(1)}
                                                : std::vector<Notice>{nothingFound()});
        // A collection that is not entered is closed again, its preparsed data given back.
        winsim::Counters open = winsim::counters();
        EXPECT_EQ(open.deviceHandles, c.entered ? 1 : 0);
        EXPECT_EQ(open.preparsedData, c.entered ? 1 : 0);
        EXPECT_EQ(winsim::hidStats(id).openHandles, c.entered ? 1 : 0);

        library.close();
        host.takeNotices();
        EXPECT_EQ(winsim::counters(), idle);
        winsim::detachHid(id);
    }
}

TEST(Discovery, NoMemoryForAnEntryEndsTheWalkAndKeepsWhatWasEntered) {
    Host host;
    Library library;
    for (int i = 0; i < 4; ++i)
        winsim::attachHid(host::extraKeyCollection());
    library.failEntryAllocation(3);

    EXPECT_EQ(library.open(host.hwnd()), 3);
    EXPECT_EQ(host.notices(), (std::vector<Notice>{arrived(1), arrived(2)}));
    EXPECT_EQ(winsim::counters().deviceHandles, 2);
    EXPECT_EQ(winsim::counters().deviceInfoSets, 0);
    library.close();
}

TEST(Discovery, ADeviceThatCantBeAddedEndsTheWalkAndUsesNoId) {
    // Opening makes one call of each before the walk: the class-wide registration, the ready
    // event, the notification thread.
    const winsim::Fault faults[] = {winsim::Fault::RegisterDeviceNotification,
                                    winsim::Fault::CreateEvent, winsim::Fault::CreateThread};
    Host host;
    Library library;
    winsim::attachHid(host::extraKeyCollection());
    winsim::attachHid(host::extraKeyCollection());
    for (winsim::Fault fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        // The first device's handle registration, stop event or reader thread fails. Its
        // registration is undone, its device released, the walk ends.
        winsim::failAfter(fault, 1);
        EXPECT_EQ(library.open(host.hwnd()), 1);
        EXPECT_EQ(host.takeNotices(), std::vector<Notice>{nothingFound()});
        EXPECT_EQ(winsim::counters().deviceHandles, 0);
        // Only the class-wide registration is left.
        EXPECT_TRUE(support::waitUntil([] { return winsim::deviceNotifications().size() == 1; }));
        library.close();
    }
    EXPECT_EQ(library.open(host.hwnd()), 3);
    EXPECT_EQ(host.takeNotices(), (std::vector<Notice>{arrived(1), arrived(2)}));
    library.close();
}

TEST(Discovery, AFailingDeviceSetEndsTheWalk) {
    struct Case {
        const char* name;
        winsim::Fault fault;
        DWORD error;
        int result;
        std::vector<Notice> notices;
    };
    const Case cases[] = {
        // No set at all: nothing found.
        {"no device set", winsim::Fault::SetupDiGetClassDevs, 0, 1, {nothingFound()}},
        // An enumeration error other than the end of the list ends the walk there.
        {"enumeration error",
         winsim::Fault::SetupDiEnumDeviceInterfaces,
         ERROR_INVALID_PARAMETER,
         1,
         {nothingFound()}},
        // A member whose detail can't be read is skipped; the walk goes on.
        {"detail error", winsim::Fault::SetupDiGetDeviceInterfaceDetail, 0, 2, {arrived(1)}},
    };
    Host host;
    Library library;
    winsim::attachHid(host::extraKeyCollection());
    winsim::attachHid(host::extraKeyCollection());
    const winsim::Counters idle = winsim::counters();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::failNext(c.fault, 1, c.error);
        EXPECT_EQ(library.open(host.hwnd()), c.result);
        EXPECT_EQ(host.takeNotices(), c.notices);
        library.close();
        host.takeNotices();
        EXPECT_EQ(winsim::counters(), idle);
    }
}

}  // namespace
