/* winsim: the kernel32 subset of the simulated Win32 (objects, threads, waits, device I/O,
 * global memory, time, strings, privilege names). Declared with C linkage and the platform's
 * signatures. */
#ifndef WINSIM_WINBASE_H
#define WINSIM_WINBASE_H

#include <windef.h>
#include <winerror.h>
#include <winnt.h>

WINSIM_EXTERN_C_BEGIN

#define INFINITE 0xFFFFFFFF
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_ABANDONED_0 0x00000080L
#define WAIT_TIMEOUT 258L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define MAXIMUM_WAIT_OBJECTS 64

#define STATUS_WAIT_0 ((DWORD)0x00000000L)
#define STATUS_PENDING ((DWORD)0x00000103L)
#define STILL_ACTIVE STATUS_PENDING

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define CREATE_SUSPENDED 0x00000004

#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define GENERIC_EXECUTE 0x20000000L
#define GENERIC_ALL 0x10000000L
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

#define HasOverlappedIoCompleted(lpOverlapped) (((DWORD)(lpOverlapped)->Internal) != STATUS_PENDING)

/* A critical section keeps its lock in a block that InitializeCriticalSection allocates
 * (DebugInfo) and DeleteCriticalSection frees; the other fields are kept for layout only. */
typedef struct _RTL_CRITICAL_SECTION {
    PVOID DebugInfo;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
} RTL_CRITICAL_SECTION, CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION;

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

/* Errors */
WINSIM_API DWORD WINAPI GetLastError(void);
WINSIM_API void WINAPI SetLastError(DWORD dwErrCode);

/* Handles */
WINSIM_API BOOL WINAPI CloseHandle(HANDLE hObject);

/* Events and mutexes */
WINSIM_API HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                                      BOOL bInitialState, LPCSTR lpName);
WINSIM_API BOOL WINAPI SetEvent(HANDLE hEvent);
WINSIM_API BOOL WINAPI ResetEvent(HANDLE hEvent);
WINSIM_API HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                                      LPCSTR lpName);
WINSIM_API BOOL WINAPI ReleaseMutex(HANDLE hMutex);

/* Waits and time */
WINSIM_API DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
WINSIM_API DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds);
WINSIM_API void WINAPI Sleep(DWORD dwMilliseconds);
WINSIM_API DWORD WINAPI GetTickCount(void);

/* Threads and the process */
WINSIM_API HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                                      LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                                      DWORD dwCreationFlags, LPDWORD lpThreadId);
WINSIM_API BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
WINSIM_API DWORD WINAPI GetCurrentThreadId(void);
WINSIM_API DWORD WINAPI GetCurrentProcessId(void);

/* Critical sections */
WINSIM_API void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINSIM_API void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINSIM_API void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINSIM_API BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINSIM_API void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

/* The Interlocked family: full barriers, as on the platform. They are inline so that the
 * sanitizers see them as the atomic operations they are. */
static inline LONG InterlockedIncrement(LONG volatile* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedDecrement(LONG volatile* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedExchange(LONG volatile* Target, LONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value) {
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange,
                                              LONG Comparand) {
    __atomic_compare_exchange_n(Destination, &Comparand, Exchange, 0, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comparand;
}
static inline PVOID InterlockedExchangePointer(PVOID volatile* Target, PVOID Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
static inline PVOID InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange,
                                                      PVOID Comparand) {
    __atomic_compare_exchange_n(Destination, &Comparand, Exchange, 0, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comparand;
}

/* Strings */
WINSIM_API int WINAPI lstrlenA(LPCSTR lpString);

/* Privilege names; only the local system (NULL or "") is known. */
WINSIM_API BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid);

/* Global memory */
WINSIM_API HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
WINSIM_API LPVOID WINAPI GlobalLock(HGLOBAL hMem);
WINSIM_API BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
WINSIM_API HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);

/* Files and overlapped device I/O */
WINSIM_API HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                     DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                     HANDLE hTemplateFile);
WINSIM_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
WINSIM_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
WINSIM_API BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                           LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
WINSIM_API BOOL WINAPI CancelIo(HANDLE hFile);

WINSIM_EXTERN_C_END

#endif /* WINSIM_WINBASE_H */
