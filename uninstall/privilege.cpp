// Enabling a privilege in the process's token.
#include <windows.h>

#include "uninstall.h"

// Systems outside the NT family (GetVersion's high bit set) have no tokens: nothing to do.
// AdjustTokenPrivileges succeeds even when the token lacks the privilege, so the outcome is read
// from the last error right after it.
int EnableProcessPrivilege(const char* name) {
    if (GetVersion() >= 0x80000000u) return 1;
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return 0;
    }
    int enabled = 0;
    TOKEN_PRIVILEGES privileges;
    if (LookupPrivilegeValueA(NULL, name, &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, NULL, NULL);
        enabled = GetLastError() == ERROR_SUCCESS ? 1 : 0;
    }
    CloseHandle(token);
    return enabled;
}
