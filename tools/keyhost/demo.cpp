// keyhost --demo: a scripted session on the simulated machine. The keyboard and another maker's
// HID device are plugged in, the extra keys are pressed, an output value is written, the system
// suspends and resumes, the keyboard is unplugged and plugged in again, and the library closes.
// Every line the host window receives is printed as it comes.
#include <stdio.h>

#include <sstream>
#include <string>
#include <vector>

#include "keyhost.h"
#include "winsim/hid.h"
#include "winsim/machine.h"

namespace {

// The keyboard's HID collections: the boot keyboard on interface 0, which the system keeps for
// itself, and three collections on interface 1, of which usage 1 carries the extra keys.
struct Keyboard {
    std::vector<winsim::DeviceId> collections;
    winsim::DeviceId extraKeys = 0;
};

winsim::HidCollection keyboardCollection(USHORT usagePage, USHORT usage, int interfaceNumber,
                                         int collection) {
    winsim::HidCollection c;
    c.vendorId = 0x03F0;
    c.productId = 0x0122;
    c.version = 0x0100;
    c.usagePage = usagePage;
    c.usage = usage;
    c.inputReportLength = 3;
    c.outputReportLength = 8;
    c.interfaceNumber = interfaceNumber;
    c.collection = collection;
    return c;
}

Keyboard plugInKeyboard() {
    Keyboard keyboard;
    winsim::HidCollection boot = keyboardCollection(0x01, 0x06, 0, 0);
    boot.inputReportLength = 9;
    boot.outputReportLength = 2;
    boot.readWrite = false;
    keyboard.collections.push_back(winsim::attachHid(boot));
    keyboard.extraKeys = winsim::attachHid(keyboardCollection(0x0C, 0x01, 1, 1));
    keyboard.collections.push_back(keyboard.extraKeys);
    keyboard.collections.push_back(winsim::attachHid(keyboardCollection(0x01, 0x80, 1, 2)));
    keyboard.collections.push_back(winsim::attachHid(keyboardCollection(0xFF00, 0x02, 1, 3)));
    return keyboard;
}

void plugInAnotherDevice() {
    winsim::HidCollection mouse;
    mouse.vendorId = 0x1D57;
    mouse.productId = 0x0005;
    mouse.usagePage = 0x01;
    mouse.usage = 0x02;
    mouse.inputReportLength = 5;
    winsim::attachHid(mouse);
}

// The key byte of each extra key, key 1 first.
const uint8_t KeyBytes[6] = {0x01, 0x02, 0x03, 0xE2, 0x04, 0x05};

class Script {
  public:
    explicit Script(const KeyLibrary& library) : library_(library) {}

    void step(const char* text) { printNote("\n== %s", text); }

    // Waits for the `count` lines that the last action makes the host window print.
    void expect(LONG count) {
        expected_ += count;
        if (!waitForEvents(expected_)) {
            printNote("   !! the host window did not receive the expected %ld lines", (long)count);
            ok_ = false;
        }
    }

    void pushKey(winsim::DeviceId device, uint8_t keyByte) {
        winsim::pushInputReport(device, {0x02, keyByte, 0x00});
        expect(1);
    }

    void pressAndRelease(winsim::DeviceId device, int key) {
        pushKey(device, KeyBytes[key - 1]);
        pushKey(device, 0x00);
    }

    int write(int id, int value) {
        int result = library_.control(id, value);
        printNote("   BUK_Control(%d, 0x%02X) returned %d", id, value, result);
        if (result == 1) ++writes_;
        return result;
    }

    void check(bool condition, const char* what) {
        if (condition) return;
        printNote("   !! %s", what);
        ok_ = false;
    }

    bool ok() const { return ok_; }
    int writes() const { return writes_; }

  private:
    const KeyLibrary& library_;
    LONG expected_ = 0;
    int writes_ = 0;
    bool ok_ = true;
};

std::string hexBytes(const winsim::Bytes& bytes) {
    std::string text;
    char byte[4];
    for (uint8_t b : bytes) {
        snprintf(byte, sizeof byte, "%s%02X", text.empty() ? "" : " ", b);
        text += byte;
    }
    return text;
}

}  // namespace

int runDemo(const char* libraryPath) {
    printNote(
        "keyhost demo: the extra keys of a simulated keyboard, as a host application sees "
        "them.");
    printNote("Lines that start with [seconds] are messages the host window received.");
    const winsim::Counters before = winsim::counters();

    printNote(
        "\n== The keyboard (its boot keyboard and three collections of its extra-key "
        "interface) and");
    printNote(
        "   another maker's HID device are plugged in. The host loads the library and "
        "opens it.");
    Keyboard keyboard = plugInKeyboard();
    plugInAnotherDevice();
    KeyLibrary library;
    if (!loadKeyLibrary(libraryPath, &library)) return 1;
    HWND window = startHostWindow();
    if (window == 0) {
        fprintf(stderr, "keyhost: can't create the host window\n");
        return 1;
    }
    Script script(library);
    int next = library.open(window, KeyMessage, NoticeMessage);
    script.expect(1);
    printNote("   BUK_Open returned %d: one device, the extra-key collection, with id 1", next);
    script.check(next == 2, "BUK_Open should have returned 2");

    script.step("Each extra key is pressed and released.");
    for (int key = 1; key <= 6; ++key)
        script.pressAndRelease(keyboard.extraKeys, key);

    script.step("Key 3 is held down while key 4 is pressed; the one release ends the last press.");
    script.pushKey(keyboard.extraKeys, KeyBytes[2]);
    script.pushKey(keyboard.extraKeys, KeyBytes[4 - 1]);
    script.pushKey(keyboard.extraKeys, 0x00);

    script.step("The host writes the value 0x5A to device 1.");
    script.write(1, 0x5A);
    std::vector<winsim::Bytes> written = winsim::writtenReports(keyboard.extraKeys);
    printNote("   the device received the output report: %s",
              written.empty() ? "nothing" : hexBytes(written.back()).c_str());
    script.check(written.size() == 1, "the device should have received one output report");

    script.step(
        "The system suspends and resumes. The host hears nothing: the device is closed "
        "and opened again, still as id 1.");
    winsim::broadcastPower(PBT_APMQUERYSUSPEND);
    winsim::broadcastPower(PBT_APMSUSPEND);
    winsim::broadcastPower(PBT_APMRESUMESUSPEND);
    winsim::broadcastPower(PBT_APMRESUMEAUTOMATIC);
    script.pressAndRelease(keyboard.extraKeys, 5);
    script.write(1, 0x01);

    script.step("The keyboard is unplugged.");
    for (winsim::DeviceId collection : keyboard.collections)
        winsim::detachHid(collection);
    script.expect(1);
    script.write(1, 0x02);

    script.step("The keyboard is plugged in again: a new id.");
    for (winsim::DeviceId collection : keyboard.collections)
        winsim::reattachHid(collection);
    script.expect(1);
    script.pressAndRelease(keyboard.extraKeys, 6);
    script.write(2, 0x03);

    script.step("The host closes the library.");
    int closed = library.close();
    printNote("   BUK_Close returned %d", closed);
    stopHostWindow();
    unloadKeyLibrary(&library);

    HostTally tally = hostTally();
    int received = (int)winsim::writtenReports(keyboard.extraKeys).size();
    winsim::Counters left = winsim::counters();
    bool released = left == before;
    script.step("Summary");
    printNote("   devices seen:   %ld arrivals, %ld removals", (long)tally.arrivals,
              (long)tally.removals);
    printNote("   key messages:   %ld presses, %ld releases", (long)tally.presses,
              (long)tally.releases);
    printNote("   output reports: %d written by the host, %d received by the keyboard",
              script.writes(), received);
    if (released) {
        printNote(
            "   released:       everything (no handle, thread, window, class, "
            "registration, global memory block or pending I/O left)");
    } else {
        std::ostringstream text;
        text << left;
        printNote("   released:       NOT everything; left: %s", text.str().c_str());
    }
    script.check(released, "the library should have released everything");
    script.check(tally.arrivals == 2 && tally.removals == 2, "two arrivals, two removals");
    script.check(tally.presses == 10 && tally.releases == 9, "10 presses, 9 releases");
    script.check(received == 3, "three output reports");
    return script.ok() ? 0 : 1;
}
