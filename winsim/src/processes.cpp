// Processes: GetCurrentProcess, OpenProcess, TerminateProcess, and the other programs that a
// test starts on the machine (see winsim/processes.h).
//
// A simulated process has no code of its own: its one thread is a record that owns its window.
// Terminating it destroys that window at once and signals its process handles. The program
// under test can open its own process too, but not terminate it.
#include <cstdio>
#include <cstdlib>

#include "user_internal.h"
#include "winsim/processes.h"

namespace winsim::detail {

namespace {

struct SimulatedProcess {
    DWORD id = 0;
    std::shared_ptr<ThreadRecord> thread;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    bool accessDenied = false;
};

struct ProcessObject : KernelObject {
    ProcessObject() : KernelObject(ObjectKind::Process) {}
    bool waitable() const override { return true; }
    bool signalled(const ThreadRecord&) const override { return process && process->ended; }
    std::shared_ptr<SimulatedProcess> process;  // null for the program's own process
    ACCESS_MASK access = 0;
};

const ACCESS_MASK kAllProcessRights = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF;

struct Processes {
    DWORD nextId = 0x5C8;
    std::map<DWORD, std::shared_ptr<SimulatedProcess>> byId;
};

Processes& processes() {
    static auto* instance = new Processes;
    return *instance;
}

std::shared_ptr<SimulatedProcess> findProcess(DWORD id, const char* call) {
    auto it = processes().byId.find(id);
    if (it == processes().byId.end()) {
        fprintf(stderr, "winsim: %s: no process %lu was started\n", call,
                static_cast<unsigned long>(id));
        abort();
    }
    return it->second;
}

[[noreturn]] void terminatingItself() {
    fprintf(stderr, "winsim: TerminateProcess on the program's own process\n");
    abort();
}

HANDLE failWith(DWORD error) {
    setError(error);
    return nullptr;
}

}  // namespace

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HANDLE WINAPI GetCurrentProcess(void) {
    return currentProcessPseudoHandle();
}

// An id that no running process has fails with ERROR_INVALID_PARAMETER.
HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL, DWORD dwProcessId) {
    MachineLock lock;
    auto object = std::make_shared<ProcessObject>();
    if (dwProcessId != currentProcessId()) {
        auto it = processes().byId.find(dwProcessId);
        if (it == processes().byId.end() || it->second->ended) {
            return failWith(ERROR_INVALID_PARAMETER);
        }
        if (it->second->accessDenied) return failWith(ERROR_ACCESS_DENIED);
        object->process = it->second;
    }
    object->access = dwDesiredAccess;
    if (dwDesiredAccess & (GENERIC_ALL | MAXIMUM_ALLOWED)) object->access |= kAllProcessRights;
    return addHandle(object);
}

// The process ends at once; its windows go before the call returns.
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    MachineLock lock;
    if (hProcess == currentProcessPseudoHandle()) terminatingItself();
    auto object = lookupHandle<ProcessObject>(hProcess, ObjectKind::Process);
    if (!object) return FALSE;
    if (!object->process) terminatingItself();
    if ((object->access & PROCESS_TERMINATE) == 0 || object->process->ended) {
        setError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::shared_ptr<SimulatedProcess> process = object->process;
    destroyThreadWindows(lock, process->thread);
    releaseQueuedMessages(*process->thread);
    forgetThread(process->thread->id);
    process->ended = true;
    process->exitCode = uExitCode;
    notifyAll();
    return TRUE;
}

}  // extern "C"

namespace winsim {

DWORD startProcess(const std::string& windowClass, const std::string& windowTitle) {
    detail::MachineLock lock;
    auto process = std::make_shared<detail::SimulatedProcess>();
    process->id = detail::processes().nextId;
    detail::processes().nextId += 4;
    process->thread = detail::newThreadRecord();
    process->thread->processId = process->id;
    detail::createWindowOfProcess(process->thread, windowClass, windowTitle);
    detail::processes().byId[process->id] = process;
    return process->id;
}

HWND processWindow(DWORD processId) {
    detail::MachineLock lock;
    std::shared_ptr<detail::SimulatedProcess> process =
        detail::findProcess(processId, "processWindow");
    for (const auto& window : detail::liveWindowsNewestFirst()) {
        if (window->owner == process->thread) return window->hwnd;
    }
    return nullptr;
}

DWORD processExitCode(DWORD processId) {
    detail::MachineLock lock;
    return detail::findProcess(processId, "processExitCode")->exitCode;
}

void denyProcessAccess(DWORD processId, bool denied) {
    detail::MachineLock lock;
    detail::findProcess(processId, "denyProcessAccess")->accessDenied = denied;
}

}  // namespace winsim
