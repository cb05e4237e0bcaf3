// winsim control API: who the program runs as, and what its token holds.
//
// The program runs as one user, whose identifiers are the user's own, Everyone (S-1-1-0),
// Authenticated Users (S-1-5-11), Users (S-1-5-32-545) and, unless a test says otherwise,
// Administrators (S-1-5-32-544). An access list grants the user the rights of the entries that
// name one of these identifiers (an entry that denies takes away what no earlier entry
// granted); a missing (null) list grants everything. Owners are not modelled: nobody gets a
// right the list does not give.
//
// The token holds privileges by name, each enabled or not. An administrator's token holds,
// disabled, the privileges an administrator has on the NT family (among them
// "SeSystemtimePrivilege"), and "SeChangeNotifyPrivilege" enabled; a plain user's holds
// "SeShutdownPrivilege" disabled and "SeChangeNotifyPrivilege" enabled.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// Identifiers in their text form.
inline const char kEveryone[] = "S-1-1-0";
inline const char kLocalSystem[] = "S-1-5-18";
inline const char kAdministrators[] = "S-1-5-32-544";
inline const char kUsers[] = "S-1-5-32-545";

// One entry of an access list.
struct AccessEntry {
    std::string sid;  // "S-1-5-32-544"
    ACCESS_MASK mask = 0;
    bool allowed = true;  // an access-allowed entry; false: access-denied
    BYTE flags = 0;       // inheritance flags

    bool operator==(const AccessEntry& other) const {
        return sid == other.sid && mask == other.mask && allowed == other.allowed &&
               flags == other.flags;
    }
};

// Whether the user belongs to Administrators (true until set). Setting it also gives the token
// that kind of user's privileges, all disabled but the one enabled by default.
WINSIM_API void setUserIsAdministrator(bool administrator);

// Adds a privilege to the token (disabled) or takes it away.
WINSIM_API void setPrivilegeHeld(const std::string& name, bool held);
WINSIM_API bool privilegeEnabled(const std::string& name);

}  // namespace winsim
