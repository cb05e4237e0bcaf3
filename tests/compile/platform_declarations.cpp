// Every Win32 declaration that winsim provides, checked for the platform's signature, value and
// layout. This file compiles unchanged against winsim's headers and against MinGW-w64's.
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

namespace {

constexpr bool k64 = sizeof(void*) == 8;

// Layouts the deliverables and the platform exchange.
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(ULONG) == 4, "32-bit types");
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*), "params");
static_assert(sizeof(LRESULT) == sizeof(void*) && sizeof(HANDLE) == sizeof(void*), "pointers");
static_assert(sizeof(GUID) == 16, "GUID");
static_assert(sizeof(DEV_BROADCAST_HDR) == 12, "DEV_BROADCAST_HDR");
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32, "DEV_BROADCAST_DEVICEINTERFACE_A");
static_assert(sizeof(DEV_BROADCAST_HANDLE) == (k64 ? 56 : 44), "DEV_BROADCAST_HANDLE");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (k64 ? 32 : 28), "SP_DEVICE_INTERFACE_DATA");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (k64 ? 8 : 5),
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A");
static_assert(sizeof(SP_DEVINFO_DATA) == (k64 ? 32 : 28), "SP_DEVINFO_DATA");
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES");
static_assert(sizeof(HIDP_CAPS) == 64, "HIDP_CAPS");
static_assert(sizeof(OVERLAPPED) == (k64 ? 32 : 20), "OVERLAPPED");
static_assert(sizeof(MSG) == (k64 ? 48 : 28), "MSG");
static_assert(sizeof(WNDCLASSA) == (k64 ? 72 : 40), "WNDCLASSA");
static_assert(sizeof(CREATESTRUCTA) == (k64 ? 80 : 48), "CREATESTRUCTA");
static_assert(sizeof(CRITICAL_SECTION) == (k64 ? 40 : 24), "CRITICAL_SECTION");
static_assert(sizeof(SECURITY_ATTRIBUTES) == (k64 ? 24 : 12), "SECURITY_ATTRIBUTES");

// Values.
static_assert(INFINITE == 0xFFFFFFFF && WAIT_OBJECT_0 == 0 && WAIT_TIMEOUT == 258, "waits");
static_assert(WAIT_ABANDONED_0 == 0x80 && WAIT_FAILED == 0xFFFFFFFF, "waits");
static_assert(STILL_ACTIVE == 259 && MAXIMUM_WAIT_OBJECTS == 64, "threads");
static_assert(DLL_PROCESS_DETACH == 0 && DLL_PROCESS_ATTACH == 1, "DllMain reasons");
static_assert(DLL_THREAD_ATTACH == 2 && DLL_THREAD_DETACH == 3, "DllMain reasons");
static_assert(GENERIC_READ == 0x80000000 && GENERIC_WRITE == 0x40000000, "access");
static_assert(FILE_SHARE_READ == 1 && FILE_SHARE_WRITE == 2 && OPEN_EXISTING == 3, "files");
static_assert(FILE_FLAG_OVERLAPPED == 0x40000000 && FILE_ATTRIBUTE_NORMAL == 0x80, "files");
static_assert(GMEM_MOVEABLE == 2 && GMEM_ZEROINIT == 0x40 && GMEM_FIXED == 0, "global memory");
static_assert(ERROR_SUCCESS == 0 && ERROR_FILE_NOT_FOUND == 2 && ERROR_ACCESS_DENIED == 5, "");
static_assert(ERROR_INVALID_HANDLE == 6 && ERROR_NOT_ENOUGH_MEMORY == 8, "errors");
static_assert(ERROR_INVALID_DATA == 13 && ERROR_GEN_FAILURE == 31, "errors");
static_assert(ERROR_SHARING_VIOLATION == 32 && ERROR_INVALID_PARAMETER == 87, "errors");
static_assert(ERROR_INSUFFICIENT_BUFFER == 122 && ERROR_ALREADY_EXISTS == 183, "errors");
static_assert(ERROR_NO_MORE_ITEMS == 259 && ERROR_NOT_OWNER == 288, "errors");
static_assert(ERROR_OPERATION_ABORTED == 995 && ERROR_IO_INCOMPLETE == 996, "errors");
static_assert(ERROR_IO_PENDING == 997 && ERROR_DEVICE_NOT_CONNECTED == 1167, "errors");
static_assert(ERROR_INVALID_WINDOW_HANDLE == 1400 && ERROR_CANNOT_FIND_WND_CLASS == 1407, "");
static_assert(ERROR_CLASS_ALREADY_EXISTS == 1410 && ERROR_CLASS_DOES_NOT_EXIST == 1411, "");
static_assert(ERROR_CLASS_HAS_WINDOWS == 1412 && ERROR_INVALID_THREAD_ID == 1444, "errors");
static_assert(ERROR_INVALID_USER_BUFFER == 1784 && ERROR_NOT_ENOUGH_QUOTA == 1816, "errors");
static_assert(ERROR_RESOURCE_NAME_NOT_FOUND == 1814 && ERROR_NOT_LOCKED == 158, "errors");
static_assert(ERROR_MOD_NOT_FOUND == 126 && ERROR_PROC_NOT_FOUND == 127, "errors");
static_assert(ERROR_DLL_INIT_FAILED == 1114, "errors");
static_assert(ERROR_MORE_DATA == 234 && ERROR_CALL_NOT_IMPLEMENTED == 120, "errors");
static_assert(WM_CREATE == 1 && WM_DESTROY == 2 && WM_CLOSE == 0x10 && WM_QUIT == 0x12, "");
static_assert(WM_NCCREATE == 0x81 && WM_NCDESTROY == 0x82 && WM_USER == 0x400, "messages");
static_assert(WM_POWERBROADCAST == 0x218 && WM_DEVICECHANGE == 0x219, "messages");
static_assert(PBT_APMQUERYSUSPEND == 0 && PBT_APMQUERYSTANDBY == 1, "power");
static_assert(PBT_APMQUERYSUSPENDFAILED == 2 && PBT_APMQUERYSTANDBYFAILED == 3, "power");
static_assert(PBT_APMSUSPEND == 4 && PBT_APMSTANDBY == 5 && PBT_APMRESUMECRITICAL == 6, "");
static_assert(PBT_APMRESUMESUSPEND == 7 && PBT_APMRESUMESTANDBY == 8, "power");
static_assert(PBT_APMPOWERSTATUSCHANGE == 10 && PBT_APMRESUMEAUTOMATIC == 18, "power");
static_assert(WS_POPUP == 0x80000000 && WS_CLIPSIBLINGS == 0x04000000, "styles");
static_assert(WS_VISIBLE == 0x10000000 && WS_CHILD == 0x40000000, "styles");
static_assert(WS_EX_OVERLAPPEDWINDOW == 0x300, "styles");
static_assert(PM_REMOVE == 1 && PM_NOREMOVE == 0, "peek");
static_assert(QS_SENDMESSAGE == 0x40, "wake mask");
static_assert(DEVICE_NOTIFY_WINDOW_HANDLE == 0 && DEVICE_NOTIFY_SERVICE_HANDLE == 1, "notify");
static_assert(DEVICE_NOTIFY_ALL_INTERFACE_CLASSES == 4, "notify");
static_assert(DBT_DEVICEARRIVAL == 0x8000 && DBT_DEVICEQUERYREMOVE == 0x8001, "broadcasts");
static_assert(DBT_DEVICEREMOVEPENDING == 0x8003 && DBT_DEVICEREMOVECOMPLETE == 0x8004, "");
static_assert(DBT_DEVTYP_DEVICEINTERFACE == 5 && DBT_DEVTYP_HANDLE == 6, "broadcasts");
static_assert(DIGCF_PRESENT == 2 && DIGCF_DEVICEINTERFACE == 0x10, "device sets");
static_assert(HIDP_STATUS_SUCCESS == 0x00110000, "hid");

// Signatures: each function is assigned to a pointer of the platform's type.
template <typename F>
void use(F) {}

[[maybe_unused]] void signatures() {
    use<DWORD(WINAPI*)(void)>(&GetLastError);
    use<void(WINAPI*)(DWORD)>(&SetLastError);
    use<BOOL(WINAPI*)(HANDLE)>(&CloseHandle);
    use<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR)>(&CreateEventA);
    use<BOOL(WINAPI*)(HANDLE)>(&SetEvent);
    use<BOOL(WINAPI*)(HANDLE)>(&ResetEvent);
    use<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR)>(&CreateMutexA);
    use<BOOL(WINAPI*)(HANDLE)>(&ReleaseMutex);
    use<DWORD(WINAPI*)(HANDLE, DWORD)>(&WaitForSingleObject);
    use<DWORD(WINAPI*)(DWORD, const HANDLE*, BOOL, DWORD)>(&WaitForMultipleObjects);
    use<void(WINAPI*)(DWORD)>(&Sleep);
    use<DWORD(WINAPI*)(void)>(&GetTickCount);
    use<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                        LPDWORD)>(&CreateThread);
    use<BOOL(WINAPI*)(HANDLE, LPDWORD)>(&GetExitCodeThread);
    use<DWORD(WINAPI*)(void)>(&GetCurrentThreadId);
    use<DWORD(WINAPI*)(void)>(&GetCurrentProcessId);
    use<void(WINAPI*)(LPCRITICAL_SECTION)>(&InitializeCriticalSection);
    use<void(WINAPI*)(LPCRITICAL_SECTION)>(&DeleteCriticalSection);
    use<void(WINAPI*)(LPCRITICAL_SECTION)>(&EnterCriticalSection);
    use<BOOL(WINAPI*)(LPCRITICAL_SECTION)>(&TryEnterCriticalSection);
    use<void(WINAPI*)(LPCRITICAL_SECTION)>(&LeaveCriticalSection);
    use<HGLOBAL(WINAPI*)(UINT, SIZE_T)>(&GlobalAlloc);
    use<LPVOID(WINAPI*)(HGLOBAL)>(&GlobalLock);
    use<BOOL(WINAPI*)(HGLOBAL)>(&GlobalUnlock);
    use<HGLOBAL(WINAPI*)(HGLOBAL)>(&GlobalFree);
    use<HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)>(
        &CreateFileA);
    use<BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)>(&ReadFile);
    use<BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED)>(&WriteFile);
    use<BOOL(WINAPI*)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL)>(&GetOverlappedResult);
    use<BOOL(WINAPI*)(HANDLE)>(&CancelIo);
    use<HMODULE(WINAPI*)(LPCSTR)>(&LoadLibraryA);
    use<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(&GetProcAddress);
    use<BOOL(WINAPI*)(HMODULE)>(&FreeLibrary);

    use<ATOM(WINAPI*)(const WNDCLASSA*)>(&RegisterClassA);
    use<BOOL(WINAPI*)(LPCSTR, HINSTANCE)>(&UnregisterClassA);
    use<HWND(WINAPI*)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                      LPVOID)>(&CreateWindowExA);
    use<BOOL(WINAPI*)(HWND)>(&DestroyWindow);
    use<BOOL(WINAPI*)(HWND)>(&IsWindow);
    use<HWND(WINAPI*)(LPCSTR, LPCSTR)>(&FindWindowA);
    use<DWORD(WINAPI*)(HWND, LPDWORD)>(&GetWindowThreadProcessId);
    use<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)>(&DefWindowProcA);
    use<HCURSOR(WINAPI*)(HINSTANCE, LPCSTR)>(&LoadCursorA);
    use<HWND(WINAPI*)(void)>(&GetFocus);
    use<BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT)>(&GetMessageA);
    use<BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT)>(&PeekMessageA);
    use<DWORD(WINAPI*)(DWORD, const HANDLE*, BOOL, DWORD, DWORD)>(&MsgWaitForMultipleObjects);
    use<BOOL(WINAPI*)(void)>(&InSendMessage);
    use<BOOL(WINAPI*)(const MSG*)>(&TranslateMessage);
    use<LRESULT(WINAPI*)(const MSG*)>(&DispatchMessageA);
    use<BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM)>(&PostMessageA);
    use<BOOL(WINAPI*)(DWORD, UINT, WPARAM, LPARAM)>(&PostThreadMessageA);
    use<void(WINAPI*)(int)>(&PostQuitMessage);
    use<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)>(&SendMessageA);
    use<HDEVNOTIFY(WINAPI*)(HANDLE, LPVOID, DWORD)>(&RegisterDeviceNotificationA);
    use<BOOL(WINAPI*)(HDEVNOTIFY)>(&UnregisterDeviceNotification);

    use<void(WINAPI*)(LPGUID)>(&HidD_GetHidGuid);
    use<BOOLEAN(WINAPI*)(HANDLE, PHIDD_ATTRIBUTES)>(&HidD_GetAttributes);
    use<BOOLEAN(WINAPI*)(HANDLE, PHIDP_PREPARSED_DATA*)>(&HidD_GetPreparsedData);
    use<BOOLEAN(WINAPI*)(PHIDP_PREPARSED_DATA)>(&HidD_FreePreparsedData);
    use<NTSTATUS(WINAPI*)(PHIDP_PREPARSED_DATA, PHIDP_CAPS)>(&HidP_GetCaps);

    use<HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD)>(&SetupDiGetClassDevsA);
    use<BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA)>(
        &SetupDiEnumDeviceInterfaces);
    use<BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A,
                      DWORD, PDWORD, PSP_DEVINFO_DATA)>(&SetupDiGetDeviceInterfaceDetailA);
    use<BOOL(WINAPI*)(HDEVINFO)>(&SetupDiDestroyDeviceInfoList);

    // Macros and intrinsics are used the way code uses them.
    LONG volatile counter = 0;
    InterlockedIncrement(&counter);
    InterlockedDecrement(&counter);
    InterlockedExchange(&counter, 5);
    InterlockedExchangeAdd(&counter, 2);
    InterlockedCompareExchange(&counter, 1, 7);
    PVOID volatile pointer = nullptr;
    InterlockedExchangePointer(&pointer, nullptr);
    InterlockedCompareExchangePointer(&pointer, nullptr, nullptr);
    OVERLAPPED overlapped = {};
    overlapped.Offset = 0;
    overlapped.OffsetHigh = 0;
    use(HasOverlappedIoCompleted(&overlapped));
    use<LPCSTR>(IDC_ARROW);
    use<LPCSTR>(MAKEINTATOM(1));
    use<HANDLE>(INVALID_HANDLE_VALUE);
    use<HWND>(HWND_BROADCAST);
    use(LOWORD(0x12345678) + HIWORD(0x12345678));
}

}  // namespace

// ---- Registry, files and directories, system information, driver installation ---------------
#include <newdev.h>

#include <cstddef>

namespace {

static_assert(sizeof(FILETIME) == 8, "FILETIME");
static_assert(sizeof(WIN32_FIND_DATAA) == 320, "WIN32_FIND_DATAA");
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == 44, "WIN32_FIND_DATAA.cFileName");
static_assert(sizeof(REGSAM) == 4 && sizeof(ACCESS_MASK) == 4 && sizeof(LSTATUS) == 4, "");

static_assert(KEY_QUERY_VALUE == 1 && KEY_SET_VALUE == 2 && KEY_CREATE_SUB_KEY == 4, "keys");
static_assert(KEY_ENUMERATE_SUB_KEYS == 8 && KEY_NOTIFY == 0x10 && KEY_CREATE_LINK == 0x20, "");
static_assert(KEY_READ == 0x20019 && KEY_WRITE == 0x20006 && KEY_EXECUTE == 0x20019, "keys");
static_assert(KEY_ALL_ACCESS == 0xF003F, "keys");
static_assert(DELETE == 0x10000 && READ_CONTROL == 0x20000 && WRITE_DAC == 0x40000, "rights");
static_assert(WRITE_OWNER == 0x80000 && SYNCHRONIZE == 0x100000, "rights");
static_assert(STANDARD_RIGHTS_REQUIRED == 0xF0000 && STANDARD_RIGHTS_ALL == 0x1F0000, "rights");
static_assert(STANDARD_RIGHTS_READ == 0x20000 && SPECIFIC_RIGHTS_ALL == 0xFFFF, "rights");
static_assert(MAXIMUM_ALLOWED == 0x2000000, "rights");
static_assert(REG_OPTION_NON_VOLATILE == 0 && REG_OPTION_VOLATILE == 1, "key options");
static_assert(REG_CREATED_NEW_KEY == 1 && REG_OPENED_EXISTING_KEY == 2, "dispositions");
static_assert(REG_NONE == 0 && REG_SZ == 1 && REG_EXPAND_SZ == 2 && REG_BINARY == 3, "types");
static_assert(REG_DWORD == 4 && REG_MULTI_SZ == 7, "value types");
static_assert(FILE_ATTRIBUTE_READONLY == 1 && FILE_ATTRIBUTE_HIDDEN == 2, "attributes");
static_assert(FILE_ATTRIBUTE_SYSTEM == 4 && FILE_ATTRIBUTE_DIRECTORY == 0x10, "attributes");
static_assert(FILE_ATTRIBUTE_ARCHIVE == 0x20 && FILE_ATTRIBUTE_TEMPORARY == 0x100, "");
static_assert(FILE_ATTRIBUTE_REPARSE_POINT == 0x400, "attributes");
static_assert(INVALID_FILE_ATTRIBUTES == 0xFFFFFFFF, "attributes");
static_assert(INSTALLFLAG_FORCE == 1 && INSTALLFLAG_READONLY == 2, "install flags");
static_assert(INSTALLFLAG_NONINTERACTIVE == 4 && INSTALLFLAG_BITS == 7, "install flags");
static_assert(ERROR_NO_MORE_FILES == 18 && ERROR_INVALID_NAME == 123, "errors");
static_assert(ERROR_DIR_NOT_EMPTY == 145 && ERROR_BAD_PATHNAME == 161, "errors");
static_assert(ERROR_FILENAME_EXCED_RANGE == 206 && ERROR_DIRECTORY == 267, "errors");
static_assert(ERROR_INVALID_FLAGS == 1004 && ERROR_KEY_DELETED == 1018, "errors");
static_assert(ERROR_CANT_RESOLVE_FILENAME == 1921, "errors");

[[maybe_unused]] void registryAndFileSignatures() {
    use<LSTATUS(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY)>(&RegOpenKeyExA);
    use<LSTATUS(WINAPI*)(HKEY, LPCSTR, PHKEY)>(&RegOpenKeyA);
    use<LSTATUS(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                         LPDWORD)>(&RegCreateKeyExA);
    use<LSTATUS(WINAPI*)(HKEY)>(&RegCloseKey);
    use<LSTATUS(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)>(&RegSetValueExA);
    use<LSTATUS(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD)>(&RegQueryValueExA);
    use<LSTATUS(WINAPI*)(HKEY, LPCSTR)>(&RegDeleteValueA);
    use<LSTATUS(WINAPI*)(HKEY, LPCSTR)>(&RegDeleteKeyA);
    use<LSTATUS(WINAPI*)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, PFILETIME)>(
        &RegEnumKeyExA);

    use<BOOL(WINAPI*)(LPCSTR, LPSECURITY_ATTRIBUTES)>(&CreateDirectoryA);
    use<BOOL(WINAPI*)(LPCSTR)>(&RemoveDirectoryA);
    use<BOOL(WINAPI*)(LPCSTR)>(&DeleteFileA);
    use<DWORD(WINAPI*)(LPCSTR)>(&GetFileAttributesA);
    use<BOOL(WINAPI*)(LPCSTR, DWORD)>(&SetFileAttributesA);
    use<HANDLE(WINAPI*)(LPCSTR, LPWIN32_FIND_DATAA)>(&FindFirstFileA);
    use<BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAA)>(&FindNextFileA);
    use<BOOL(WINAPI*)(HANDLE)>(&FindClose);

    use<DWORD(WINAPI*)(void)>(&GetVersion);
    use<DWORD(WINAPI*)(HMODULE, LPSTR, DWORD)>(&GetModuleFileNameA);
    use<UINT(WINAPI*)(LPSTR, UINT)>(&GetWindowsDirectoryA);
    use<UINT(WINAPI*)(LPSTR, UINT)>(&GetSystemDirectoryA);
    use<DWORD(WINAPI*)(DWORD, LPSTR)>(&GetCurrentDirectoryA);

    use<BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL)>(&UpdateDriverForPlugAndPlayDevicesA);

    use<HKEY>(HKEY_LOCAL_MACHINE);
    use<HKEY>(HKEY_CURRENT_USER);
    use<HKEY>(HKEY_CLASSES_ROOT);
    FILETIME time = {};
    time.dwLowDateTime = time.dwHighDateTime = 0;
    use(time);
}

}  // namespace

// ---- Security, tokens, processes, the process heap, message boxes, strings -----------------

namespace {

static_assert(sizeof(SID_IDENTIFIER_AUTHORITY) == 6 && sizeof(SID) == 12, "SID");
static_assert(sizeof(ACL) == 8 && sizeof(ACE_HEADER) == 4, "ACL");
static_assert(sizeof(ACCESS_ALLOWED_ACE) == 12, "ACCESS_ALLOWED_ACE");
static_assert(offsetof(ACCESS_ALLOWED_ACE, SidStart) == 8, "ACCESS_ALLOWED_ACE.SidStart");
static_assert(sizeof(SECURITY_DESCRIPTOR) == (k64 ? 40 : 20), "SECURITY_DESCRIPTOR");
static_assert(offsetof(SECURITY_DESCRIPTOR, Dacl) == (k64 ? 32 : 16), "SECURITY_DESCRIPTOR.Dacl");
static_assert(sizeof(LUID) == 8 && sizeof(LUID_AND_ATTRIBUTES) == 12, "LUID");
static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "TOKEN_PRIVILEGES");
static_assert(sizeof(SECURITY_INFORMATION) == 4 && sizeof(SECURITY_DESCRIPTOR_CONTROL) == 2, "");

static_assert(ANYSIZE_ARRAY == 1 && SID_REVISION == 1 && SID_MAX_SUB_AUTHORITIES == 15, "SID");
static_assert(SECURITY_WORLD_RID == 0 && SECURITY_LOCAL_SYSTEM_RID == 18, "RIDs");
static_assert(SECURITY_BUILTIN_DOMAIN_RID == 32 && DOMAIN_ALIAS_RID_ADMINS == 544, "RIDs");
static_assert(DOMAIN_ALIAS_RID_USERS == 545, "RIDs");
static_assert(ACL_REVISION == 2 && ACL_REVISION_DS == 4, "ACL revisions");
static_assert(ACCESS_ALLOWED_ACE_TYPE == 0 && ACCESS_DENIED_ACE_TYPE == 1, "ACE types");
static_assert(OBJECT_INHERIT_ACE == 1 && CONTAINER_INHERIT_ACE == 2, "ACE flags");
static_assert(NO_PROPAGATE_INHERIT_ACE == 4 && INHERIT_ONLY_ACE == 8, "ACE flags");
static_assert(SECURITY_DESCRIPTOR_REVISION == 1 && SE_DACL_PRESENT == 4, "descriptors");
static_assert(SE_OWNER_DEFAULTED == 1 && SE_GROUP_DEFAULTED == 2, "descriptors");
static_assert(SE_DACL_DEFAULTED == 8 && SE_SACL_PRESENT == 0x10, "descriptors");
static_assert(SE_SELF_RELATIVE == 0x8000, "descriptors");
static_assert(OWNER_SECURITY_INFORMATION == 1 && GROUP_SECURITY_INFORMATION == 2, "");
static_assert(DACL_SECURITY_INFORMATION == 4 && SACL_SECURITY_INFORMATION == 8, "");
static_assert(SE_PRIVILEGE_ENABLED_BY_DEFAULT == 1 && SE_PRIVILEGE_ENABLED == 2, "privileges");
static_assert(SE_PRIVILEGE_REMOVED == 4, "privileges");
static_assert(TOKEN_ASSIGN_PRIMARY == 1 && TOKEN_DUPLICATE == 2 && TOKEN_IMPERSONATE == 4, "");
static_assert(TOKEN_QUERY == 8 && TOKEN_QUERY_SOURCE == 0x10, "token rights");
static_assert(TOKEN_ADJUST_PRIVILEGES == 0x20 && TOKEN_ADJUST_GROUPS == 0x40, "token rights");
static_assert(TOKEN_ADJUST_DEFAULT == 0x80, "token rights");
static_assert(PROCESS_TERMINATE == 1 && PROCESS_QUERY_INFORMATION == 0x400, "process rights");
static_assert(HEAP_NO_SERIALIZE == 1 && HEAP_GENERATE_EXCEPTIONS == 4, "heap flags");
static_assert(HEAP_ZERO_MEMORY == 8, "heap flags");
static_assert(MB_OK == 0 && MB_OKCANCEL == 1 && MB_ABORTRETRYIGNORE == 2, "message boxes");
static_assert(MB_YESNOCANCEL == 3 && MB_YESNO == 4 && MB_RETRYCANCEL == 5, "message boxes");
static_assert(MB_ICONHAND == 0x10 && MB_ICONQUESTION == 0x20, "message boxes");
static_assert(MB_ICONEXCLAMATION == 0x30 && MB_ICONASTERISK == 0x40, "message boxes");
static_assert(MB_ICONINFORMATION == 0x40 && MB_TYPEMASK == 0xF, "message boxes");
static_assert(IDOK == 1 && IDCANCEL == 2 && IDABORT == 3 && IDRETRY == 4, "buttons");
static_assert(IDIGNORE == 5 && IDYES == 6 && IDNO == 7, "buttons");
static_assert(ERROR_NOT_ALL_ASSIGNED == 1300 && ERROR_UNKNOWN_REVISION == 1305, "errors");
static_assert(ERROR_REVISION_MISMATCH == 1306 && ERROR_NO_SUCH_PRIVILEGE == 1313, "errors");
static_assert(ERROR_INVALID_ACL == 1336 && ERROR_INVALID_SID == 1337, "errors");
static_assert(ERROR_INVALID_SECURITY_DESCR == 1338, "errors");
static_assert(ERROR_ALLOTTED_SPACE_EXCEEDED == 1344, "errors");

[[maybe_unused]] void securityAndProcessSignatures() {
    use<BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                      DWORD, DWORD, PSID*)>(&AllocateAndInitializeSid);
    use<DWORD(WINAPI*)(PSID)>(&GetLengthSid);
    use<PVOID(WINAPI*)(PSID)>(&FreeSid);
    use<BOOL(WINAPI*)(PACL, DWORD, DWORD)>(&InitializeAcl);
    use<BOOL(WINAPI*)(PACL, DWORD, DWORD, PSID)>(&AddAccessAllowedAce);
    use<BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD)>(&InitializeSecurityDescriptor);
    use<BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL)>(&SetSecurityDescriptorDacl);
    use<LONG(WINAPI*)(HKEY, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR)>(&RegSetKeySecurity);
    use<BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD)>(
        &AdjustTokenPrivileges);
    use<BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID)>(&LookupPrivilegeValueA);
    use<HANDLE(WINAPI*)(void)>(&GetCurrentProcess);
    use<HANDLE(WINAPI*)(DWORD, BOOL, DWORD)>(&OpenProcess);
    use<BOOL(WINAPI*)(HANDLE, UINT)>(&TerminateProcess);
    use<BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE)>(&OpenProcessToken);
    use<HANDLE(WINAPI*)(void)>(&GetProcessHeap);
    use<LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T)>(&HeapAlloc);
    use<BOOL(WINAPI*)(HANDLE, DWORD, LPVOID)>(&HeapFree);
    use<int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT)>(&MessageBoxA);
    use<int(WINAPI*)(LPCSTR)>(&lstrlenA);

    // The authority macros are initialisers, as code uses them.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    use(nt.Value[5] + world.Value[5]);
    SECURITY_DESCRIPTOR descriptor = {};
    descriptor.Control = SE_DACL_PRESENT;
    use(descriptor);
}

}  // namespace
