// A host application for hidkeys.dll as a real host is built: it loads the library with
// LoadLibraryA, binds the exports by ordinal, and owns a window, on the calling thread or on a
// thread of its own, that records every notice and key message the library sends it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "hidkeys.h"

namespace e2e {

enum class HostMode { CallingThread, OwnThread };

// A notice as the host's window procedure saw it.
struct ReceivedNotice {
    DeviceNotice notice;
    WPARAM wParam;
    bool duringOpen;  // received before BUK_Open returned
};

class LibraryHost {
  public:
    static constexpr UINT kKeyMessage = WM_APP + 1;
    static constexpr UINT kNoticeMessage = WM_APP + 2;

    explicit LibraryHost(HostMode mode);
    ~LibraryHost();
    LibraryHost(const LibraryHost&) = delete;
    LibraryHost& operator=(const LibraryHost&) = delete;

    // False when the library or one of its exports could not be found.
    bool ready() const;
    HMODULE module() const { return module_; }
    HWND window() const { return window_; }
    DWORD windowThreadId() const;

    int open();
    int close();
    int control(int id, int value);

    std::vector<ReceivedNotice> notices();
    size_t keyMessages();
    void clear();

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI windowThread(LPVOID self);
    HWND createWindow();

    HostMode mode_;
    HMODULE module_ = NULL;
    BUK_OpenProc open_ = NULL;
    BUK_CloseProc close_ = NULL;
    BUK_ControlProc control_ = NULL;
    HWND window_ = NULL;
    HANDLE thread_ = NULL;
    DWORD threadId_ = 0;
    HANDLE windowReady_ = NULL;
    CRITICAL_SECTION lock_;
    std::vector<ReceivedNotice> notices_;
    size_t keyMessages_ = 0;
    volatile LONG opening_ = 0;
};

// "calling_thread" or "own_thread".
const char* hostModeName(HostMode mode);

}  // namespace e2e
