// Giving the built-in Administrators group full access to a registry key.
#include <windows.h>

#include "uninstall.h"

// The list is given the identifier's length plus 24 bytes: 8 more than its header and one
// entry take. It holds one entry, with no inheritance flags: the grant is made on each key
// separately. The identifier and the list are released on every path.
int GrantAdministratorsFullAccess(HKEY key) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = NULL;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return 0;
    }
    DWORD listSize = GetLengthSid(administrators) + 24;
    HANDLE heap = GetProcessHeap();
    PACL list = static_cast<PACL>(HeapAlloc(heap, 0, listSize));
    int granted = 0;
    if (list != NULL) {
        SECURITY_DESCRIPTOR descriptor;
        granted = InitializeAcl(list, listSize, ACL_REVISION) &&
                  AddAccessAllowedAce(list, ACL_REVISION, KEY_ALL_ACCESS, administrators) &&
                  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                  SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) &&
                  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
        HeapFree(heap, 0, list);
    }
    FreeSid(administrators);
    return granted;
}
