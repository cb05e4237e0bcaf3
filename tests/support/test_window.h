// Test windows: a window whose procedure is a std::function, on the calling thread or on a
// thread of its own that runs a message loop.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <thread>

#include "message_log.h"

namespace support {

// Handles one message; return std::nullopt-like behaviour by calling DefWindowProcA yourself.
using WindowHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// The module instance that test windows are registered under.
HINSTANCE testInstance();

// Creates a top-level window of the class "TestWindow" on the calling thread. Every message is
// logged in `log` (when given) before `handler` (or DefWindowProcA) runs.
HWND createTestWindow(const char* title, MessageLog* log = nullptr, WindowHandler handler = {},
                      DWORD style = WS_POPUP);

// A thread that owns one test window and runs GetMessageA/DispatchMessageA until WM_QUIT.
// The window posts the quit message when it is destroyed.
class WindowThread {
  public:
    explicit WindowThread(const char* title = "window thread", WindowHandler handler = {});
    ~WindowThread();
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    HWND hwnd() const { return hwnd_; }
    DWORD threadId() const { return threadId_; }
    MessageLog& log() { return log_; }
    // Closes the window (WM_CLOSE, sent) and waits for the thread to end.
    void stop();

  private:
    MessageLog log_;
    std::thread thread_;
    HWND hwnd_ = nullptr;
    DWORD threadId_ = 0;
};

}  // namespace support
