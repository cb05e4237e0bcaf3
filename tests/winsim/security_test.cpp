// Security records and key security: identifiers, access lists and their size rule, DACLs
// checked for the program's user, RegSetKeySecurity, keys the system keeps, and the process
// heap that access lists are built in.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winsim/machine.h"
#include "winsim/registry.h"
#include "winsim/security.h"
#include "winsim/system.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kAdministratorsSid = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0};

PSID administratorsSid() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid));
    return sid;
}

Bytes bytesOf(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return Bytes(bytes, bytes + size);
}

TEST(Security, IdentifierAndAccessListAreLaidOutAsOnThePlatform) {
    PSID sid = administratorsSid();
    ASSERT_NE(sid, nullptr);
    EXPECT_EQ(GetLengthSid(sid), 16u);
    EXPECT_EQ(bytesOf(sid, 16), kAdministratorsSid);
    EXPECT_EQ(winsim::counters().sids, 1);

    alignas(4) uint8_t list[40];
    auto* acl = reinterpret_cast<PACL>(list);
    ASSERT_TRUE(InitializeAcl(acl, sizeof list, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, sid));
    Bytes expected = {2, 0, 40, 0, 1, 0, 0, 0, 0, 0, 24, 0, 0x3F, 0, 0x0F, 0};
    expected.insert(expected.end(), kAdministratorsSid.begin(), kAdministratorsSid.end());
    EXPECT_EQ(bytesOf(list, 32), expected);

    // An entry must fit in the list's size, which is taken in whole DWORDs: a header and one
    // entry for this identifier take 32 bytes.
    struct Case {
        DWORD size;
        bool fits;
    };
    for (const Case& c : {Case{31, false}, Case{32, true}, Case{39, true}}) {
        SCOPED_TRACE(c.size);
        ASSERT_TRUE(InitializeAcl(acl, c.size, ACL_REVISION));
        EXPECT_EQ(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, sid), c.fits ? TRUE : FALSE);
        if (!c.fits) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));
        }
        EXPECT_EQ(acl->AceCount, c.fits ? 1 : 0);
    }
    EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, sid));  // no room for a second
    EXPECT_FALSE(InitializeAcl(acl, 7, ACL_REVISION));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    EXPECT_EQ(descriptor.Control, SE_DACL_PRESENT);
    EXPECT_EQ(descriptor.Dacl, acl);
    EXPECT_EQ(descriptor.Owner, nullptr);
    EXPECT_FALSE(InitializeSecurityDescriptor(&descriptor, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));

    EXPECT_EQ(FreeSid(sid), nullptr);
    EXPECT_EQ(winsim::counters().sids, 0);
    uint8_t notAllocated[16] = {1};
    EXPECT_EQ(FreeSid(notAllocated), notAllocated);
}

// Writes through a handle a DACL of one entry for Administrators, as a program does.
LONG writeDacl(HKEY key, ACCESS_MASK mask) {
    PSID identifier = administratorsSid();
    alignas(4) uint8_t list[40];
    auto* acl = reinterpret_cast<PACL>(list);
    InitializeAcl(acl, sizeof list, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, mask, identifier);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    FreeSid(identifier);
    return status;
}

LONG openStatus(const char* path, REGSAM access) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status;
}

// A device node as the system protects it: full access for the system, and for administrators
// only the right to change the DACL.
void protectAsDeviceNode(const char* path) {
    winsim::createKey(HKEY_LOCAL_MACHINE, path);
    winsim::setKeyDacl(
        HKEY_LOCAL_MACHINE, path,
        {{winsim::kLocalSystem, KEY_ALL_ACCESS}, {winsim::kAdministrators, WRITE_DAC}});
}

TEST(KeySecurity, AnAdministratorRewritesTheDaclOfAKeyThatGrantsOnlyWriteDac) {
    protectAsDeviceNode("Enum\\Node");
    EXPECT_EQ(openStatus("Enum\\Node", KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(openStatus("Enum\\Node", KEY_READ), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\Node"), ERROR_ACCESS_DENIED);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\Node", 0, WRITE_DAC, &key), ERROR_SUCCESS);
    ASSERT_EQ(writeDacl(key, KEY_ALL_ACCESS), ERROR_SUCCESS);
    RegCloseKey(key);

    winsim::KeyDacl dacl = winsim::keyDacl(HKEY_LOCAL_MACHINE, "Enum\\Node");
    ASSERT_TRUE(dacl.present);
    EXPECT_EQ(dacl.entries,
              (std::vector<winsim::AccessEntry>{{winsim::kAdministrators, KEY_ALL_ACCESS}}));
    EXPECT_EQ(dacl.bytes.size(), 40u);  // the list's recorded size, all of it
    EXPECT_EQ(openStatus("Enum\\Node", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\Node"), ERROR_SUCCESS);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

TEST(KeySecurity, APlainUserGetsOnlyWhatTheEntriesForItsGroupsGrant) {
    winsim::setUserIsAdministrator(false);
    protectAsDeviceNode("Enum\\Node");
    EXPECT_EQ(openStatus("Enum\\Node", WRITE_DAC), ERROR_ACCESS_DENIED);

    winsim::createKey(HKEY_LOCAL_MACHINE, "Shared");
    winsim::setKeyDacl(HKEY_LOCAL_MACHINE, "Shared",
                       {{winsim::kUsers, KEY_READ}, {winsim::kAdministrators, KEY_ALL_ACCESS}});
    EXPECT_EQ(openStatus("Shared", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(openStatus("Shared", KEY_SET_VALUE), ERROR_ACCESS_DENIED);

    // An entry that denies takes away what no earlier entry granted; generic rights are mapped.
    winsim::setKeyDacl(HKEY_LOCAL_MACHINE, "Shared",
                       {{winsim::kEveryone, DELETE, false}, {winsim::kUsers, GENERIC_ALL}});
    EXPECT_EQ(openStatus("Shared", KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(openStatus("Shared", KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Shared"), ERROR_ACCESS_DENIED);
}

TEST(KeySecurity, RegSetKeySecurityNeedsWriteDacAndAWellFormedDescriptor) {
    winsim::createKey(HKEY_LOCAL_MACHINE, "Key");
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Key", 0, KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(writeDacl(reader, KEY_READ), ERROR_ACCESS_DENIED);
    RegCloseKey(reader);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Key", 0, WRITE_DAC, &key), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR descriptor = {};
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor),
              ERROR_INVALID_SECURITY_DESCR);  // revision 0
    alignas(4) uint8_t broken[8] = {9, 0, 8, 0, 0, 0, 0, 0};
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(broken), FALSE);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_INVALID_ACL);
    EXPECT_FALSE(winsim::keyDacl(HKEY_LOCAL_MACHINE, "Key").present);

    // An empty list grants nothing; a descriptor without a DACL grants everything.
    alignas(4) uint8_t empty[8];
    InitializeAcl(reinterpret_cast<PACL>(empty), sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(empty), FALSE);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    EXPECT_EQ(openStatus("Key", KEY_QUERY_VALUE), ERROR_ACCESS_DENIED);
    SetSecurityDescriptorDacl(&descriptor, FALSE, nullptr, FALSE);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    EXPECT_EQ(openStatus("Key", KEY_ALL_ACCESS), ERROR_SUCCESS);
    RegCloseKey(key);
}

struct KeptCase {
    const char* id;
    winsim::Family family;
    LONG deleteParent;
    std::vector<std::string> left;  // keys left under "Tree"
};

void PrintTo(const KeptCase& c, std::ostream* out) {
    *out << c.id;
}

class KeptKey : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptKey, IsNeverDeletedWhateverItsDacl) {
    const KeptCase& c = GetParam();
    winsim::setFamily(c.family);
    winsim::createKey(HKEY_LOCAL_MACHINE, "Tree\\Parent\\Kept");
    winsim::createKey(HKEY_LOCAL_MACHINE, "Tree\\Other");
    winsim::setKeyKeptBySystem(HKEY_LOCAL_MACHINE, "Tree\\Parent\\Kept");

    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Parent\\Kept"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Parent"), c.deleteParent);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Other"), ERROR_SUCCESS);
    EXPECT_EQ(winsim::subkeyNames(HKEY_LOCAL_MACHINE, "Tree"), c.left);
    EXPECT_TRUE(winsim::keyExists(HKEY_LOCAL_MACHINE, "Tree\\Parent\\Kept"));
}

INSTANTIATE_TEST_SUITE_P(
    KeySecurity, KeptKey,
    ::testing::Values(KeptCase{"Nt", winsim::Family::Nt, ERROR_ACCESS_DENIED, {"Parent"}},
                      // The subtree that holds it does not go either.
                      KeptCase{
                          "Win98Me", winsim::Family::Win98Me, ERROR_ACCESS_DENIED, {"Parent"}}),
    [](const ::testing::TestParamInfo<KeptCase>& info) { return std::string(info.param.id); });

TEST(KeySecurity, The98MeFamilyHasNoKeySecurity) {
    winsim::setFamily(winsim::Family::Win98Me);
    protectAsDeviceNode("Enum\\Node");
    EXPECT_EQ(openStatus("Enum\\Node", KEY_ALL_ACCESS), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\Node", 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(writeDacl(key, KEY_ALL_ACCESS), ERROR_CALL_NOT_IMPLEMENTED);
    RegCloseKey(key);
}

TEST(ProcessHeap, BlocksAreCountedUntilFreed) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(GetProcessHeap(), heap);
    auto* zeroed = static_cast<uint8_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 40));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(bytesOf(zeroed, 40), Bytes(40, 0));
    void* plain = HeapAlloc(heap, 0, 16);
    EXPECT_EQ(winsim::counters().heapBlocks, 2);
    EXPECT_EQ(HeapAlloc(nullptr, 0, 16), nullptr);  // not a heap

    winsim::failNext(winsim::Fault::HeapAlloc);
    EXPECT_EQ(HeapAlloc(heap, 0, 16), nullptr);
    EXPECT_TRUE(HeapFree(heap, 0, zeroed));
    EXPECT_FALSE(HeapFree(heap, 0, zeroed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(HeapFree(heap, 0, plain));
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

}  // namespace
