// Message queues and delivery, with the platform's threading rules.
//
// - A message sent to a window of the calling thread calls its procedure directly.
// - A message sent to another thread's window waits in that thread's queue of sent messages
//   until the thread takes it: in GetMessageA or PeekMessageA (before any posted message), or
//   while it is itself blocked in SendMessageA. Meanwhile the sender handles the messages that
//   other threads send to it, so two threads sending to each other do not deadlock.
// - A send whose window is destroyed, or whose thread ends, before it was taken returns 0.
// - Posted messages wait in the posted queue; WM_QUIT comes when no posted message matches.
#include "user_internal.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

// The platform's limit of posted messages in one queue.
const size_t kPostedQuota = 10000;

// Takes one message sent to `self` and runs it; the lock is dropped during the call.
void handleOneSent(MachineLock& lock, ThreadRecord& self) {
    std::shared_ptr<SentMessage> message = self.sent.front();
    self.sent.pop_front();
    message->taken = true;
    hbAcquire(message.get());
    LRESULT result = 0;
    if (std::shared_ptr<Window> window = findWindow(message->hwnd)) {
        result =
            callWindowProc(lock, window, message->message, message->wParam, message->lParam, true);
    }
    hbRelease(message.get());
    message->result = result;
    message->done = true;
    notifyAll();
}

bool passesFilter(const MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (hwnd != nullptr && msg.hwnd != hwnd) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

// Takes (or with `remove` false, copies) the first posted message that passes the filter.
bool takePosted(ThreadRecord& self, HWND hwnd, UINT filterMin, UINT filterMax, bool remove,
                MSG* out) {
    for (auto it = self.posted.begin(); it != self.posted.end(); ++it) {
        if (!passesFilter(*it, hwnd, filterMin, filterMax)) continue;
        hbAcquire(&self.posted);
        *out = *it;
        out->time = GetTickCount();
        if (remove) self.posted.erase(it);
        return true;
    }
    return false;
}

bool takeQuit(ThreadRecord& self, bool remove, MSG* out) {
    if (!self.quitPosted) return false;
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(self.quitCode);
    out->time = GetTickCount();
    if (remove) self.quitPosted = false;
    return true;
}

BOOL postTo(ThreadRecord& target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (target.posted.size() >= kPostedQuota) {
        setError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    hbRelease(&target.posted);
    target.posted.push_back(msg);
    probeMessagePosted(message, wParam, lParam);
    // A posted message ends only GetMessageA's wait on the target thread.
    notifyPosted(target);
    return TRUE;
}

// A window filter that names no window of the calling thread makes GetMessageA fail.
bool validFilter(HWND hwnd, const std::shared_ptr<ThreadRecord>& self) {
    if (hwnd == nullptr) return true;
    std::shared_ptr<Window> window = findWindow(hwnd);
    return window && window->owner == self;
}

}  // namespace

LRESULT callWindowProc(MachineLock& lock, const std::shared_ptr<Window>& window, UINT message,
                       WPARAM wParam, LPARAM lParam, bool sentByOtherThread) {
    WNDPROC proc = window->proc;
    HWND hwnd = window->hwnd;
    std::shared_ptr<ThreadRecord> self = currentThread();
    self->procedures.push_back(sentByOtherThread);
    LRESULT result;
    {
        Unlocked unlocked(lock);
        result = proc(hwnd, message, wParam, lParam);
    }
    self->procedures.pop_back();
    return result;
}

LRESULT sendMessageLocked(MachineLock& lock, HWND hwnd, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    std::shared_ptr<Window> window = findWindow(hwnd);
    if (!window) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::shared_ptr<ThreadRecord> self = currentThread();
    // Another simulated process's window runs DefWindowProcA, here on the sender's thread.
    if (window->owner == self || window->owner->processId != 0) {
        return callWindowProc(lock, window, message, wParam, lParam);
    }

    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    hbRelease(sent.get());
    window->owner->sent.push_back(sent);
    notifyAll();
    for (;;) {
        if (sent->done) {
            hbAcquire(sent.get());
            return sent->result;
        }
        if (!self->sent.empty()) {
            handleOneSent(lock, *self);
            continue;
        }
        lock.wait();
    }
}

void discardMessagesFor(const Window& window) {
    ThreadRecord& owner = *window.owner;
    for (auto it = owner.posted.begin(); it != owner.posted.end();) {
        it = it->hwnd == window.hwnd ? owner.posted.erase(it) : it + 1;
    }
    for (auto it = owner.sent.begin(); it != owner.sent.end();) {
        if ((*it)->hwnd != window.hwnd) {
            ++it;
            continue;
        }
        hbRelease(it->get());
        (*it)->done = true;
        it = owner.sent.erase(it);
    }
    notifyAll();
}

void releaseQueuedMessages(ThreadRecord& thread) {
    for (const auto& sent : thread.sent) {
        hbRelease(sent.get());
        sent->done = true;
    }
    thread.sent.clear();
    thread.posted.clear();
    notifyAll();
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    MachineLock lock;
    return sendMessageLocked(lock, hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    MachineLock lock;
    if (hWnd == nullptr) return postTo(*currentThread(), nullptr, Msg, wParam, lParam);
    if (hWnd == HWND_BROADCAST) {
        for (const auto& window : liveWindowsNewestFirst()) {
            if (window->topLevel()) postTo(*window->owner, window->hwnd, Msg, wParam, lParam);
        }
        return TRUE;
    }
    std::shared_ptr<Window> window = findWindow(hWnd);
    if (!window) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return postTo(*window->owner, hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    MachineLock lock;
    std::shared_ptr<ThreadRecord> thread = findThread(idThread);
    if (!thread) {
        setError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return postTo(*thread, nullptr, Msg, wParam, lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
    MachineLock lock;
    std::shared_ptr<ThreadRecord> self = currentThread();
    self->quitPosted = true;
    self->quitCode = nExitCode;
    notifyAll();
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    MachineLock lock;
    std::shared_ptr<ThreadRecord> self = currentThread();
    for (;;) {
        if (!validFilter(hWnd, self)) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        if (!self->sent.empty()) {
            handleOneSent(lock, *self);
            continue;
        }
        if (takePosted(*self, hWnd, wMsgFilterMin, wMsgFilterMax, true, lpMsg)) {
            return lpMsg->message != WM_QUIT;
        }
        if (takeQuit(*self, true, lpMsg)) return FALSE;
        lock.waitForPosted(*self);
    }
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    MachineLock lock;
    std::shared_ptr<ThreadRecord> self = currentThread();
    while (!self->sent.empty())
        handleOneSent(lock, *self);
    if (!validFilter(hWnd, self)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool remove = (wRemoveMsg & PM_REMOVE) != 0;
    if (takePosted(*self, hWnd, wMsgFilterMin, wMsgFilterMax, remove, lpMsg)) return TRUE;
    return takeQuit(*self, remove, lpMsg) ? TRUE : FALSE;
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
    MachineLock lock;
    // Only waits for any one object, and only sent messages wake it: nothing here needs more.
    if (fWaitAll || (dwWakeMask & ~static_cast<DWORD>(QS_SENDMESSAGE)) != 0) {
        setError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return waitForObjects(lock, nCount, pHandles, FALSE, dwMilliseconds,
                          (dwWakeMask & QS_SENDMESSAGE) != 0);
}

BOOL WINAPI InSendMessage(void) {
    MachineLock lock;
    const std::vector<bool>& procedures = currentThread()->procedures;
    return !procedures.empty() && procedures.back() ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*) {
    // The machine has no keyboard input, so there is never a character message to make.
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    MachineLock lock;
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;
    std::shared_ptr<Window> window = findWindow(lpMsg->hwnd);
    if (!window || window->owner != currentThread()) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return callWindowProc(lock, window, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

}  // extern "C"

namespace winsim {

QueueInfo messageQueue(DWORD threadId) {
    detail::MachineLock lock;
    QueueInfo info;
    if (std::shared_ptr<detail::ThreadRecord> thread = detail::findThread(threadId)) {
        info.sent = static_cast<int>(thread->sent.size());
        info.posted = static_cast<int>(thread->posted.size());
        info.quit = thread->quitPosted;
    }
    return info;
}

}  // namespace winsim
