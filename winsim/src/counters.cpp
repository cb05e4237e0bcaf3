// What the machine holds, for tests that check nothing was left behind.
#include "devices_internal.h"
#include "user_internal.h"
#include "security_internal.h"
#include "system_internal.h"

namespace winsim {

Counters counters() {
    detail::MachineLock lock;
    Counters c;
    c.eventHandles = detail::countHandles(detail::ObjectKind::Event);
    c.mutexHandles = detail::countHandles(detail::ObjectKind::Mutex);
    c.threadHandles = detail::countHandles(detail::ObjectKind::Thread);
    c.deviceHandles = detail::countHandles(detail::ObjectKind::Device);
    c.runningThreads = detail::countRunningThreads();
    c.windows = detail::countWindows();
    c.windowClasses = detail::countClasses();
    c.deviceNotifications = detail::countNotifications();
    c.deviceInfoSets = detail::countDeviceInfoSets();
    c.globalBlocks = detail::countGlobalBlocks();
    c.pendingIo = detail::countPendingIo();
    c.preparsedData = detail::countPreparsedData();
    c.criticalSections = detail::countCriticalSections();
    c.registryKeys = detail::countOpenKeys();
    c.fileSearches = detail::countFileSearches();
    c.processHandles = detail::countHandles(detail::ObjectKind::Process);
    c.tokenHandles = detail::countHandles(detail::ObjectKind::Token);
    c.heapBlocks = detail::countHeapBlocks();
    c.sids = detail::countSids();
    return c;
}

}  // namespace winsim
