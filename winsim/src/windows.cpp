// Windows: creation, destruction, lookup, the default window procedure.
//
// A window belongs to the thread that creates it; only that thread may destroy it, and it goes
// when that thread ends. Creation sends WM_NCCREATE and WM_CREATE through the window procedure;
// destruction sends WM_DESTROY and WM_NCDESTROY, after which the handle is dead for good.
#include "user_internal.h"

namespace winsim::detail {

namespace {

// Live windows by handle value; handle values grow, so the last one is the newest.
std::map<uintptr_t, std::shared_ptr<Window>>& liveWindows() {
    static auto* map = new std::map<uintptr_t, std::shared_ptr<Window>>;
    return *map;
}

DWORD windowCreationDelay = 0;

}  // namespace

std::shared_ptr<Window> findWindow(HWND hwnd) {
    auto it = liveWindows().find(fromHandle(hwnd));
    return it == liveWindows().end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Window>> liveWindowsNewestFirst() {
    std::vector<std::shared_ptr<Window>> result;
    for (auto it = liveWindows().rbegin(); it != liveWindows().rend(); ++it) {
        result.push_back(it->second);
    }
    return result;
}

int countWindows() {
    int count = 0;
    for (const auto& entry : liveWindows()) {
        if (entry.second->owner->processId == 0) ++count;
    }
    return count;
}

HWND createWindowOfProcess(const std::shared_ptr<ThreadRecord>& owner, const std::string& className,
                           const std::string& title) {
    auto windowClass = std::make_shared<WindowClass>();
    windowClass->name = className;
    windowClass->proc = DefWindowProcA;
    windowClass->instance = toHandle<HINSTANCE>(0x400000);
    auto window = std::make_shared<Window>();
    window->hwnd = toHandle<HWND>(newHandleValue());
    window->windowClass = windowClass;
    window->owner = owner;
    window->proc = DefWindowProcA;
    window->title = title;
    window->style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    window->instance = windowClass->instance;
    liveWindows()[fromHandle(window->hwnd)] = window;
    ++windowClass->windowCount;
    return window->hwnd;
}

void destroyWindowLocked(MachineLock& lock, const std::shared_ptr<Window>& window, bool created) {
    if (window->destroying) return;
    window->destroying = true;
    if (created) callWindowProc(lock, window, WM_DESTROY, 0, 0);
    // Child windows go with their parent, after its WM_DESTROY.
    for (const auto& other : liveWindowsNewestFirst()) {
        if (other->parent == window->hwnd) destroyWindowLocked(lock, other);
    }
    callWindowProc(lock, window, WM_NCDESTROY, 0, 0);
    liveWindows().erase(fromHandle(window->hwnd));
    --window->windowClass->windowCount;
    discardMessagesFor(*window);
    notifyAll();
}

void destroyThreadWindows(MachineLock& lock, const std::shared_ptr<ThreadRecord>& thread) {
    for (;;) {
        std::shared_ptr<Window> victim;
        for (const auto& entry : liveWindows()) {
            if (entry.second->owner == thread && !entry.second->destroying) {
                victim = entry.second;
                break;
            }
        }
        if (!victim) return;
        destroyWindowLocked(lock, victim);
    }
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::CreateWindow, &error)) {
        setError(error);
        return nullptr;
    }
    if (windowCreationDelay != 0) {
        DWORD delay = windowCreationDelay;
        Unlocked unlocked(lock);
        Sleep(delay);
    }
    std::shared_ptr<WindowClass> windowClass = findClass(lpClassName, hInstance);
    if (!windowClass) {
        setError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (hWndParent != nullptr && !findWindow(hWndParent)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto window = std::make_shared<Window>();
    window->hwnd = toHandle<HWND>(newHandleValue());
    window->windowClass = windowClass;
    window->owner = currentThread();
    window->proc = windowClass->proc;
    window->title = lpWindowName ? lpWindowName : "";
    window->style = dwStyle;
    window->exStyle = dwExStyle;
    window->x = X;
    window->y = Y;
    window->width = nWidth;
    window->height = nHeight;
    window->parent = hWndParent;
    window->instance = hInstance;
    liveWindows()[fromHandle(window->hwnd)] = window;
    ++windowClass->windowCount;

    CREATESTRUCTA create{};
    create.lpCreateParams = lpParam;
    create.hInstance = hInstance;
    create.hMenu = hMenu;
    create.hwndParent = hWndParent;
    create.cy = nHeight;
    create.cx = nWidth;
    create.y = Y;
    create.x = X;
    create.style = static_cast<LONG>(dwStyle);
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;

    if (!callWindowProc(lock, window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        // Refused before WM_CREATE: the window goes with WM_NCDESTROY alone.
        destroyWindowLocked(lock, window, false);
        return nullptr;
    }
    if (!findWindow(window->hwnd)) return nullptr;
    if (callWindowProc(lock, window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        destroyWindowLocked(lock, window);
        return nullptr;
    }
    if (!findWindow(window->hwnd)) return nullptr;
    return window->hwnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    MachineLock lock;
    std::shared_ptr<Window> window = findWindow(hWnd);
    if (!window) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->owner != currentThread()) {
        setError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    destroyWindowLocked(lock, window);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    MachineLock lock;
    return findWindow(hWnd) ? TRUE : FALSE;
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    MachineLock lock;
    for (const auto& window : liveWindowsNewestFirst()) {
        if (!window->topLevel() || window->destroying) continue;
        if (lpClassName != nullptr) {
            bool classMatches = IS_INTRESOURCE(lpClassName)
                                    ? window->windowClass->atom == LOWORD(lpClassName)
                                    : equalsIgnoreCase(window->windowClass->name, lpClassName);
            if (!classMatches) continue;
        }
        if (lpWindowName != nullptr && !equalsIgnoreCase(window->title, lpWindowName)) continue;
        return window->hwnd;
    }
    return nullptr;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    MachineLock lock;
    std::shared_ptr<Window> window = findWindow(hWnd);
    if (!window) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId != nullptr) {
        DWORD processId = window->owner->processId;
        *lpdwProcessId = processId != 0 ? processId : currentProcessId();
    }
    return window->owner->id;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM, LPARAM) {
    switch (Msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        default:
            return 0;
    }
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    // Only the system cursors (no instance, an id in the system range) exist on the machine.
    if (hInstance == nullptr && IS_INTRESOURCE(lpCursorName)) {
        WORD id = LOWORD(lpCursorName);
        if (id >= 32512 && id <= 32651) return toHandle<HCURSOR>(0x10000u + id);
    }
    setError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HWND WINAPI GetFocus(void) {
    // The machine has no keyboard input, so no window ever has the focus.
    return nullptr;
}

}  // extern "C"

namespace winsim {

void setWindowCreationDelay(DWORD milliseconds) {
    detail::MachineLock lock;
    detail::windowCreationDelay = milliseconds;
}

static WindowInfo describe(const detail::Window& window) {
    WindowInfo info;
    info.hwnd = window.hwnd;
    info.className = window.windowClass->name;
    info.classCursor = window.windowClass->cursor;
    info.classStyle = window.windowClass->style;
    info.title = window.title;
    info.style = window.style;
    info.exStyle = window.exStyle;
    info.x = window.x;
    info.y = window.y;
    info.width = window.width;
    info.height = window.height;
    info.parent = window.parent;
    info.instance = window.instance;
    info.threadId = window.owner->id;
    return info;
}

std::vector<WindowInfo> windows() {
    detail::MachineLock lock;
    std::vector<WindowInfo> result;
    for (const auto& window : detail::liveWindowsNewestFirst())
        result.push_back(describe(*window));
    return result;
}

bool windowInfo(HWND hwnd, WindowInfo* info) {
    detail::MachineLock lock;
    std::shared_ptr<detail::Window> window = detail::findWindow(hwnd);
    if (!window) return false;
    if (info != nullptr) *info = describe(*window);
    return true;
}

}  // namespace winsim
