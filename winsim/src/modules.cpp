// LoadLibraryA, GetProcAddress and FreeLibrary over the dynamic loader: a library is a shared
// object whose exported DllMain receives the process attach when it is first loaded and the
// process detach when its last reference is freed.
#include <dlfcn.h>

#include <map>

#include "core.h"

namespace winsim::detail {
namespace {

using DllMainProc = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

struct Module {
    void* object = nullptr;  // from dlopen
    DllMainProc dllMain = nullptr;
    int references = 0;
};

std::map<HMODULE, Module>& modules() {
    static auto* map = new std::map<HMODULE, Module>;
    return *map;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (lpLibFileName == nullptr) {
        MachineLock lock;
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* object = dlopen(lpLibFileName, RTLD_NOW | RTLD_LOCAL);
    if (object == nullptr) {
        MachineLock lock;
        setError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    HMODULE module = nullptr;
    DllMainProc dllMain = nullptr;
    {
        MachineLock lock;
        for (auto& [handle, record] : modules()) {
            if (record.object == object) {
                ++record.references;
                module = handle;
            }
        }
        if (module != nullptr) {
            dlclose(object);  // dlopen counted this load too
            return module;
        }
        module = toHandle<HMODULE>(newHandleValue());
        dllMain = reinterpret_cast<DllMainProc>(dlsym(object, "DllMain"));
        modules()[module] = Module{object, dllMain, 1};
    }
    if (dllMain != nullptr && !dllMain(module, DLL_PROCESS_ATTACH, nullptr)) {
        // The platform unloads a library whose process attach fails.
        dllMain(module, DLL_PROCESS_DETACH, nullptr);
        MachineLock lock;
        modules().erase(module);
        dlclose(object);
        setError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return module;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    MachineLock lock;
    auto found = modules().find(hModule);
    if (found == modules().end() || lpProcName == nullptr) {
        setError(found == modules().end() ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(found->second.object, lpProcName);
    if (symbol == nullptr) {
        setError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    Module record;
    {
        MachineLock lock;
        auto found = modules().find(hLibModule);
        if (found == modules().end()) {
            setError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        if (--found->second.references > 0) return TRUE;
        record = found->second;
        modules().erase(found);
    }
    if (record.dllMain != nullptr) record.dllMain(hLibModule, DLL_PROCESS_DETACH, nullptr);
    dlclose(record.object);
    return TRUE;
}

}  // extern "C"
