// The process's token and its privileges: OpenProcessToken, LookupPrivilegeValueA,
// AdjustTokenPrivileges. The 98/Me family has no tokens: those calls fail there with
// ERROR_CALL_NOT_IMPLEMENTED.
//
// AdjustTokenPrivileges succeeds even when the token lacks some of the privileges named: it
// changes those it holds, returns TRUE and sets ERROR_NOT_ALL_ASSIGNED; after a complete change
// it sets ERROR_SUCCESS.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "security_internal.h"
#include "system_internal.h"

namespace winsim::detail {

namespace {

struct Privilege {
    const char* name;
    DWORD luid;
};

// The local system's privileges and their identifiers.
const Privilege kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},
    {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},
    {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},
    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},
    {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14},
    {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},
    {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
    {"SeUndockPrivilege", 25},
};

const DWORD kChangeNotify = 23;

const GenericMapping kTokenMapping = {
    STANDARD_RIGHTS_READ | TOKEN_QUERY,
    STANDARD_RIGHTS_WRITE | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT,
    STANDARD_RIGHTS_EXECUTE, STANDARD_RIGHTS_REQUIRED | 0x1FF};

struct TokenObject : KernelObject {
    TokenObject() : KernelObject(ObjectKind::Token) {}
    ACCESS_MASK access = 0;
};

// An administrator's privileges, or a plain user's, by identifier: all disabled but the one
// enabled by default.
std::map<DWORD, bool> privilegesOf(bool administrator) {
    static const DWORD kAdministrator[] = {5,  8,  9,  10, 11, 12, 13, 14,
                                           15, 17, 18, 19, 20, 22, 24, 25};
    std::map<DWORD, bool> privileges;
    if (administrator) {
        for (DWORD luid : kAdministrator)
            privileges[luid] = false;
    } else {
        privileges[19] = false;  // SeShutdownPrivilege
    }
    privileges[kChangeNotify] = true;
    return privileges;
}

// The token's privileges: held ones by identifier, with whether each is enabled.
std::map<DWORD, bool>& held() {
    static auto* instance = new std::map<DWORD, bool>(privilegesOf(true));
    return *instance;
}

const Privilege* privilegeNamed(const std::string& name) {
    for (const Privilege& privilege : kPrivileges) {
        if (equalsIgnoreCase(privilege.name, name)) return &privilege;
    }
    return nullptr;
}

bool tokensExist() {
    return currentFamily() == Family::Nt;
}

BOOL failWith(DWORD error) {
    setError(error);
    return FALSE;
}

}  // namespace

void givePrivilegesOf(bool administrator) {
    held() = privilegesOf(administrator);
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

// Only the calling process's own token can be opened.
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    MachineLock lock;
    if (!tokensExist()) return failWith(ERROR_CALL_NOT_IMPLEMENTED);
    if (ProcessHandle != currentProcessPseudoHandle()) {
        std::shared_ptr<KernelObject> object = peekHandle(ProcessHandle);
        return failWith(object && object->kind == ObjectKind::Process ? ERROR_ACCESS_DENIED
                                                                      : ERROR_INVALID_HANDLE);
    }
    if (TokenHandle == nullptr) return failWith(ERROR_INVALID_PARAMETER);
    auto token = std::make_shared<TokenObject>();
    token->access = DesiredAccess & ~GENERIC_ALL;
    if (DesiredAccess & GENERIC_ALL) token->access |= kTokenMapping.all;
    if (DesiredAccess & GENERIC_READ) token->access |= kTokenMapping.read;
    if (DesiredAccess & GENERIC_WRITE) token->access |= kTokenMapping.write;
    *TokenHandle = addHandle(token);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
    MachineLock lock;
    if (!tokensExist()) return failWith(ERROR_CALL_NOT_IMPLEMENTED);
    if (lpSystemName != nullptr && *lpSystemName != '\0') return failWith(ERROR_INVALID_PARAMETER);
    if (lpName == nullptr || lpLuid == nullptr) return failWith(ERROR_INVALID_PARAMETER);
    const Privilege* privilege = privilegeNamed(lpName);
    if (privilege == nullptr) return failWith(ERROR_NO_SUCH_PRIVILEGE);
    lpLuid->LowPart = privilege->luid;
    lpLuid->HighPart = 0;
    return TRUE;
}

// PreviousState receives the earlier state of the privileges that changed.
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    MachineLock lock;
    if (!tokensExist()) return failWith(ERROR_CALL_NOT_IMPLEMENTED);
    auto token = lookupHandle<TokenObject>(TokenHandle, ObjectKind::Token);
    if (!token) return FALSE;
    ACCESS_MASK needed = TOKEN_ADJUST_PRIVILEGES | (PreviousState != nullptr ? TOKEN_QUERY : 0);
    if ((token->access & needed) != needed) return failWith(ERROR_ACCESS_DENIED);
    if (!DisableAllPrivileges && NewState == nullptr) return failWith(ERROR_INVALID_PARAMETER);

    std::map<DWORD, bool>& privileges = held();
    std::map<DWORD, bool> wanted;  // identifier -> enabled, for the privileges to change
    bool allAssigned = true;
    if (DisableAllPrivileges) {
        for (const auto& entry : privileges)
            wanted[entry.first] = false;
    } else {
        for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& item = NewState->Privileges[i];
            if (item.Luid.HighPart != 0 || privileges.count(item.Luid.LowPart) == 0) {
                allAssigned = false;
                continue;
            }
            wanted[item.Luid.LowPart] = (item.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    std::vector<LUID_AND_ATTRIBUTES> changed;
    for (const auto& entry : wanted) {
        if (privileges[entry.first] == entry.second) continue;
        LUID_AND_ATTRIBUTES before = {{entry.first, 0}, 0};
        if (privileges[entry.first]) before.Attributes = SE_PRIVILEGE_ENABLED;
        changed.push_back(before);
    }
    if (PreviousState != nullptr) {
        DWORD size = static_cast<DWORD>(offsetof(TOKEN_PRIVILEGES, Privileges) +
                                        changed.size() * sizeof(LUID_AND_ATTRIBUTES));
        if (size < sizeof(TOKEN_PRIVILEGES)) size = sizeof(TOKEN_PRIVILEGES);
        if (ReturnLength != nullptr) *ReturnLength = size;
        if (BufferLength < size) return failWith(ERROR_INSUFFICIENT_BUFFER);
        PreviousState->PrivilegeCount = static_cast<DWORD>(changed.size());
        for (size_t i = 0; i < changed.size(); ++i)
            PreviousState->Privileges[i] = changed[i];
    }
    for (const auto& entry : wanted)
        privileges[entry.first] = entry.second;
    setError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

}  // extern "C"

namespace winsim {

static const detail::Privilege& knownPrivilege(const std::string& name) {
    const detail::Privilege* privilege = detail::privilegeNamed(name);
    if (privilege == nullptr) {
        fprintf(stderr, "winsim: no privilege is called \"%s\"\n", name.c_str());
        abort();
    }
    return *privilege;
}

void setPrivilegeHeld(const std::string& name, bool held) {
    detail::MachineLock lock;
    DWORD luid = knownPrivilege(name).luid;
    if (held) {
        detail::held().emplace(luid, false);
    } else {
        detail::held().erase(luid);
    }
}

bool privilegeEnabled(const std::string& name) {
    detail::MachineLock lock;
    auto it = detail::held().find(knownPrivilege(name).luid);
    return it != detail::held().end() && it->second;
}

}  // namespace winsim
