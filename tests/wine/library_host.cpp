#include "library_host.h"

#include "e2e.h"

namespace e2e {

namespace {

const char kWindowClass[] = "E2EHostWindow";
LibraryHost* theHost = NULL;  // the window procedure's way back to its host; one at a time

}  // namespace

const char* hostModeName(HostMode mode) {
    return mode == HostMode::CallingThread ? "calling_thread" : "own_thread";
}

LibraryHost::LibraryHost(HostMode mode) : mode_(mode) {
    InitializeCriticalSection(&lock_);
    theHost = this;
    module_ = LoadLibraryA("hidkeys.dll");
    if (module_ != NULL) {
        open_ = reinterpret_cast<BUK_OpenProc>(
            reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(2))));
        close_ = reinterpret_cast<BUK_CloseProc>(
            reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(3))));
        control_ = reinterpret_cast<BUK_ControlProc>(
            reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(4))));
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);

    if (mode_ == HostMode::CallingThread) {
        window_ = createWindow();
    } else {
        windowReady_ = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread_ = CreateThread(NULL, 0, windowThread, this, 0, &threadId_);
        WaitForSingleObject(windowReady_, 5000);
    }
    CHECK(ready());
}

LibraryHost::~LibraryHost() {
    if (thread_ != NULL) {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(windowReady_);
    } else if (window_ != NULL) {
        DestroyWindow(window_);
    }
    if (module_ != NULL) FreeLibrary(module_);
    theHost = NULL;
    DeleteCriticalSection(&lock_);
}

bool LibraryHost::ready() const {
    return open_ != NULL && close_ != NULL && control_ != NULL && window_ != NULL;
}

DWORD LibraryHost::windowThreadId() const {
    return GetWindowThreadProcessId(window_, NULL);
}

HWND LibraryHost::createWindow() {
    return CreateWindowExA(0, kWindowClass, "host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

DWORD WINAPI LibraryHost::windowThread(LPVOID parameter) {
    LibraryHost* self = static_cast<LibraryHost*>(parameter);
    self->window_ = self->createWindow();
    SetEvent(self->windowReady_);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyWindow(self->window_);
    return 0;
}

int LibraryHost::open() {
    InterlockedExchange(&opening_, 1);
    int result = open_(window_, kKeyMessage, kNoticeMessage);
    InterlockedExchange(&opening_, 0);
    return result;
}

int LibraryHost::close() {
    return close_();
}

int LibraryHost::control(int id, int value) {
    return control_(id, value);
}

std::vector<ReceivedNotice> LibraryHost::notices() {
    EnterCriticalSection(&lock_);
    std::vector<ReceivedNotice> copy = notices_;
    LeaveCriticalSection(&lock_);
    return copy;
}

size_t LibraryHost::keyMessages() {
    EnterCriticalSection(&lock_);
    size_t count = keyMessages_;
    LeaveCriticalSection(&lock_);
    return count;
}

void LibraryHost::clear() {
    EnterCriticalSection(&lock_);
    notices_.clear();
    keyMessages_ = 0;
    LeaveCriticalSection(&lock_);
}

LRESULT CALLBACK LibraryHost::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LibraryHost* host = theHost;
    if (host != NULL && message == kNoticeMessage) {
        ReceivedNotice received;
        received.notice = *reinterpret_cast<const DeviceNotice*>(lParam);
        received.wParam = wParam;
        received.duringOpen = InterlockedCompareExchange(&host->opening_, 0, 0) != 0;
        EnterCriticalSection(&host->lock_);
        host->notices_.push_back(received);
        LeaveCriticalSection(&host->lock_);
        return 0;
    }
    if (host != NULL && message == kKeyMessage) {
        EnterCriticalSection(&host->lock_);
        ++host->keyMessages_;
        LeaveCriticalSection(&host->lock_);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace e2e
