/* winsim: the process heap. */
#ifndef WINSIM_HEAPAPI_H
#define WINSIM_HEAPAPI_H

#include <windef.h>
#include <winnt.h>

WINSIM_EXTERN_C_BEGIN

WINSIM_API HANDLE WINAPI GetProcessHeap(void);
WINSIM_API LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
WINSIM_API BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);

WINSIM_EXTERN_C_END

#endif /* WINSIM_HEAPAPI_H */
