// The machine lock, handle values, the handle table, thread records and faults.
#include "core.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#if defined(__SANITIZE_THREAD__)
extern "C" {
void AnnotateIgnoreReadsBegin(const char* file, int line);
void AnnotateIgnoreReadsEnd(const char* file, int line);
void AnnotateIgnoreWritesBegin(const char* file, int line);
void AnnotateIgnoreWritesEnd(const char* file, int line);
void AnnotateIgnoreSyncBegin(const char* file, int line);
void AnnotateIgnoreSyncEnd(const char* file, int line);
void __tsan_acquire(void* addr);
void __tsan_release(void* addr);
}
#endif

namespace winsim::detail {

// A thread blocked in waitForObjectsUntil, with the objects it waits for, or in waitForPosted,
// with the thread whose posted messages it waits for.
struct ObjectWaiter {
    std::condition_variable wake;
    const std::vector<std::shared_ptr<KernelObject>>* objects;
    const ThreadRecord* queue;
};

namespace {

// Allocated once and never destroyed, so that threads still running at process exit (or the
// main thread's thread-local destructors) never meet a destroyed machine.
struct Core {
    std::mutex mutex;
    std::condition_variable changed;  // every waiter but those in waiters
    std::vector<ObjectWaiter*> waiters;
    uintptr_t nextHandleValue = 0x100;
    DWORD nextThreadId = 0x104;
    std::map<uintptr_t, std::shared_ptr<KernelObject>> handles;
    std::map<DWORD, std::shared_ptr<ThreadRecord>> threads;
    struct PendingFault {
        int remaining = 0;
        DWORD error = 0;
        int skip = 0;  // calls that still succeed before the failures start
    };
    std::map<Fault, PendingFault> faults;
};

Core& core() {
    static Core* instance = new Core;
    return *instance;
}

void ignoreBegin() {
#if defined(__SANITIZE_THREAD__)
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
    AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
    AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
#endif
}

void ignoreEnd() {
#if defined(__SANITIZE_THREAD__)
    AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
    AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
#endif
}

thread_local DWORD lastError = 0;

// Holds the calling thread's record; at thread exit it lets the machine clean up after a thread
// that was adopted rather than started by CreateThread.
struct ThreadSlot {
    std::shared_ptr<ThreadRecord> record;
    ~ThreadSlot();
};
thread_local ThreadSlot threadSlot;

bool isMainThread() {
    return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

ThreadSlot::~ThreadSlot() {
    // The process is ending when the main thread's thread-locals go: leave its windows alone.
    if (!record || record->started || isMainThread()) return;
    MachineLock lock;
    onThreadExit(lock, record);
    forgetThread(record->id);
    record.reset();
}

}  // namespace

// ---- lock --------------------------------------------------------------------------------

MachineLock::MachineLock() {
    reacquire();
}

MachineLock::~MachineLock() {
    if (held_) release();
}

void MachineLock::release() {
    held_ = false;
    lock_.unlock();
    ignoreEnd();
}

void MachineLock::reacquire() {
    ignoreBegin();
    if (lock_.mutex() == nullptr) {
        lock_ = std::unique_lock<std::mutex>(core().mutex);
    } else {
        lock_.lock();
    }
    held_ = true;
}

void MachineLock::wait() {
    core().changed.wait(lock_);
}

void MachineLock::waitAsListed(ObjectWaiter& waiter, const Deadline& deadline) {
    std::vector<ObjectWaiter*>& waiters = core().waiters;
    waiters.push_back(&waiter);
    if (deadline.infinite) {
        waiter.wake.wait(lock_);
    } else {
        waiter.wake.wait_until(lock_, deadline.at);
    }
    waiters.erase(std::find(waiters.begin(), waiters.end(), &waiter));
}

void MachineLock::waitForObjectsUntil(const std::vector<std::shared_ptr<KernelObject>>& objects,
                                      const Deadline& deadline) {
    ObjectWaiter waiter{{}, &objects, nullptr};
    waitAsListed(waiter, deadline);
}

void MachineLock::waitForPosted(const ThreadRecord& thread) {
    ObjectWaiter waiter{{}, nullptr, &thread};
    waitAsListed(waiter, Deadline{});
}

MachineLock::Deadline MachineLock::Deadline::after(DWORD milliseconds) {
    Deadline deadline;
    if (milliseconds != INFINITE) {
        deadline.infinite = false;
        deadline.at = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    }
    return deadline;
}

bool MachineLock::Deadline::passed() const {
    return !infinite && std::chrono::steady_clock::now() >= at;
}

void notifyAll() {
    core().changed.notify_all();
    for (ObjectWaiter* waiter : core().waiters)
        waiter->wake.notify_one();
}

void notifyObjectsChanged(std::initializer_list<const KernelObject*> objects) {
    core().changed.notify_all();
    for (ObjectWaiter* waiter : core().waiters) {
        if (waiter->objects == nullptr) continue;
        bool concerned = false;
        for (const auto& awaited : *waiter->objects) {
            for (const KernelObject* object : objects)
                concerned = concerned || awaited.get() == object;
        }
        if (concerned) waiter->wake.notify_one();
    }
}

void notifyPosted(const ThreadRecord& thread) {
    for (ObjectWaiter* waiter : core().waiters) {
        if (waiter->queue == &thread) waiter->wake.notify_one();
    }
}

void hbRelease(const void* syncObject) {
#if defined(__SANITIZE_THREAD__)
    AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
    __tsan_release(const_cast<void*>(syncObject));
    AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
#else
    (void)syncObject;
#endif
}

void hbAcquire(const void* syncObject) {
#if defined(__SANITIZE_THREAD__)
    AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
    __tsan_acquire(const_cast<void*>(syncObject));
    AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
#else
    (void)syncObject;
#endif
}

// ---- errors, handle values -----------------------------------------------------------------

void setError(DWORD error) {
    lastError = error;
}

uintptr_t newHandleValue() {
    uintptr_t value = core().nextHandleValue;
    core().nextHandleValue += 4;
    return value;
}

// ---- threads -------------------------------------------------------------------------------

std::shared_ptr<ThreadRecord> newThreadRecord() {
    auto record = std::make_shared<ThreadRecord>();
    record->id = core().nextThreadId;
    core().nextThreadId += 4;
    core().threads[record->id] = record;
    return record;
}

std::shared_ptr<ThreadRecord> currentThread() {
    if (!threadSlot.record) threadSlot.record = newThreadRecord();
    return threadSlot.record;
}

void adoptThreadRecord(const std::shared_ptr<ThreadRecord>& record) {
    threadSlot.record = record;
}

void forgetThread(DWORD id) {
    core().threads.erase(id);
}

std::shared_ptr<ThreadRecord> findThread(DWORD id) {
    auto it = core().threads.find(id);
    if (it == core().threads.end()) return nullptr;
    return it->second;
}

DWORD currentProcessId() {
    return 0x2A4;
}

// ---- handles -------------------------------------------------------------------------------

HANDLE addHandle(std::shared_ptr<KernelObject> object) {
    uintptr_t value = newHandleValue();
    core().handles[value] = std::move(object);
    return toHandle<HANDLE>(value);
}

std::shared_ptr<KernelObject> peekHandle(HANDLE handle) {
    auto it = core().handles.find(fromHandle(handle));
    return it == core().handles.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object = peekHandle(handle);
    if (!object) setError(ERROR_INVALID_HANDLE);
    return object;
}

std::shared_ptr<KernelObject> removeHandle(HANDLE handle) {
    auto it = core().handles.find(fromHandle(handle));
    if (it == core().handles.end()) return nullptr;
    std::shared_ptr<KernelObject> object = std::move(it->second);
    core().handles.erase(it);
    return object;
}

std::vector<std::shared_ptr<KernelObject>> handleObjects() {
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (const auto& entry : core().handles)
        objects.push_back(entry.second);
    return objects;
}

int countHandles(ObjectKind kind) {
    int count = 0;
    for (const auto& entry : core().handles) {
        if (entry.second->kind == kind) ++count;
    }
    return count;
}

// ---- faults --------------------------------------------------------------------------------

bool takeFault(Fault fault, DWORD* error) {
    auto it = core().faults.find(fault);
    if (it == core().faults.end() || it->second.remaining == 0) return false;
    if (it->second.skip > 0) {
        --it->second.skip;
        return false;
    }
    --it->second.remaining;
    if (it->second.error != 0) *error = it->second.error;
    return true;
}

// ---- strings -------------------------------------------------------------------------------

static std::string toLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string toUpper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return toLower(a) == toLower(b);
}

}  // namespace winsim::detail

// ---- API -----------------------------------------------------------------------------------

using namespace winsim::detail;

extern "C" {

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

DWORD WINAPI GetCurrentThreadId(void) {
    MachineLock lock;
    return currentThread()->id;
}

DWORD WINAPI GetCurrentProcessId(void) {
    return currentProcessId();
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (hObject == currentProcessPseudoHandle()) return TRUE;
    std::shared_ptr<KernelObject> object;
    {
        MachineLock lock;
        object = removeHandle(hObject);
        if (!object) {
            setError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object->handleClosed();
        // Closing an event's handle releases no waiter: the readers of this machine close one
        // event per read, and a wake-up of every waiting thread for each would be all cost.
        if (object->kind != ObjectKind::Event) notifyAll();
    }
    return TRUE;
}

}  // extern "C"

namespace winsim {

void failNext(Fault fault, int count, DWORD error) {
    failAfter(fault, 0, count, error);
}

void failAfter(Fault fault, int skip, int count, DWORD error) {
    MachineLock lock;
    detail::core().faults[fault] = {count, error, skip};
}

}  // namespace winsim
