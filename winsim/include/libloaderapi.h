/* winsim: the program's own module path. */
#ifndef WINSIM_LIBLOADERAPI_H
#define WINSIM_LIBLOADERAPI_H

#include <windef.h>

WINSIM_EXTERN_C_BEGIN

WINSIM_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

WINSIM_EXTERN_C_END

#endif /* WINSIM_LIBLOADERAPI_H */
