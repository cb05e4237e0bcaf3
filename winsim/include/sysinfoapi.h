/* winsim: the system's version and its Windows and system directories. */
#ifndef WINSIM_SYSINFOAPI_H
#define WINSIM_SYSINFOAPI_H

#include <windef.h>

WINSIM_EXTERN_C_BEGIN

WINSIM_API DWORD WINAPI GetVersion(void);
WINSIM_API UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
WINSIM_API UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);

WINSIM_EXTERN_C_END

#endif /* WINSIM_SYSINFOAPI_H */
