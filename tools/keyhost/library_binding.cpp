// Loading the key-device library. On Windows its exports are found by ordinal, as the hosts of
// the product find them; the simulated machine's loader knows them only by name.
#include <stdio.h>

#include "keyhost.h"

template <typename Proc>
static Proc exportOf(HMODULE module, int ordinal, const char* name) {
#ifdef _WIN32
    (void)name;
    FARPROC address = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
#else
    (void)ordinal;
    FARPROC address = GetProcAddress(module, name);
#endif
    // The address has the export's real type; going through a plain function pointer keeps the
    // conversion well defined.
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(address));
}

bool loadKeyLibrary(const char* path, KeyLibrary* library) {
    library->module = LoadLibraryA(path);
    if (library->module == 0) {
        fprintf(stderr, "keyhost: can't load %s (error %lu)\n", path,
                (unsigned long)GetLastError());
        return false;
    }
    library->open = exportOf<BUK_OpenProc>(library->module, 2, "BUK_Open");
    library->close = exportOf<BUK_CloseProc>(library->module, 3, "BUK_Close");
    library->control = exportOf<BUK_ControlProc>(library->module, 4, "BUK_Control");
    if (library->open == 0 || library->close == 0 || library->control == 0) {
        fprintf(stderr, "keyhost: %s lacks the key-device exports\n", path);
        unloadKeyLibrary(library);
        return false;
    }
    return true;
}

void unloadKeyLibrary(KeyLibrary* library) {
    if (library->module != 0) FreeLibrary(library->module);
    library->module = 0;
}
