/* winsim: base types of the simulated Win32.
 *
 * Widths follow Windows, not the Linux host: DWORD, LONG and ULONG are 32 bits, while WPARAM,
 * LPARAM, LRESULT, the *_PTR types and every handle are pointer-sized. Handles of different
 * kinds are distinct pointer types, as with STRICT on the platform, so that passing the wrong
 * kind of handle fails to compile here as it does against the platform's own headers.
 */
#ifndef WINSIM_WINDEF_H
#define WINSIM_WINDEF_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define WINSIM_EXTERN_C_BEGIN extern "C" {
#define WINSIM_EXTERN_C_END }
#else
#define WINSIM_EXTERN_C_BEGIN
#define WINSIM_EXTERN_C_END
#endif

/* The simulation runs on the host's own calling convention. */
#define WINAPI
#define APIENTRY
#define CALLBACK
#define WINAPIV
#define WINSIM_API __attribute__((visibility("default")))

#ifndef NULL
#define NULL 0
#endif
#define FALSE 0
#define TRUE 1
#define VOID void
#define CONST const

#define MAX_PATH 260

typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef unsigned char BYTE;
typedef unsigned char BOOLEAN;
typedef short SHORT;
typedef unsigned short USHORT;
typedef unsigned short WORD;
typedef int INT;
typedef unsigned int UINT;
typedef int LONG;
typedef unsigned int ULONG;
typedef unsigned int DWORD;
typedef int BOOL;
typedef long long LONGLONG;
typedef unsigned long long ULONGLONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef LONG_PTR SSIZE_T;
typedef WORD ATOM;
typedef LONG NTSTATUS;

typedef CHAR* LPSTR;
typedef CHAR* PSTR;
typedef const CHAR* LPCSTR;
typedef const CHAR* PCSTR;
typedef BYTE* LPBYTE;
typedef BYTE* PBYTE;
typedef BOOL* LPBOOL;
typedef BOOL* PBOOL;
typedef WORD* LPWORD;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef LONG* LPLONG;
typedef LONG* PLONG;
typedef ULONG* PULONG;
typedef USHORT* PUSHORT;
typedef UINT* PUINT;

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef HANDLE* LPHANDLE;

#define WINSIM_DECLARE_HANDLE(name) \
    struct name##__ {               \
        int unused;                 \
    };                              \
    typedef struct name##__* name

WINSIM_DECLARE_HANDLE(HWND);
WINSIM_DECLARE_HANDLE(HINSTANCE);
WINSIM_DECLARE_HANDLE(HICON);
WINSIM_DECLARE_HANDLE(HBRUSH);
WINSIM_DECLARE_HANDLE(HMENU);
WINSIM_DECLARE_HANDLE(HKEY);
typedef HINSTANCE HMODULE;
typedef INT_PTR(WINAPI* FARPROC)(void);
typedef HICON HCURSOR;
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;
typedef PVOID HDEVNOTIFY;
typedef HKEY* PHKEY;

typedef struct _GUID {
    ULONG Data1;
    USHORT Data2;
    USHORT Data3;
    UCHAR Data4[8];
} GUID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *PRECT, *LPRECT;

/* 100-nanosecond intervals since 1601, split in two halves. */
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define MAKELONG(a, b)                                                                         \
    ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) \
                                                      << 16))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTATOM(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))

#endif /* WINSIM_WINDEF_H */
