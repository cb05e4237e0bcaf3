#include "test_window.h"

#include <future>
#include <map>
#include <mutex>

namespace support {

namespace {

struct WindowState {
    MessageLog* log = nullptr;
    WindowHandler handler;
};

std::mutex statesMutex;
std::map<HWND, WindowState>& states() {
    static std::map<HWND, WindowState> map;
    return map;
}
// The state of the window being created on this thread, until its handle is known.
thread_local WindowState* creating = nullptr;

LRESULT CALLBACK testWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowState state;
    {
        std::lock_guard<std::mutex> lock(statesMutex);
        auto it = states().find(hwnd);
        if (it == states().end() && creating != nullptr) {
            it = states().emplace(hwnd, *creating).first;
        }
        if (it != states().end()) state = it->second;
        if (message == WM_NCDESTROY) states().erase(hwnd);
    }
    if (state.log != nullptr) state.log->add({hwnd, message, wParam, lParam, GetCurrentThreadId()});
    if (state.handler) return state.handler(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

HINSTANCE testInstance() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

HWND createTestWindow(const char* title, MessageLog* log, WindowHandler handler, DWORD style) {
    static std::once_flag registered;
    std::call_once(registered, [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = testWindowProc;
        windowClass.hInstance = testInstance();
        windowClass.lpszClassName = "TestWindow";
        RegisterClassA(&windowClass);
    });
    WindowState state{log, std::move(handler)};
    creating = &state;
    HWND hwnd = CreateWindowExA(0, "TestWindow", title, style, 0, 0, 10, 10, nullptr, nullptr,
                                testInstance(), nullptr);
    creating = nullptr;
    return hwnd;
}

WindowThread::WindowThread(const char* title, WindowHandler handler) {
    std::promise<void> ready;
    thread_ = std::thread([&, title, handler] {
        hwnd_ = createTestWindow(title, &log_, [handler](HWND h, UINT m, WPARAM w, LPARAM l) {
            if (m == WM_DESTROY) PostQuitMessage(0);
            return handler ? handler(h, m, w, l) : DefWindowProcA(h, m, w, l);
        });
        threadId_ = GetCurrentThreadId();
        ready.set_value();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    });
    ready.get_future().wait();
}

WindowThread::~WindowThread() {
    stop();
}

void WindowThread::stop() {
    if (!thread_.joinable()) return;
    if (IsWindow(hwnd_)) SendMessageA(hwnd_, WM_CLOSE, 0, 0);
    thread_.join();
}

}  // namespace support
