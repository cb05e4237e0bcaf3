// The library as a host application meets it: loaded with LoadLibraryA, driven through its
// exports, with a host window that records every notice and key message it receives.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "hidkeys.h"
#include "test_window.h"
#include "winsim/hid.h"

namespace host {

constexpr UINT KeyMessage = WM_USER + 100;
constexpr UINT NoticeMessage = WM_USER + 101;

// The library, loaded as a host loads it. Unloaded by the destructor unless unload() ran.
class Library {
  public:
    Library();
    ~Library();
    int open(HWND window, UINT keyMessage = KeyMessage, UINT noticeMessage = NoticeMessage);
    HMODULE module() const { return module_; }
    int close();
    int control(int id, int value);
    void unload();
    // The `nth` device entry allocation from now on fails (1: the next one).
    void failEntryAllocation(int nth);
    // Calls `watcher` on the allocating thread at each device entry allocation from now on;
    // the allocation fails when it returns true.
    void watchEntryAllocations(std::function<bool()> watcher);
    // The same for the allocations of one kind.
    enum AllocationKind { EntryAllocation = 1, ReportBufferAllocation = 2 };
    void watchAllocations(int kind, std::function<bool()> watcher);
    // The library's heap blocks not yet freed.
    long liveHeapBlocks();

  private:
    HMODULE module_ = nullptr;
    BUK_OpenProc open_ = nullptr;
    BUK_CloseProc close_ = nullptr;
    BUK_ControlProc control_ = nullptr;
};

struct Notice {
    DWORD kind = 0;
    WORD deviceId = 0;
    WORD vendorId = 0;
    WORD productId = 0;
    WORD reserved = 0;
    bool operator==(const Notice& o) const {
        return kind == o.kind && deviceId == o.deviceId && vendorId == o.vendorId &&
               productId == o.productId && reserved == o.reserved;
    }
};
std::ostream& operator<<(std::ostream& out, const Notice& n);

// Notices of the keyboard's devices.
inline Notice arrived(WORD id, DWORD mark = 0) {
    return {NoticeArrived + mark, id, 0x03F0, 0x0122, 0};
}
inline Notice removed(WORD id) {
    return {NoticeRemoved, id, 0x03F0, 0x0122, 0};
}
inline Notice nothingFound(DWORD mark = 0) {
    return {NoticeRemoved + mark, 0, 0, 0, 0};
}

struct Key {
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Key& o) const { return wParam == o.wParam && lParam == o.lParam; }
};
std::ostream& operator<<(std::ostream& out, const Key& k);
inline Key press(WPARAM wParam) {
    return {wParam, 0};
}
inline Key release(WPARAM wParam) {
    return {wParam, KeyReleasedFlag};
}

// A host window, on a thread of its own or on the calling thread. It copies each notice while
// the record is valid and runs `onNotice` inside the notice handling.
class Host {
  public:
    enum Mode { OwnThread, CallingThread };
    explicit Host(Mode mode = OwnThread, const char* title = "host", UINT keyMessage = KeyMessage,
                  UINT noticeMessage = NoticeMessage);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND hwnd() const { return hwnd_; }
    Mode mode() const { return mode_; }
    std::vector<Notice> notices() const;
    // The notices received since the last call (all of them on the first).
    std::vector<Notice> takeNotices();
    std::vector<std::array<uint8_t, 12>> noticeBytes() const;
    std::vector<DWORD> noticeThreads() const;  // the thread each notice was handled on
    std::vector<Key> keys() const;
    // Waits (dispatching this thread's messages in CallingThread mode) until `count` key
    // messages have arrived; false on time-out.
    bool waitForKeys(size_t count, int timeoutMs = 5000);
    // Dispatches the calling thread's queued messages (CallingThread mode) for `ms`.
    void pumpFor(int ms);

    std::function<void(const Notice&)> onNotice;
    // Runs when the window receives WM_POWERBROADCAST (after the library's window, which is
    // newer and so is reached first).
    std::function<void(WPARAM)> onPower;

  private:
    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    Mode mode_;
    UINT keyMessage_;
    UINT noticeMessage_;
    HWND hwnd_ = nullptr;
    std::unique_ptr<support::WindowThread> thread_;
    mutable std::mutex mutex_;
    std::vector<std::array<uint8_t, 12>> noticeBytes_;
    std::vector<DWORD> noticeThreads_;
    std::vector<Key> keys_;
    size_t noticesTaken_ = 0;
};

// Every host window mode, for tests that run with the host window on each kind of thread, and
// the names of their instances.
inline auto allHostModes() {
    return ::testing::Values(Host::OwnThread, Host::CallingThread);
}
std::string hostModeName(const ::testing::TestParamInfo<Host::Mode>& info);

// The keyboard's HID collections. The extra-key collection is the one with usage 1.
winsim::HidCollection extraKeyCollection(USHORT inputLength = 3, USHORT outputLength = 8);
// The same collection on another maker's device (vendor 0x1234), which the library walks over.
winsim::HidCollection otherMakersCollection();
// The keyboard's four collections, not attached: the extra-key one first, then the keyboard of
// interface 0, the system-control and the vendor collection.
std::vector<winsim::HidCollection> keyboardCollections();
// Attaches the keyboard's four collections; returns the extra-key one.
winsim::DeviceId attachKeyboard();
// An extra-key report: report id, key byte, padding.
void pushKey(winsim::DeviceId device, uint8_t keyByte, uint8_t reportId = 2);

// The library's NotifyWindow; null while the library is closed.
HWND notifyWindow();
// WM_DEVICECHANGE sent to the NotifyWindow with a record of the given kind, as the system sends
// it; returns the window's answer.
LRESULT sendHandleEvent(WPARAM event, HANDLE handle);
LRESULT sendInterfaceEvent(WPARAM event, const std::string& path);
// WM_POWERBROADCAST sent to every window, as the system sends it; the NotifyWindow's answer.
LRESULT broadcastPower(WPARAM event);
// The device handles the library has registered for removal broadcasts, oldest first.
std::vector<HANDLE> watchedHandles();
// What the library holds for its open devices, without what comes and goes with each read.
std::tuple<int, int, int, int, int> deviceHolding();

}  // namespace host
