// Open/close cycles while key reports flow on two devices and another thread writes output
// reports: run under ThreadSanitizer and AddressSanitizer, this catches races on the device
// table, entries freed under a reader or a BUK_Control, and I/O completing into freed buffers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library_host.h"
#include "message_log.h"
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

// ---- the seeded scenario driver ---------------------------------------------------------------
//
// One run: the library open on a host window of its own thread; two host threads calling
// BUK_Control for random ids and now and then BUK_Open again; the driver (the test's thread)
// attaching and detaching up to 16 keyboards collection by collection and other makers' devices,
// sending suspend/resume pairs and stray power codes, changing how writes end, and pushing input
// reports on every attached collection. Everything random comes from the seed, which a failure
// prints. HIDKEYS_STRESS_SEED and HIDKEYS_STRESS_EVENTS choose the seed and the length.
//
// What is checked, besides the sanitizers' findings:
// - the notices: every arrival of an id not live, every removal of a live one, with a suspend
//   making every id dead and the resume that follows it making ids 1..n live, n the keyboards
//   present; at every quiet point as many live ids as keyboards present, and none after
//   BUK_Close;
// - at every quiet point, the library holds exactly one handle on each keyboard present and none
//   on anything else;
// - the keys: only the first keyboard ("exact") sends reports that make key messages; every
//   other collection sends reports that the key table turns into nothing. Every report the
//   exact keyboard's reader got must give the key message of the table, in order, and nothing
//   else may reach the host;
// - every output report that reached a device is 3, value, zeros;
// - after BUK_Close nothing is left: winsim's counters are back to the idle ones and the library
//   holds no heap block;
// - a watchdog ends a run that stops making progress, printing the seed and the recent events.

int environmentNumber(const char* name, int fallback) {
    const char* text = getenv(name);
    return text != nullptr && *text != 0 ? static_cast<int>(strtoul(text, nullptr, 0)) : fallback;
}

// The key table of the system description: the key byte of a press and the key message's wParam.
const std::map<uint8_t, WPARAM> kPressOfKeyByte = {{0x01, 0x0100}, {0x02, 0x0200}, {0x03, 0x0300},
                                                   {0xE2, 0x0400}, {0x04, 0x0500}, {0x05, 0x0600}};

// The key messages that a run of input reports gives, with one release state for all of them.
std::vector<Key> keyMessagesOf(const std::vector<winsim::Bytes>& reports) {
    std::vector<Key> keys;
    WPARAM lastPress = 0;
    for (const winsim::Bytes& report : reports) {
        if (report.size() < 2 || (report[0] != 2 && report[0] != 3)) continue;
        auto press = kPressOfKeyByte.find(report[1]);
        if (press != kPressOfKeyByte.end()) {
            lastPress = press->second;
            keys.push_back(host::press(lastPress));
        } else if (report[1] == 0 && lastPress != 0) {
            keys.push_back(host::release(lastPress));
            lastPress = 0;
        }
    }
    return keys;
}

// Reports that the key table turns into nothing: other report ids, whatever their key byte
// (0 included, which is no release there), and key bytes the table does not hold.
winsim::Bytes silentReport(std::mt19937& random) {
    const uint8_t otherIds[] = {0, 1, 4, 0x7F};
    const uint8_t unknownKeys[] = {0x06, 0x7F, 0x80, 0xE3, 0xFF};
    if (random() % 2 == 0) {
        return {otherIds[random() % 4], static_cast<uint8_t>(random() % 3 == 0 ? 0 : random())};
    }
    return {static_cast<uint8_t>(2 + random() % 2), unknownKeys[random() % 5]};
}

// Presses of every key, releases, and silent reports, in report 2 or 3.
winsim::Bytes exactKeyboardReport(std::mt19937& random) {
    uint8_t reportId = static_cast<uint8_t>(2 + random() % 2);
    int choice = static_cast<int>(random() % 10);
    if (choice < 4) {
        auto key = kPressOfKeyByte.begin();
        std::advance(key, random() % kPressOfKeyByte.size());
        return {reportId, key->first};
    }
    if (choice < 7) return {reportId, 0};
    return silentReport(random);
}

// What the host learns from the notices and the power broadcasts its window receives, in the
// order it receives them (all on the host window's thread).
struct NoticeModel {
    std::mutex mutex;
    std::set<int> live;
    std::vector<std::string> faults;
    std::deque<std::string> recent;  // for the watchdog's dump
    bool suspended = false;
    // Keyboards present while the driver's resume is handled; the resume enters them all.
    std::atomic<int> presentAtResume{0};

    void note(const std::string& what) {
        recent.push_back(what);
        if (recent.size() > 40) recent.pop_front();
    }
    // Kept with what the host received just before it.
    void fault(const std::string& what) {
        std::string context = what + "; the host received before it:";
        for (const std::string& e : recent)
            context += "\n    " + e;
        faults.push_back(context);
        note("FAULT " + what);
    }

    void notice(const Notice& n) {
        std::lock_guard<std::mutex> lock(mutex);
        DWORD kind = n.kind & ~static_cast<DWORD>(NoticeResumeMark);
        std::ostringstream text;
        text << n;
        note("notice " + text.str());
        if (n.deviceId == 0) {  // nothing found
            if (kind != NoticeRemoved || n.vendorId != 0 || n.productId != 0)
                fault("a notice for id 0: " + text.str());
            return;
        }
        if (n.vendorId != 0x03F0 || n.productId != 0x0122 || n.reserved != 0 ||
            (kind != NoticeArrived && kind != NoticeRemoved)) {
            fault("a malformed notice " + text.str());
        }
        bool known = live.count(n.deviceId) != 0;
        if (kind == NoticeArrived) {
            if (known) fault("id " + std::to_string(n.deviceId) + " announced twice while live");
            live.insert(n.deviceId);
        } else {
            if (!known) fault("removal of id " + std::to_string(n.deviceId) + ", not live");
            live.erase(n.deviceId);
        }
    }

    // The NotifyWindow is newer than the host's window, so it has handled the broadcast by now.
    void power(WPARAM event) {
        std::lock_guard<std::mutex> lock(mutex);
        note("power " + std::to_string(event));
        if (event == PBT_APMSUSPEND) {
            live.clear();  // quietly
            suspended = true;
        } else if ((event == PBT_APMRESUMESUSPEND || event == PBT_APMRESUMECRITICAL) && suspended) {
            // The resume walk enters every keyboard present, quietly, numbered from 1.
            live.clear();
            for (int id = 1; id <= presentAtResume; ++id)
                live.insert(id);
            suspended = false;
        }
    }

    std::vector<int> liveIds() {
        std::lock_guard<std::mutex> lock(mutex);
        return {live.begin(), live.end()};
    }
    std::vector<std::string> faultsSoFar() {
        std::lock_guard<std::mutex> lock(mutex);
        return faults;
    }
};

// One keyboard: its four collections, each attached or not.
struct Keyboard {
    std::vector<winsim::DeviceId> collections;  // the extra-key collection first
    std::vector<bool> attached;
};

class StressRun {
  public:
    StressRun(unsigned seed, int events) : seed_(seed), events_(events), random_(seed) {}
    void run();

  private:
    static constexpr int kKeyboards = 16;
    static constexpr int kSteady = 3;  // keyboards 0..2 stay attached; keyboard 0 is the exact one

    void setUp();
    void driveEvent(int event);
    void toggle(winsim::DeviceId device, bool* attached);
    void toggleAny();
    void suspendAndResume();
    void pushReports();
    void checkQuietPoint(const char* where);
    void finish();
    int keyboardsPresent() const;
    std::vector<std::pair<winsim::DeviceId, bool>> everyCollection() const;
    void hostThread(unsigned seed);
    void watchdog();
    void log(const std::string& what);
    std::string dump();

    unsigned seed_;
    int events_;
    std::mt19937 random_;
    Host host_;
    Library library_;
    NoticeModel model_;
    std::vector<Keyboard> keyboards_;
    std::vector<winsim::DeviceId> strangers_;
    std::vector<bool> strangerAttached_;
    winsim::Counters idle_;

    std::mutex openLock_;  // BUK_Open from one host thread at a time; the quiet points take it
    std::atomic<bool> done_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> progress_{0};
    std::mutex logLock_;
    std::deque<std::string> recentEvents_;
};

void StressRun::log(const std::string& what) {
    std::lock_guard<std::mutex> lock(logLock_);
    recentEvents_.push_back(what);
    if (recentEvents_.size() > 40) recentEvents_.pop_front();
    ++progress_;
}

void StressRun::setUp() {
    for (int k = 0; k < kKeyboards; ++k) {
        Keyboard keyboard;
        for (const winsim::HidCollection& c : host::keyboardCollections()) {
            keyboard.collections.push_back(winsim::attachHid(c));
            winsim::detachHid(keyboard.collections.back());
            keyboard.attached.push_back(false);
        }
        keyboards_.push_back(keyboard);
    }
    // Another maker's device with the same collection, and the keyboard's maker's other product.
    winsim::HidCollection otherMaker = host::otherMakersCollection();
    winsim::HidCollection otherProduct = host::extraKeyCollection();
    otherProduct.productId = 0x0999;
    for (const winsim::HidCollection& c : {otherMaker, otherProduct}) {
        strangers_.push_back(winsim::attachHid(c));
        winsim::detachHid(strangers_.back());
        strangerAttached_.push_back(false);
    }
    idle_ = winsim::counters();

    // The steady keyboards are there from the start, whole.
    for (int k = 0; k < kSteady; ++k) {
        for (size_t c = 0; c < keyboards_[k].collections.size(); ++c) {
            winsim::reattachHid(keyboards_[k].collections[c]);
            keyboards_[k].attached[c] = true;
        }
    }
    host_.onNotice = [this](const Notice& n) { model_.notice(n); };
    host_.onPower = [this](WPARAM event) { model_.power(event); };
}

int StressRun::keyboardsPresent() const {
    int present = 0;
    for (const Keyboard& k : keyboards_)
        present += k.attached[0] ? 1 : 0;
    return present;
}

std::vector<std::pair<winsim::DeviceId, bool>> StressRun::everyCollection() const {
    std::vector<std::pair<winsim::DeviceId, bool>> all;
    for (const Keyboard& k : keyboards_) {
        for (size_t c = 0; c < k.collections.size(); ++c)
            all.push_back({k.collections[c], k.attached[c]});
    }
    for (size_t s = 0; s < strangers_.size(); ++s)
        all.push_back({strangers_[s], strangerAttached_[s]});
    return all;
}

void StressRun::toggle(winsim::DeviceId device, bool* attached) {
    log(std::string(*attached ? "detach " : "attach ") + std::to_string(device));
    *attached ? winsim::detachHid(device) : winsim::reattachHid(device);
    *attached = !*attached;
}

// Plugs or unplugs one collection of a keyboard that may come and go, or another maker's device.
void StressRun::toggleAny() {
    int choice = static_cast<int>(random_() % 10);
    if (choice < 8) {
        Keyboard& keyboard = keyboards_[kSteady + random_() % (kKeyboards - kSteady)];
        // Mostly the extra-key collection; else one of the keyboard's other collections.
        size_t c = choice < 6 ? 0 : 1 + random_() % 3;
        bool attached = keyboard.attached[c];
        toggle(keyboard.collections[c], &attached);
        keyboard.attached[c] = attached;
    } else {
        size_t s = random_() % strangers_.size();
        bool attached = strangerAttached_[s];
        toggle(strangers_[s], &attached);
        strangerAttached_[s] = attached;
    }
}

void StressRun::suspendAndResume() {
    // The resume renumbers the devices without a notice, so a BUK_Open walk that overlaps the
    // pair would leave the host unable to tell its ids from the notices: the host keeps them
    // apart, as it keeps its own BUK_Open calls apart.
    std::lock_guard<std::mutex> lock(openLock_);
    log("suspend");
    winsim::broadcastPower(PBT_APMSUSPEND);
    // Now and then something is plugged or unplugged while the system sleeps.
    for (int changes = static_cast<int>(random_() % 4) - 1; changes > 0; --changes)
        toggleAny();
    WPARAM resume = random_() % 2 == 0 ? PBT_APMRESUMESUSPEND : PBT_APMRESUMECRITICAL;
    model_.presentAtResume = keyboardsPresent();
    log("resume " + std::to_string(resume));
    winsim::broadcastPower(resume);
}

void StressRun::pushReports() {
    for (size_t k = 0; k < keyboards_.size(); ++k) {
        const Keyboard& keyboard = keyboards_[k];
        for (size_t c = 0; c < keyboard.collections.size(); ++c) {
            if (!keyboard.attached[c] || random_() % 2 != 0) continue;
            winsim::Bytes report =
                k == 0 && c == 0 ? exactKeyboardReport(random_) : silentReport(random_);
            winsim::pushInputReport(keyboard.collections[c], report);
        }
    }
    for (size_t s = 0; s < strangers_.size(); ++s) {
        if (strangerAttached_[s]) winsim::pushInputReport(strangers_[s], silentReport(random_));
    }
}

void StressRun::driveEvent(int event) {
    int choice = static_cast<int>(random_() % 100);
    if (choice < 40) {
        toggleAny();
    } else if (choice < 45) {
        suspendAndResume();
    } else if (choice < 50) {
        // Power codes the library only answers, and now and then a resume without a suspend.
        const WPARAM stray[] = {
            PBT_APMQUERYSUSPEND,       PBT_APMQUERYSTANDBY,    PBT_APMQUERYSUSPENDFAILED,
            PBT_APMQUERYSTANDBYFAILED, PBT_APMSTANDBY,         PBT_APMRESUMESTANDBY,
            PBT_APMPOWERSTATUSCHANGE,  PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND};
        WPARAM code = stray[random_() % (sizeof stray / sizeof stray[0])];
        log("power " + std::to_string(code));
        winsim::broadcastPower(code);
    } else if (choice < 62) {
        // How the writes to one keyboard end from now on: whole, pending, short, failed.
        const winsim::WriteBehaviour behaviours[] = {{},
                                                     {true, -1, 0},
                                                     {false, 1, 0},
                                                     {false, -1, ERROR_GEN_FAILURE},
                                                     {true, 4, 0},
                                                     {true, -1, ERROR_DEVICE_NOT_CONNECTED}};
        size_t b = random_() % (sizeof behaviours / sizeof behaviours[0]);
        size_t k = random_() % keyboards_.size();
        log("writes " + std::to_string(b) + " on keyboard " + std::to_string(k));
        winsim::setWriteBehaviour(keyboards_[k].collections[0], behaviours[b]);
    } else if (choice < 72) {
        size_t k = random_() % keyboards_.size();
        log("release writes on keyboard " + std::to_string(k));
        winsim::releaseWrites(keyboards_[k].collections[0]);
    } else if (choice < 74) {
        bool pend = random_() % 2 == 0;
        log(std::string("reads always pend ") + (pend ? "on" : "off"));
        winsim::setReadsAlwaysPend(pend);
    } else {
        log("keys only");
    }
    pushReports();
    if (event % 64 == 63) checkQuietPoint("quiet point");
}

// With no BUK_Open walking and no broadcast under way: the notices agree with the keyboards
// present, and the library holds one handle on each of them and none on anything else.
void StressRun::checkQuietPoint(const char* where) {
    std::lock_guard<std::mutex> lock(openLock_);
    log(where);
    for (const auto& [device, attached] : everyCollection()) {
        bool isKeyboard = false;
        for (const Keyboard& k : keyboards_)
            isKeyboard = isKeyboard || k.collections[0] == device;
        int expected = isKeyboard && attached ? 1 : 0;
        // A BUK_Control that waits for its write (or for another's, to write next) holds the
        // device of an entry that a suspend took out; its writes are let end.
        bool settled = support::waitUntil(
            [&] {
                if (isKeyboard) winsim::releaseWrites(device);
                return winsim::hidStats(device).openHandles == expected;
            },
            3000);
        if (!settled) {
            ADD_FAILURE() << where << ": collection " << device << (attached ? " (attached)" : "")
                          << " has " << winsim::hidStats(device).openHandles
                          << " open handles, expected " << expected << "\n"
                          << dump();
            return;
        }
    }
    std::vector<int> live = model_.liveIds();
    std::vector<std::string> faults = model_.faultsSoFar();
    if (!faults.empty() || static_cast<int>(live.size()) != keyboardsPresent()) {
        ADD_FAILURE() << where << ": " << live.size() << " live ids for " << keyboardsPresent()
                      << " keyboards present; first fault: "
                      << (faults.empty() ? "none" : faults.front()) << "\n"
                      << dump();
    }
}

void StressRun::hostThread(unsigned seed) {
    std::mt19937 random(seed);
    while (!done_) {
        int choice = static_cast<int>(random() % 256);
        if (choice == 0) {
            std::lock_guard<std::mutex> lock(openLock_);
            int next = library_.open(host_.hwnd());
            if (next < 1) ADD_FAILURE() << "BUK_Open again returned " << next;
            continue;
        }
        // Mostly an id the host believes live; else any id, also one no device ever had.
        std::vector<int> live = model_.liveIds();
        int id = choice < 200 && !live.empty() ? live[random() % live.size()]
                                               : static_cast<int>(random() % 70) - 2;
        if (choice == 1) id = 0x10000 + 1;
        library_.control(id, static_cast<int>(random()));
        if (choice % 4 == 0) Sleep(1);
    }
}

std::string StressRun::dump() {
    std::ostringstream out;
    out << "seed " << seed_ << " (HIDKEYS_STRESS_SEED=" << seed_
        << " HIDKEYS_STRESS_EVENTS=" << events_ << " reruns it)\nrecent driver events:\n";
    {
        std::lock_guard<std::mutex> lock(logLock_);
        for (const std::string& e : recentEvents_)
            out << "  " << e << "\n";
    }
    {
        std::lock_guard<std::mutex> lock(model_.mutex);
        out << "host's live ids:";
        for (int id : model_.live)
            out << " " << id;
        out << "\nrecent notices and broadcasts at the host:\n";
        for (const std::string& e : model_.recent)
            out << "  " << e << "\n";
    }
    return out.str();
}

// Fails the run, rather than hanging ctest, when it stops making progress or outlasts its bound.
void StressRun::watchdog() {
    const int stallMs = environmentNumber("HIDKEYS_STRESS_STALL_MS", 30000);
    int last = -1;
    DWORD lastChange = GetTickCount();
    while (!finished_) {
        Sleep(50);
        int now = progress_;
        if (now != last) {
            last = now;
            lastChange = GetTickCount();
        } else if (GetTickCount() - lastChange > static_cast<DWORD>(stallMs)) {
            fprintf(stderr, "stress: no progress for %d ms: a deadlock?\n%s", stallMs,
                    dump().c_str());
            fprintf(stderr, "counters: ");
            std::ostringstream counters;
            counters << winsim::counters() << "\n";
            fputs(counters.str().c_str(), stderr);
            fflush(stderr);
            std::_Exit(1);
        }
    }
}

void StressRun::finish() {
    // Every write ends from now on, and those pending end now.
    log("finish: writes end");
    for (const Keyboard& k : keyboards_) {
        winsim::setWriteBehaviour(k.collections[0], {});
        winsim::releaseWrites(k.collections[0]);
    }
    winsim::setReadsAlwaysPend(false);
    done_ = true;
}

void StressRun::run() {
    setUp();
    std::thread watch([this] { watchdog(); });
    ASSERT_GT(library_.open(host_.hwnd()), kSteady);
    std::thread hosts[2] = {std::thread([this] { hostThread(seed_ + 1); }),
                            std::thread([this] { hostThread(seed_ + 2); })};

    for (int event = 0; event < events_ && !::testing::Test::HasFailure(); ++event)
        driveEvent(event);
    finish();
    for (std::thread& t : hosts)
        t.join();
    checkQuietPoint("end of the events");

    // Reading goes on: reports pushed now on each steady keyboard are all read.
    log("last reports");
    const Keyboard& exact = keyboards_[0];
    for (const winsim::Bytes& report : {winsim::Bytes{2, 0x01}, winsim::Bytes{2, 0},
                                        winsim::Bytes{3, 0xE2}, winsim::Bytes{3, 0}}) {
        winsim::pushInputReport(exact.collections[0], report);
    }
    for (int k = 1; k < kSteady; ++k)
        winsim::pushInputReport(keyboards_[k].collections[0], {1, 0x01});
    for (int k = 0; k < kSteady; ++k) {
        winsim::DeviceId keys = keyboards_[k].collections[0];
        EXPECT_TRUE(support::waitUntil(
            [&] {
                winsim::HidStats s = winsim::hidStats(keys);
                return s.queuedReports == 0 && s.pendingReads == 1;
            },
            5000))
            << "keyboard " << k << " is not read any more\n"
            << dump();
    }

    // Every report the exact keyboard's reader got gave its key message, in order; nothing else
    // reached the host.
    std::vector<Key> expected = keyMessagesOf(winsim::reportsRead(exact.collections[0]));
    host_.waitForKeys(expected.size(), 5000);
    host_.pumpFor(20);
    std::vector<Key> keys = host_.keys();
    size_t same = 0;
    while (same < keys.size() && same < expected.size() && keys[same] == expected[same])
        ++same;
    EXPECT_TRUE(same == keys.size() && same == expected.size())
        << keys.size() << " key messages for " << expected.size()
        << " expected; they differ from message " << same << ": got "
        << (same < keys.size() ? ::testing::PrintToString(keys[same]) : "nothing") << ", expected "
        << (same < expected.size() ? ::testing::PrintToString(expected[same]) : "nothing") << "\n"
        << dump();
    EXPECT_GE(expected.size(), 4u);

    // Every output report that reached a device is 3, value, zeros.
    for (const Keyboard& k : keyboards_) {
        for (const winsim::Bytes& report : winsim::writtenReports(k.collections[0])) {
            winsim::Bytes shape = report;
            if (shape.size() > 1) shape[1] = 0;
            EXPECT_EQ(shape, (winsim::Bytes{3, 0, 0, 0, 0, 0, 0, 0}));
        }
    }

    log("close");
    EXPECT_EQ(library_.close(), 1);
    for (const auto& [device, attached] : everyCollection()) {
        if (attached) winsim::detachHid(device);
    }
    finished_ = true;
    watch.join();
    std::vector<std::string> faults = model_.faultsSoFar();
    EXPECT_TRUE(faults.empty()) << faults.front() << "\n" << dump();
    EXPECT_TRUE(model_.liveIds().empty()) << "ids still live after BUK_Close\n" << dump();
    EXPECT_EQ(winsim::counters(), idle_) << dump();
    EXPECT_EQ(library_.liveHeapBlocks(), 0) << dump();
}

TEST(Stress, SeededHotPlugPowerKeysAndWrites) {
    const unsigned seed = static_cast<unsigned>(
        environmentNumber("HIDKEYS_STRESS_SEED", static_cast<int>(std::random_device{}())));
    const int events = environmentNumber("HIDKEYS_STRESS_EVENTS", 10000);
    // On stderr, unbuffered: a sanitizer that ends the process still leaves the seed behind.
    fprintf(stderr, "stress: seed %u, %d events (HIDKEYS_STRESS_SEED, HIDKEYS_STRESS_EVENTS)\n",
            seed, events);
    SCOPED_TRACE("seed " + std::to_string(seed) + " (HIDKEYS_STRESS_SEED)");
    StressRun(seed, events).run();
}

}  // namespace
