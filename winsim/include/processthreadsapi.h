/* winsim: processes and their tokens. */
#ifndef WINSIM_PROCESSTHREADSAPI_H
#define WINSIM_PROCESSTHREADSAPI_H

#include <windef.h>
#include <winnt.h>

WINSIM_EXTERN_C_BEGIN

/* A pseudo-handle that stands for the calling process; closing it does nothing. */
WINSIM_API HANDLE WINAPI GetCurrentProcess(void);
WINSIM_API HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
WINSIM_API BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode);
WINSIM_API BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess,
                                        PHANDLE TokenHandle);

WINSIM_EXTERN_C_END

#endif /* WINSIM_PROCESSTHREADSAPI_H */
