/* winsim: the process's current directory. */
#ifndef WINSIM_PROCESSENV_H
#define WINSIM_PROCESSENV_H

#include <windef.h>

WINSIM_EXTERN_C_BEGIN

WINSIM_API DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);

WINSIM_EXTERN_C_END

#endif /* WINSIM_PROCESSENV_H */
