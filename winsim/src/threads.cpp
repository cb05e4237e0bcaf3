// CreateThread, thread exit codes, and what the machine does when a thread ends.
//
// A thread started by CreateThread is a real thread. Its handle is signalled, and its windows
// destroyed, when its start routine returns. TerminateThread is not provided: code running on
// the machine ends its threads cooperatively.
#include <system_error>
#include <thread>

#include "core.h"

namespace winsim::detail {

namespace {

int runningThreads = 0;

void threadMain(std::shared_ptr<ThreadRecord> record, LPTHREAD_START_ROUTINE start,
                LPVOID parameter) {
    adoptThreadRecord(record);
    {
        MachineLock lock;
        hbAcquire(record->object.get());
    }
    DWORD exitCode = start(parameter);
    MachineLock lock;
    onThreadExit(lock, record);
    std::shared_ptr<ThreadObject> object = record->object;
    object->exitCode = exitCode;
    hbRelease(object.get());
    object->ended = true;
    --runningThreads;
    forgetThread(record->id);
    notifyAll();
}

}  // namespace

void onThreadExit(MachineLock& lock, const std::shared_ptr<ThreadRecord>& thread) {
    destroyThreadWindows(lock, thread);
    releaseQueuedMessages(*thread);
    abandonMutexesOf(thread->id);
    notifyAll();
}

int countRunningThreads() {
    return runningThreads;
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    std::shared_ptr<ThreadRecord> record;
    HANDLE handle;
    {
        MachineLock lock;
        DWORD error = ERROR_NOT_ENOUGH_MEMORY;
        if (takeFault(winsim::Fault::CreateThread, &error)) {
            setError(error);
            return nullptr;
        }
        // Threads that start suspended are not modelled.
        if (lpStartAddress == nullptr || (dwCreationFlags & CREATE_SUSPENDED) != 0) {
            setError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        record = newThreadRecord();
        record->started = true;
        auto object = std::make_shared<ThreadObject>();
        object->id = record->id;
        record->object = object;
        handle = addHandle(object);
        ++runningThreads;
        hbRelease(object.get());
    }
    if (lpThreadId != nullptr) *lpThreadId = record->id;
    try {
        std::thread(threadMain, record, lpStartAddress, lpParameter).detach();
    } catch (const std::system_error&) {
        MachineLock lock;
        removeHandle(handle);
        forgetThread(record->id);
        --runningThreads;
        setError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return handle;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    MachineLock lock;
    auto thread = lookupHandle<ThreadObject>(hThread, ObjectKind::Thread);
    if (!thread || lpExitCode == nullptr) {
        if (thread) setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (thread->ended) hbAcquire(thread.get());
    *lpExitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
    return TRUE;
}

}  // extern "C"
