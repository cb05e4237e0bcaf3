// RegisterClassA and UnregisterClassA. Classes are local to the module instance that registers
// them: the same name may be registered once per instance.
#include "user_internal.h"

namespace winsim::detail {

namespace {

std::vector<std::shared_ptr<WindowClass>>& classes() {
    static auto* list = new std::vector<std::shared_ptr<WindowClass>>;
    return *list;
}

ATOM nextAtom = 0xC000;

bool matches(const WindowClass& windowClass, LPCSTR name) {
    if (IS_INTRESOURCE(name)) return windowClass.atom == LOWORD(name);
    return equalsIgnoreCase(windowClass.name, name);
}

}  // namespace

std::shared_ptr<WindowClass> findClass(LPCSTR name, HINSTANCE instance) {
    if (name == nullptr) return nullptr;
    for (const auto& windowClass : classes()) {
        if (windowClass->instance == instance && matches(*windowClass, name)) return windowClass;
    }
    return nullptr;
}

int countClasses() {
    return static_cast<int>(classes().size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::RegisterClass, &error)) {
        setError(error);
        return 0;
    }
    if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr ||
        lpWndClass->lpszClassName == nullptr || IS_INTRESOURCE(lpWndClass->lpszClassName)) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (findClass(lpWndClass->lpszClassName, lpWndClass->hInstance)) {
        setError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto windowClass = std::make_shared<WindowClass>();
    windowClass->atom = nextAtom++;
    windowClass->name = lpWndClass->lpszClassName;
    windowClass->proc = lpWndClass->lpfnWndProc;
    windowClass->instance = lpWndClass->hInstance;
    windowClass->cursor = lpWndClass->hCursor;
    windowClass->style = lpWndClass->style;
    classes().push_back(windowClass);
    return windowClass->atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
    MachineLock lock;
    std::shared_ptr<WindowClass> windowClass = findClass(lpClassName, hInstance);
    if (!windowClass) {
        setError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (windowClass->windowCount > 0) {
        setError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    auto& list = classes();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == windowClass) {
            list.erase(it);
            break;
        }
    }
    return TRUE;
}

}  // extern "C"
