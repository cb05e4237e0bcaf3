// winsim internals of the user32 part: window classes, windows and message delivery.
#pragma once

#include "core.h"

namespace winsim::detail {

struct WindowClass {
    ATOM atom = 0;
    std::string name;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    UINT style = 0;
    int windowCount = 0;
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    std::shared_ptr<ThreadRecord> owner;
    WNDPROC proc = nullptr;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HINSTANCE instance = nullptr;
    bool destroying = false;

    bool topLevel() const { return parent == nullptr && (style & WS_CHILD) == 0; }
};

// ---- classes (window_classes.cpp) ----

// The class named `name` (a string or an atom) registered by `instance`, or null.
std::shared_ptr<WindowClass> findClass(LPCSTR name, HINSTANCE instance);
int countClasses();

// ---- windows (windows.cpp) ----

// A live window (one whose destruction has not finished), or null.
std::shared_ptr<Window> findWindow(HWND hwnd);
std::vector<std::shared_ptr<Window>> liveWindowsNewestFirst();
// Sends WM_DESTROY (when the window got as far as WM_CREATE) and WM_NCDESTROY, then kills the
// handle. The window's thread calls it.
void destroyWindowLocked(MachineLock& lock, const std::shared_ptr<Window>& window,
                         bool created = true);
// The windows of the program under test (not those of other simulated processes).
int countWindows();
// A visible top-level window of another simulated process, owned by `owner`: its class is that
// process's own (registered nowhere here) and its procedure is DefWindowProcA.
HWND createWindowOfProcess(const std::shared_ptr<ThreadRecord>& owner, const std::string& className,
                           const std::string& title);

// ---- messages (messages.cpp) ----

// Calls the window procedure with the lock dropped.
LRESULT callWindowProc(MachineLock& lock, const std::shared_ptr<Window>& window, UINT message,
                       WPARAM wParam, LPARAM lParam, bool sentByOtherThread = false);
// SendMessageA with the platform's threading rules; the lock is held on entry and on return.
LRESULT sendMessageLocked(MachineLock& lock, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Drops the messages posted to a window that is going, and answers 0 to the messages sent to
// it that its thread has not yet taken.
void discardMessagesFor(const Window& window);

}  // namespace winsim::detail
