/* winsim: libraries and the program's own module path. */
#ifndef WINSIM_LIBLOADERAPI_H
#define WINSIM_LIBLOADERAPI_H

#include <windef.h>

WINSIM_EXTERN_C_BEGIN

/* Libraries. On winsim a library is a shared object; loading it calls its DllMain for the
 * process attach, freeing it calls DllMain for the process detach and then unloads it. */
WINSIM_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
WINSIM_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
WINSIM_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);
WINSIM_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

WINSIM_EXTERN_C_END

#endif /* WINSIM_LIBLOADERAPI_H */
