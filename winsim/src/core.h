// winsim internals shared by every part of the simulated machine.
//
// All state of the machine (handles, objects, threads' queues, windows, devices) sits behind one
// mutex and one condition variable. Every API call takes the lock through MachineLock, changes
// state, and where it must block, waits on the condition variable until its own condition holds.
// Every change that can release a waiter calls notifyAll(). Deliverable code (window procedures,
// thread start routines) is never called with the lock held: callers drop it with Unlocked.
//
// Under ThreadSanitizer the machine lock is made invisible: while it is held, the thread's memory
// accesses and synchronisation are ignored, so that the one big lock does not hide races in the
// code under test. The synchronisation that the platform itself guarantees (an event set and
// waited for, a message posted and retrieved, a sent message and its reply, a thread's end and a
// wait on its handle, an overlapped completion) is stated explicitly with hbRelease/hbAcquire.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "winsim/machine.h"
#include "winsim/probes.h"

namespace winsim::detail {

// ---- the machine lock --------------------------------------------------------------------

struct KernelObject;
struct ThreadRecord;
struct ObjectWaiter;

class MachineLock {
  public:
    MachineLock();
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    // Drop and retake the lock around a call into code outside the machine.
    void release();
    void reacquire();

    // Block until notifyAll() or a change that wakes the waits for replies and transfers.
    struct Deadline;
    void wait();
    // Block until notifyAll(), a change of one of `objects` (notifyObjectsChanged), or the
    // deadline. A wait for kernel objects sleeps on a condition of its own, so that posted
    // messages and other objects' changes do not wake it.
    void waitForObjectsUntil(const std::vector<std::shared_ptr<KernelObject>>& objects,
                             const Deadline& deadline);
    // Block until notifyAll() or a message posted to `thread` (notifyPosted): GetMessageA's wait.
    void waitForPosted(const ThreadRecord& thread);

    struct Deadline {
        bool infinite = true;
        std::chrono::steady_clock::time_point at{};
        static Deadline after(DWORD milliseconds);
        bool passed() const;
    };

  private:
    void waitAsListed(ObjectWaiter& waiter, const Deadline& deadline);
    std::unique_lock<std::mutex> lock_;
    bool held_ = false;
};
using Deadline = MachineLock::Deadline;

// Releases the lock for the lifetime of this object.
class Unlocked {
  public:
    explicit Unlocked(MachineLock& lock) : lock_(lock) { lock_.release(); }
    ~Unlocked() { lock_.reacquire(); }
    Unlocked(const Unlocked&) = delete;
    Unlocked& operator=(const Unlocked&) = delete;

  private:
    MachineLock& lock_;
};

// Wakes every waiting thread.
void notifyAll();
// Wakes the threads that wait for neither kernel objects nor posted messages (replies,
// transfers) and those whose wait for kernel objects includes one of `objects`.
void notifyObjectsChanged(std::initializer_list<const KernelObject*> objects);
// Wakes the thread waiting in GetMessageA for a message posted to `thread`.
void notifyPosted(const ThreadRecord& thread);

// Happens-before edges that the platform guarantees; call with the lock held.
void hbRelease(const void* syncObject);
void hbAcquire(const void* syncObject);

// ---- last error ----------------------------------------------------------------------------

void setError(DWORD error);

// ---- handle values -------------------------------------------------------------------------

// Every handle-like value (kernel handles, windows, notifications, device sets, global blocks)
// comes from one counter and is never reused, so a stale value fails instead of meeting a new
// object.
uintptr_t newHandleValue();

template <typename H>
H toHandle(uintptr_t value) {
    return reinterpret_cast<H>(value);
}
template <typename H>
uintptr_t fromHandle(H handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

// ---- threads -------------------------------------------------------------------------------

struct ThreadObject;

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool taken = false;  // the receiver is running the window procedure
    bool done = false;   // the result is in
};

// One record per thread that has called into the machine, created on its first call.
struct ThreadRecord {
    DWORD id = 0;
    bool started = false;                  // by CreateThread, rather than adopted on first use
    DWORD processId = 0;                   // a thread of another simulated process; 0: this one
    std::shared_ptr<ThreadObject> object;  // for threads started by CreateThread

    // The thread's message queue: sent messages are handled before posted ones.
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    // One flag per window procedure running on the thread, innermost last: whether its message
    // was sent by another thread (what InSendMessage reports).
    std::vector<bool> procedures;
};

// The calling thread's record; the lock must be held.
std::shared_ptr<ThreadRecord> currentThread();
// A record for a thread about to be started, and its adoption by that thread.
std::shared_ptr<ThreadRecord> newThreadRecord();
void adoptThreadRecord(const std::shared_ptr<ThreadRecord>& record);
void forgetThread(DWORD id);
// A thread that has not ended, or null.
std::shared_ptr<ThreadRecord> findThread(DWORD id);
DWORD currentProcessId();

// Pieces of a thread's exit that live with the objects they concern.
void destroyThreadWindows(MachineLock& lock, const std::shared_ptr<ThreadRecord>& thread);
void releaseQueuedMessages(ThreadRecord& thread);
void abandonMutexesOf(DWORD threadId);

// Run when a thread leaves the machine: its windows go, senders waiting on it are released,
// mutexes it owns are abandoned. The lock is held and may be dropped during the call.
void onThreadExit(MachineLock& lock, const std::shared_ptr<ThreadRecord>& thread);

// ---- kernel objects ------------------------------------------------------------------------

enum class ObjectKind { Event, Mutex, Thread, Device, Process, Token };

// What GetCurrentProcess returns: it stands for the calling process and is never in the table.
inline HANDLE currentProcessPseudoHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

struct KernelObject {
    explicit KernelObject(ObjectKind k) : kind(k) {}
    virtual ~KernelObject() = default;
    // Waitable objects: whether a wait by `waiter` is satisfied, and what satisfying it does.
    virtual bool signalled(const ThreadRecord& waiter) const {
        (void)waiter;
        return false;
    }
    virtual bool waitable() const { return false; }
    // Returns true when the wait ends as abandoned (a mutex whose owner ended).
    virtual bool consume(ThreadRecord& waiter) {
        (void)waiter;
        return false;
    }
    // A handle to the object was closed; the lock is held.
    virtual void handleClosed() {}
    ObjectKind kind;
    std::string name;  // named objects only
};

struct ThreadObject : KernelObject {
    ThreadObject() : KernelObject(ObjectKind::Thread) {}
    bool waitable() const override { return true; }
    bool signalled(const ThreadRecord&) const override { return ended; }
    DWORD id = 0;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

HANDLE addHandle(std::shared_ptr<KernelObject> object);
// The object behind a handle, or null (with ERROR_INVALID_HANDLE set) when the handle is not
// open or is of another kind.
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
template <typename T>
std::shared_ptr<T> lookupHandle(HANDLE handle, ObjectKind kind) {
    std::shared_ptr<KernelObject> object = lookupHandle(handle);
    if (!object || object->kind != kind) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}
// The same without touching the last error.
std::shared_ptr<KernelObject> peekHandle(HANDLE handle);
std::shared_ptr<KernelObject> removeHandle(HANDLE handle);
int countHandles(ObjectKind kind);
// Every object that has an open handle, once per handle.
std::vector<std::shared_ptr<KernelObject>> handleObjects();

// Sets or resets an event by handle, as a transfer's start and completion do; handles that are
// not events are ignored.
void setEventState(HANDLE handle, bool set);
int countCriticalSections();
int countRunningThreads();
int countGlobalBlocks();
int countHeapBlocks();

// Waits for any or all of the objects; the platform's rules for WaitForMultipleObjects. With
// `wakeOnSent`, a message sent to the calling thread also ends the wait, with
// WAIT_OBJECT_0 + count, as MsgWaitForMultipleObjects does for QS_SENDMESSAGE.
DWORD waitForObjects(MachineLock& lock, DWORD count, const HANDLE* handles, BOOL waitAll,
                     DWORD milliseconds, bool wakeOnSent = false);
// Waits for one object with the lock held, as WaitForSingleObject does.
DWORD waitForObjectLocked(MachineLock& lock, HANDLE handle, DWORD milliseconds);

// ---- faults --------------------------------------------------------------------------------

// True when the next call of `fault` is to fail; `error` receives the error to set.
bool takeFault(Fault fault, DWORD* error);

// ---- probes (probes.cpp); call with the lock held ----------------------------------------

void probeReadCompleted(DWORD issuer);
void probeMessagePosted(UINT message, WPARAM wParam, LPARAM lParam);
CallCounts& callCountsLocked();

// ---- strings -------------------------------------------------------------------------------

bool equalsIgnoreCase(const std::string& a, const std::string& b);
std::string toUpper(std::string s);

}  // namespace winsim::detail
