/* winsim: security identifiers, access lists, security descriptors and token privileges
 * (advapi32). */
#ifndef WINSIM_SECURITYBASEAPI_H
#define WINSIM_SECURITYBASEAPI_H

#include <windef.h>
#include <winnt.h>

WINSIM_EXTERN_C_BEGIN

/* An identifier allocated here is released with FreeSid. */
WINSIM_API BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                                BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                                DWORD nSubAuthority1, DWORD nSubAuthority2,
                                                DWORD nSubAuthority3, DWORD nSubAuthority4,
                                                DWORD nSubAuthority5, DWORD nSubAuthority6,
                                                DWORD nSubAuthority7, PSID* pSid);
WINSIM_API DWORD WINAPI GetLengthSid(PSID pSid);
WINSIM_API PVOID WINAPI FreeSid(PSID pSid);

WINSIM_API BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision);
WINSIM_API BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                                           PSID pSid);

WINSIM_API BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                    DWORD dwRevision);
WINSIM_API BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                 BOOL bDaclPresent, PACL pDacl,
                                                 BOOL bDaclDefaulted);

WINSIM_API BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                             PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                             PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);

WINSIM_EXTERN_C_END

#endif /* WINSIM_SECURITYBASEAPI_H */
