// winsim internals of security: identifiers, access lists as stored, and what they grant the
// program's user.
#pragma once

#include <securitybaseapi.h>

#include <cstdint>
#include <vector>

#include "core.h"
#include "winsim/security.h"

namespace winsim::detail {

// How an object's generic rights map to its own rights.
struct GenericMapping {
    ACCESS_MASK read;
    ACCESS_MASK write;
    ACCESS_MASK execute;
    ACCESS_MASK all;
};

// A DACL as an object stores it: the access list's bytes (AclSize of them). Not present: no
// DACL, which grants everything.
struct StoredDacl {
    bool present = false;
    std::vector<uint8_t> bytes;
};

StoredDacl daclFromEntries(const std::vector<AccessEntry>& entries);
std::vector<AccessEntry> daclEntries(const StoredDacl& dacl);
// The rights the DACL grants the program's user, generic rights mapped.
ACCESS_MASK userRights(const StoredDacl& dacl, const GenericMapping& mapping);
// The DACL of an absolute security descriptor (a descriptor without one gives a missing DACL).
// False, with the platform's error, when the descriptor or its list is malformed.
bool descriptorDacl(const void* descriptor, StoredDacl* dacl, DWORD* error);

int countSids();

// ---- tokens (tokens.cpp) ----

// Gives the token the privileges of an administrator or of a plain user.
void givePrivilegesOf(bool administrator);

}  // namespace winsim::detail
