// Security identifiers, access lists and security descriptors (AllocateAndInitializeSid,
// GetLengthSid, FreeSid, InitializeAcl, AddAccessAllowedAce, InitializeSecurityDescriptor,
// SetSecurityDescriptorDacl), and what an access list grants the program's user.
//
// The records are the platform's: an identifier is 8 bytes and 4 per sub-authority; an access
// list is an 8-byte header and entries of an ACE_HEADER, a mask and an identifier. A list's
// entries must fit in its AclSize: AddAccessAllowedAce fails with ERROR_ALLOTTED_SPACE_EXCEEDED
// when the next one would not.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "security_internal.h"

namespace winsim::detail {

namespace {

const size_t kAclHeader = sizeof(ACL);
const size_t kAceFixedPart = 8;  // ACE_HEADER and mask; the identifier follows
const size_t kSidFixedPart = 8;  // revision, count, authority

struct SecurityState {
    bool administrator = true;
    std::set<const void*> sids;  // from AllocateAndInitializeSid
};

SecurityState& state() {
    static auto* instance = new SecurityState;
    return *instance;
}

size_t sidLength(const uint8_t* sid) {
    return kSidFixedPart + 4 * static_cast<size_t>(sid[1]);
}

// A well-formed identifier within `available` bytes.
bool validSid(const uint8_t* sid, size_t available) {
    return sid != nullptr && available >= kSidFixedPart && sid[0] == SID_REVISION &&
           sid[1] <= SID_MAX_SUB_AUTHORITIES && sidLength(sid) <= available;
}

std::string sidText(const uint8_t* sid) {
    uint64_t authority = 0;
    for (int i = 2; i < 8; ++i)
        authority = (authority << 8) | sid[i];
    std::string text = "S-1-" + std::to_string(authority);
    for (size_t i = 0; i < sid[1]; ++i) {
        DWORD part;
        memcpy(&part, sid + kSidFixedPart + 4 * i, 4);
        text += "-" + std::to_string(part);
    }
    return text;
}

// "S-1-5-32-544" into its bytes; false when it is not an identifier.
bool sidBytes(const std::string& text, std::vector<uint8_t>* out) {
    if (text.compare(0, 4, "S-1-") != 0) return false;
    std::vector<uint64_t> numbers;
    size_t start = 4;
    while (start <= text.size()) {
        size_t end = text.find('-', start);
        if (end == std::string::npos) end = text.size();
        if (end == start || text.find_first_not_of("0123456789", start) < end) return false;
        numbers.push_back(std::stoull(text.substr(start, end - start)));
        start = end + 1;
    }
    if (numbers.size() > 1 + SID_MAX_SUB_AUTHORITIES) return false;
    out->assign(kSidFixedPart, 0);
    (*out)[0] = SID_REVISION;
    (*out)[1] = static_cast<uint8_t>(numbers.size() - 1);
    for (int i = 0; i < 6; ++i)
        (*out)[7 - i] = static_cast<uint8_t>(numbers[0] >> (8 * i));
    for (size_t i = 1; i < numbers.size(); ++i) {
        DWORD part = static_cast<DWORD>(numbers[i]);
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&part);
        out->insert(out->end(), bytes, bytes + 4);
    }
    return true;
}

bool isUserSid(const std::string& sid) {
    static const char* const kAlways[] = {"S-1-5-21-1801674531-1482476501-725345543-1003",
                                          kEveryone, "S-1-5-11", kUsers};
    for (const char* always : kAlways) {
        if (sid == always) return true;
    }
    return sid == kAdministrators && state().administrator;
}

void putWord(uint8_t* at, WORD value) {
    memcpy(at, &value, 2);
}

WORD getWord(const uint8_t* at) {
    WORD value;
    memcpy(&value, at, 2);
    return value;
}

// Calls `visit(type, flags, mask, sid)` for each entry of a well-formed list; false when the
// list is malformed.
template <typename Visit>
bool forEachAce(const uint8_t* acl, Visit visit) {
    if (acl[0] < ACL_REVISION || acl[0] > ACL_REVISION_DS) return false;
    size_t size = getWord(acl + 2);
    size_t count = getWord(acl + 4);
    if (size < kAclHeader) return false;
    size_t offset = kAclHeader;
    for (size_t i = 0; i < count; ++i) {
        if (offset + 4 > size) return false;
        size_t aceSize = getWord(acl + offset + 2);
        if (aceSize < 4 || offset + aceSize > size) return false;
        const uint8_t* ace = acl + offset;
        if (ace[0] == ACCESS_ALLOWED_ACE_TYPE || ace[0] == ACCESS_DENIED_ACE_TYPE) {
            if (!validSid(ace + kAceFixedPart, aceSize - std::min(aceSize, kAceFixedPart))) {
                return false;
            }
            ACCESS_MASK mask;
            memcpy(&mask, ace + 4, 4);
            visit(ace[0], ace[1], mask, ace + kAceFixedPart);
        }
        offset += aceSize;
    }
    return true;
}

// Where the next entry goes: the end of the list's entries; 0 when the list is malformed.
size_t entriesEnd(const uint8_t* acl) {
    size_t end = kAclHeader;
    size_t count = getWord(acl + 4);
    for (size_t i = 0; i < count; ++i) {
        if (end + 4 > getWord(acl + 2)) return 0;
        end += getWord(acl + end + 2);
    }
    return end;
}

ACCESS_MASK mapGeneric(ACCESS_MASK mask, const GenericMapping& mapping) {
    ACCESS_MASK mapped = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (mask & GENERIC_READ) mapped |= mapping.read;
    if (mask & GENERIC_WRITE) mapped |= mapping.write;
    if (mask & GENERIC_EXECUTE) mapped |= mapping.execute;
    if (mask & GENERIC_ALL) mapped |= mapping.all;
    return mapped;
}

BOOL failWith(DWORD error) {
    setError(error);
    return FALSE;
}

}  // namespace

StoredDacl daclFromEntries(const std::vector<AccessEntry>& entries) {
    StoredDacl dacl;
    dacl.present = true;
    dacl.bytes.assign(kAclHeader, 0);
    dacl.bytes[0] = ACL_REVISION;
    for (const AccessEntry& entry : entries) {
        std::vector<uint8_t> sid;
        if (!sidBytes(entry.sid, &sid)) {
            fprintf(stderr, "winsim: \"%s\" is not an identifier\n", entry.sid.c_str());
            abort();
        }
        size_t at = dacl.bytes.size();
        dacl.bytes.resize(at + kAceFixedPart);
        dacl.bytes[at] = entry.allowed ? ACCESS_ALLOWED_ACE_TYPE : ACCESS_DENIED_ACE_TYPE;
        dacl.bytes[at + 1] = entry.flags;
        putWord(&dacl.bytes[at + 2], static_cast<WORD>(kAceFixedPart + sid.size()));
        memcpy(&dacl.bytes[at + 4], &entry.mask, 4);
        dacl.bytes.insert(dacl.bytes.end(), sid.begin(), sid.end());
    }
    putWord(&dacl.bytes[2], static_cast<WORD>(dacl.bytes.size()));
    putWord(&dacl.bytes[4], static_cast<WORD>(entries.size()));
    return dacl;
}

std::vector<AccessEntry> daclEntries(const StoredDacl& dacl) {
    std::vector<AccessEntry> entries;
    if (!dacl.present) return entries;
    forEachAce(dacl.bytes.data(), [&](BYTE type, BYTE flags, ACCESS_MASK mask, const uint8_t* sid) {
        entries.push_back({sidText(sid), mask, type == ACCESS_ALLOWED_ACE_TYPE, flags});
    });
    return entries;
}

// Entries are taken in order: a right is granted by the first entry for the user that names
// it, allowing or denying. Entries that only pass down to children do not apply to the object.
ACCESS_MASK userRights(const StoredDacl& dacl, const GenericMapping& mapping) {
    if (!dacl.present) return mapping.all;
    ACCESS_MASK granted = 0;
    ACCESS_MASK denied = 0;
    forEachAce(dacl.bytes.data(), [&](BYTE type, BYTE flags, ACCESS_MASK mask, const uint8_t* sid) {
        if ((flags & INHERIT_ONLY_ACE) != 0 || !isUserSid(sidText(sid))) return;
        ACCESS_MASK rights = mapGeneric(mask, mapping);
        if (type == ACCESS_ALLOWED_ACE_TYPE) {
            granted |= rights & ~denied;
        } else {
            denied |= rights & ~granted;
        }
    });
    return granted;
}

bool descriptorDacl(const void* descriptor, StoredDacl* dacl, DWORD* error) {
    const auto* sd = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
    if (sd == nullptr || sd->Revision != SECURITY_DESCRIPTOR_REVISION ||
        (sd->Control & SE_SELF_RELATIVE) != 0) {
        *error = ERROR_INVALID_SECURITY_DESCR;
        return false;
    }
    *dacl = StoredDacl{};
    if ((sd->Control & SE_DACL_PRESENT) == 0 || sd->Dacl == nullptr) return true;
    const auto* acl = reinterpret_cast<const uint8_t*>(sd->Dacl);
    if (!forEachAce(acl, [](BYTE, BYTE, ACCESS_MASK, const uint8_t*) {})) {
        *error = ERROR_INVALID_ACL;
        return false;
    }
    dacl->present = true;
    dacl->bytes.assign(acl, acl + getWord(acl + 2));
    return true;
}

int countSids() {
    return static_cast<int>(state().sids.size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID* pSid) {
    MachineLock lock;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (takeFault(winsim::Fault::AllocateAndInitializeSid, &error)) return failWith(error);
    if (pIdentifierAuthority == nullptr || pSid == nullptr || nSubAuthorityCount > 8) {
        return failWith(ERROR_INVALID_SID);
    }
    const DWORD parts[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                            nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
    auto* sid = static_cast<uint8_t*>(malloc(kSidFixedPart + 4 * nSubAuthorityCount));
    if (sid == nullptr) return failWith(ERROR_NOT_ENOUGH_MEMORY);
    sid[0] = SID_REVISION;
    sid[1] = nSubAuthorityCount;
    memcpy(sid + 2, pIdentifierAuthority->Value, 6);
    memcpy(sid + kSidFixedPart, parts, 4 * nSubAuthorityCount);
    state().sids.insert(sid);
    *pSid = sid;
    return TRUE;
}

DWORD WINAPI GetLengthSid(PSID pSid) {
    return static_cast<DWORD>(sidLength(static_cast<const uint8_t*>(pSid)));
}

// Returns null once freed, or the identifier when it was not allocated here.
PVOID WINAPI FreeSid(PSID pSid) {
    MachineLock lock;
    if (state().sids.erase(pSid) == 0) return pSid;
    free(pSid);
    return nullptr;
}

// The size is taken in whole DWORDs, rounded down.
BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
    if (nAclLength < kAclHeader) return failWith(ERROR_INSUFFICIENT_BUFFER);
    if (pAcl == nullptr || nAclLength > 0xFFFF || dwAclRevision < ACL_REVISION ||
        dwAclRevision > ACL_REVISION_DS) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
    pAcl->Sbz1 = 0;
    pAcl->AclSize = static_cast<WORD>(nAclLength & ~3u);
    pAcl->AceCount = 0;
    pAcl->Sbz2 = 0;
    return TRUE;
}

BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
    auto* acl = reinterpret_cast<uint8_t*>(pAcl);
    auto* sid = static_cast<const uint8_t*>(pSid);
    if (acl == nullptr || acl[0] < ACL_REVISION || acl[0] > ACL_REVISION_DS) {
        return failWith(ERROR_INVALID_ACL);
    }
    if (dwAceRevision < ACL_REVISION || dwAceRevision > ACL_REVISION_DS) {
        return failWith(ERROR_REVISION_MISMATCH);
    }
    if (!validSid(sid, kSidFixedPart + 4 * SID_MAX_SUB_AUTHORITIES)) {
        return failWith(ERROR_INVALID_SID);
    }
    size_t at = entriesEnd(acl);
    if (at == 0) return failWith(ERROR_INVALID_ACL);
    size_t aceSize = kAceFixedPart + sidLength(sid);
    if (at + aceSize > pAcl->AclSize) return failWith(ERROR_ALLOTTED_SPACE_EXCEEDED);
    acl[at] = ACCESS_ALLOWED_ACE_TYPE;
    acl[at + 1] = 0;
    putWord(acl + at + 2, static_cast<WORD>(aceSize));
    memcpy(acl + at + 4, &AccessMask, 4);
    memcpy(acl + at + kAceFixedPart, sid, sidLength(sid));
    ++pAcl->AceCount;
    if (dwAceRevision > pAcl->AclRevision) pAcl->AclRevision = static_cast<BYTE>(dwAceRevision);
    return TRUE;
}

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         DWORD dwRevision) {
    if (dwRevision != SECURITY_DESCRIPTOR_REVISION) return failWith(ERROR_UNKNOWN_REVISION);
    auto* sd = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    memset(sd, 0, sizeof *sd);
    sd->Revision = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL bDaclDefaulted) {
    auto* sd = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    if (sd->Revision != SECURITY_DESCRIPTOR_REVISION) return failWith(ERROR_UNKNOWN_REVISION);
    if ((sd->Control & SE_SELF_RELATIVE) != 0) return failWith(ERROR_INVALID_SECURITY_DESCR);
    sd->Control &= static_cast<WORD>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    sd->Dacl = nullptr;
    if (bDaclPresent) {
        sd->Control |= SE_DACL_PRESENT;
        sd->Dacl = pDacl;
        if (bDaclDefaulted) sd->Control |= SE_DACL_DEFAULTED;
    }
    return TRUE;
}

}  // extern "C"

namespace winsim {

void setUserIsAdministrator(bool administrator) {
    detail::MachineLock lock;
    detail::state().administrator = administrator;
    detail::givePrivilegesOf(administrator);
}

}  // namespace winsim
