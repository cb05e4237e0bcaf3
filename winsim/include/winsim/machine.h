// winsim control API: the simulated machine as a whole.
//
// Tests drive the machine through these functions; the deliverables never include this header.
// There is one machine per process: each test runs in a process of its own.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace winsim {

// What the machine holds at this moment. A test that has closed everything it opened can
// expect every field to be back to zero.
struct Counters {
    // Open kernel handles, by kind.
    int eventHandles = 0;
    int mutexHandles = 0;
    int threadHandles = 0;
    int deviceHandles = 0;
    int runningThreads = 0;  // started by CreateThread and not yet returned
    int windows = 0;         // the windows of the program under test
    int windowClasses = 0;
    int deviceNotifications = 0;
    int deviceInfoSets = 0;
    int globalBlocks = 0;
    int pendingIo = 0;
    int preparsedData = 0;
    int criticalSections = 0;
    int registryKeys = 0;    // open key handles (the predefined roots not counted)
    int fileSearches = 0;    // open FindFirstFileA handles
    int processHandles = 0;  // from OpenProcess (GetCurrentProcess's pseudo-handle not counted)
    int tokenHandles = 0;
    int heapBlocks = 0;  // HeapAlloc blocks not yet freed
    int sids = 0;        // AllocateAndInitializeSid identifiers not yet freed

    int kernelHandles() const {
        return eventHandles + mutexHandles + threadHandles + deviceHandles + processHandles +
               tokenHandles;
    }

    auto fields() const {
        return std::tie(eventHandles, mutexHandles, threadHandles, deviceHandles, runningThreads,
                        windows, windowClasses, deviceNotifications, deviceInfoSets, globalBlocks,
                        pendingIo, preparsedData, criticalSections, registryKeys, fileSearches,
                        processHandles, tokenHandles, heapBlocks, sids);
    }
    bool operator==(const Counters& other) const { return fields() == other.fields(); }
    bool operator!=(const Counters& other) const { return !(*this == other); }
};
WINSIM_API Counters counters();

// For test failure messages: EXPECT_EQ(winsim::counters(), winsim::Counters{}).
inline std::ostream& operator<<(std::ostream& out, const Counters& c) {
    return out << "{events " << c.eventHandles << ", mutexes " << c.mutexHandles
               << ", thread handles " << c.threadHandles << ", device handles " << c.deviceHandles
               << ", running threads " << c.runningThreads << ", windows " << c.windows
               << ", classes " << c.windowClasses << ", notifications " << c.deviceNotifications
               << ", device sets " << c.deviceInfoSets << ", global blocks " << c.globalBlocks
               << ", pending I/O " << c.pendingIo << ", preparsed data " << c.preparsedData
               << ", critical sections " << c.criticalSections << ", registry keys "
               << c.registryKeys << ", file searches " << c.fileSearches << ", process handles "
               << c.processHandles << ", token handles " << c.tokenHandles << ", heap blocks "
               << c.heapBlocks << ", SIDs " << c.sids << "}";
}

// Calls that a test can make fail. Each failure sets the platform's error for that call unless
// the test names another.
enum class Fault {
    CreateThread,
    CreateEvent,
    RegisterClass,
    CreateWindow,
    RegisterDeviceNotification,
    GlobalAlloc,
    GlobalLock,
    SetupDiGetClassDevs,
    SetupDiEnumDeviceInterfaces,
    SetupDiGetDeviceInterfaceDetail,
    CreateMutex,
    HeapAlloc,
    AllocateAndInitializeSid,
};

// The next `count` calls of `fault` fail; `error` 0 keeps the default error of that call.
WINSIM_API void failNext(Fault fault, int count = 1, DWORD error = 0);
// The same after `skip` more calls of `fault` have succeeded.
WINSIM_API void failAfter(Fault fault, int skip, int count = 1, DWORD error = 0);
// Every later CreateWindowExA waits this long before it creates its window (0: no delay).
WINSIM_API void setWindowCreationDelay(DWORD milliseconds);

// A live window as the machine sees it.
struct WindowInfo {
    HWND hwnd = nullptr;
    std::string className;
    HCURSOR classCursor = nullptr;
    UINT classStyle = 0;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;  // as passed to CreateWindowExA, before the system adjusts the edges
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HINSTANCE instance = nullptr;
    DWORD threadId = 0;
};
// Live windows, newest first (the order in which broadcasts reach top-level windows).
WINSIM_API std::vector<WindowInfo> windows();
// False when `hwnd` is not a live window.
WINSIM_API bool windowInfo(HWND hwnd, WindowInfo* info);

// A thread's message queue: sent messages not yet taken, posted messages, the quit flag.
struct QueueInfo {
    int sent = 0;
    int posted = 0;
    bool quit = false;
};
// The queue of a thread that has not ended (all zero otherwise).
WINSIM_API QueueInfo messageQueue(DWORD threadId);

// A live device notification registration.
struct NotificationInfo {
    HDEVNOTIFY handle = nullptr;
    HWND recipient = nullptr;
    bool forHandle = false;         // DBT_DEVTYP_HANDLE; otherwise an interface class
    HANDLE deviceHandle = nullptr;  // the handle it was registered for
};
WINSIM_API std::vector<NotificationInfo> deviceNotifications();

// WM_POWERBROADCAST, sent from the calling thread to every top-level window as the system
// sends it. Returns each window's answer, in delivery order.
WINSIM_API std::vector<std::pair<HWND, LRESULT>> broadcastPower(WPARAM event, LPARAM data = 0);

}  // namespace winsim
