/* winsim: files and directories of the simulated file system, and the directory search. */
#ifndef WINSIM_FILEAPI_H
#define WINSIM_FILEAPI_H

#include <windef.h>
#include <winnt.h>
#include <winbase.h>

WINSIM_EXTERN_C_BEGIN

#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

/* One entry of a directory search. cAlternateFileName (the short name) stays empty here. */
typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

WINSIM_API BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName,
                                        LPSECURITY_ATTRIBUTES lpSecurityAttributes);
WINSIM_API BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName);
WINSIM_API BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
WINSIM_API DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);
WINSIM_API BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes);

WINSIM_API HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
WINSIM_API BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
WINSIM_API BOOL WINAPI FindClose(HANDLE hFindFile);

WINSIM_EXTERN_C_END

#endif /* WINSIM_FILEAPI_H */
