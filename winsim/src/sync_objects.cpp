// Events, mutexes, waits, Sleep, GetTickCount and critical sections.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core.h"

namespace winsim::detail {

namespace {

struct EventObject : KernelObject {
    EventObject() : KernelObject(ObjectKind::Event) {}
    bool waitable() const override { return true; }
    bool signalled(const ThreadRecord&) const override { return isSet; }
    bool consume(ThreadRecord&) override {
        if (!manualReset) isSet = false;
        return false;
    }
    bool manualReset = false;
    bool isSet = false;
};

struct MutexObject : KernelObject {
    MutexObject() : KernelObject(ObjectKind::Mutex) {}
    bool waitable() const override { return true; }
    bool signalled(const ThreadRecord& waiter) const override {
        return owner == 0 || owner == waiter.id;
    }
    bool consume(ThreadRecord& waiter) override {
        if (owner == waiter.id) {
            ++recursion;
            return false;
        }
        owner = waiter.id;
        recursion = 1;
        bool wasAbandoned = abandoned;
        abandoned = false;
        return wasAbandoned;
    }
    DWORD owner = 0;
    int recursion = 0;
    bool abandoned = false;
};

// Named events and mutexes share one namespace; the entry goes when the last handle does.
std::map<std::string, std::weak_ptr<KernelObject>>& namedObjects() {
    static auto* names = new std::map<std::string, std::weak_ptr<KernelObject>>;
    return *names;
}

// Finds a live named object; sets ERROR_INVALID_HANDLE and returns false when the name is
// taken by an object of another kind.
bool findNamed(LPCSTR name, ObjectKind kind, std::shared_ptr<KernelObject>* found) {
    found->reset();
    if (name == nullptr || *name == '\0') return true;
    auto it = namedObjects().find(name);
    if (it == namedObjects().end()) return true;
    std::shared_ptr<KernelObject> object = it->second.lock();
    if (!object) {
        namedObjects().erase(it);
        return true;
    }
    if (object->kind != kind) {
        setError(ERROR_INVALID_HANDLE);
        return false;
    }
    *found = object;
    return true;
}

void nameObject(LPCSTR name, const std::shared_ptr<KernelObject>& object) {
    if (name == nullptr || *name == '\0') return;
    object->name = name;
    namedObjects()[name] = object;
}

// Opens the object called `name` when it exists (ERROR_ALREADY_EXISTS), or makes one with `make`
// and gives it the name (ERROR_SUCCESS). A name held by an object of another kind fails with
// ERROR_INVALID_HANDLE.
template <typename Make>
HANDLE openOrCreateNamed(LPCSTR name, ObjectKind kind, Make make) {
    std::shared_ptr<KernelObject> existing;
    if (!findNamed(name, kind, &existing)) return nullptr;
    if (existing) {
        setError(ERROR_ALREADY_EXISTS);
        return addHandle(existing);
    }
    std::shared_ptr<KernelObject> object = make();
    nameObject(name, object);
    setError(ERROR_SUCCESS);
    return addHandle(object);
}

std::atomic<int> liveCriticalSections{0};

const std::chrono::steady_clock::time_point bootTime = std::chrono::steady_clock::now();

}  // namespace

void abandonMutexesOf(DWORD threadId) {
    for (const auto& object : handleObjects()) {
        if (object->kind != ObjectKind::Mutex) continue;
        auto mutex = std::static_pointer_cast<MutexObject>(object);
        if (mutex->owner == threadId) {
            mutex->owner = 0;
            mutex->recursion = 0;
            mutex->abandoned = true;
            hbRelease(mutex.get());
        }
    }
}

void setEventState(HANDLE handle, bool set) {
    if (handle == nullptr) return;
    auto object = peekHandle(handle);
    if (!object || object->kind != ObjectKind::Event) return;
    if (set) hbRelease(object.get());
    static_cast<EventObject*>(object.get())->isSet = set;
}

DWORD waitForObjects(MachineLock& lock, DWORD count, const HANDLE* handles, BOOL waitAll,
                     DWORD milliseconds, bool wakeOnSent) {
    if ((count == 0 && !wakeOnSent) || count > MAXIMUM_WAIT_OBJECTS ||
        (count != 0 && handles == nullptr)) {
        setError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        std::shared_ptr<KernelObject> object = lookupHandle(handles[i]);
        if (!object || !object->waitable()) {
            setError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(object);
    }
    std::shared_ptr<ThreadRecord> self = currentThread();
    Deadline deadline = Deadline::after(milliseconds);
    for (;;) {
        if (waitAll) {
            bool all = true;
            for (const auto& object : objects)
                all = all && object->signalled(*self);
            if (all) {
                DWORD result = WAIT_OBJECT_0;
                for (DWORD i = 0; i < count; ++i) {
                    if (objects[i]->consume(*self)) result = WAIT_ABANDONED_0;
                    hbAcquire(objects[i].get());
                }
                return result;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (!objects[i]->signalled(*self)) continue;
                bool abandoned = objects[i]->consume(*self);
                hbAcquire(objects[i].get());
                return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
            }
        }
        if (wakeOnSent && !self->sent.empty()) return WAIT_OBJECT_0 + count;
        if (milliseconds == 0 || deadline.passed()) return WAIT_TIMEOUT;
        lock.waitForObjectsUntil(objects, deadline);
    }
}

DWORD waitForObjectLocked(MachineLock& lock, HANDLE handle, DWORD milliseconds) {
    return waitForObjects(lock, 1, &handle, FALSE, milliseconds);
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::CreateEvent, &error)) {
        setError(error);
        return nullptr;
    }
    return openOrCreateNamed(lpName, ObjectKind::Event, [&] {
        auto event = std::make_shared<EventObject>();
        event->manualReset = bManualReset != FALSE;
        event->isSet = bInitialState != FALSE;
        return event;
    });
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    MachineLock lock;
    auto event = lookupHandle<EventObject>(hEvent, ObjectKind::Event);
    if (!event) return FALSE;
    hbRelease(event.get());
    event->isSet = true;
    notifyObjectsChanged({event.get()});
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    MachineLock lock;
    auto event = lookupHandle<EventObject>(hEvent, ObjectKind::Event);
    if (!event) return FALSE;
    event->isSet = false;
    return TRUE;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::CreateMutex, &error)) {
        setError(error);
        return nullptr;
    }
    // An existing mutex is opened without the ownership asked for.
    return openOrCreateNamed(lpName, ObjectKind::Mutex, [&] {
        auto mutex = std::make_shared<MutexObject>();
        if (bInitialOwner) {
            mutex->owner = currentThread()->id;
            mutex->recursion = 1;
        }
        return mutex;
    });
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    MachineLock lock;
    auto mutex = lookupHandle<MutexObject>(hMutex, ObjectKind::Mutex);
    if (!mutex) return FALSE;
    if (mutex->owner != currentThread()->id) {
        setError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex->recursion == 0) {
        hbRelease(mutex.get());
        mutex->owner = 0;
        notifyAll();
    }
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    MachineLock lock;
    return waitForObjects(lock, 1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
    MachineLock lock;
    return waitForObjects(lock, nCount, lpHandles, bWaitAll, dwMilliseconds);
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD WINAPI GetTickCount(void) {
    auto elapsed = std::chrono::steady_clock::now() - bootTime;
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    *lpCriticalSection = CRITICAL_SECTION{};
    lpCriticalSection->DebugInfo = new std::recursive_mutex;
    ++liveCriticalSections;
}

static std::recursive_mutex& criticalSectionLock(LPCRITICAL_SECTION section, const char* call) {
    if (section == nullptr || section->DebugInfo == nullptr) {
        fprintf(stderr, "winsim: %s on a critical section that is not initialised\n", call);
        abort();
    }
    return *static_cast<std::recursive_mutex*>(section->DebugInfo);
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete &criticalSectionLock(lpCriticalSection, "DeleteCriticalSection");
    lpCriticalSection->DebugInfo = nullptr;
    --liveCriticalSections;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    criticalSectionLock(lpCriticalSection, "EnterCriticalSection").lock();
    ++lpCriticalSection->RecursionCount;
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (!criticalSectionLock(lpCriticalSection, "TryEnterCriticalSection").try_lock()) return FALSE;
    ++lpCriticalSection->RecursionCount;
    return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    std::recursive_mutex& section = criticalSectionLock(lpCriticalSection, "LeaveCriticalSection");
    --lpCriticalSection->RecursionCount;
    section.unlock();
}

}  // extern "C"

int winsim::detail::countCriticalSections() {
    return liveCriticalSections.load();
}
