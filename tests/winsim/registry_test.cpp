// The simulated registry: names, enumeration, values, the rights of handles and keys, deleted
// keys, and the two families' rules for deleting a key.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winsim/machine.h"
#include "winsim/registry.h"
#include "winsim/system.h"

namespace {

const LONG kOk = ERROR_SUCCESS;

HKEY openKey(HKEY root, const char* path, REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, access, &key), kOk) << path;
    return key;
}

// The subkeys as RegEnumKeyExA lists them.
std::vector<std::string> enumerate(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        LONG status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != kOk) {
            EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
            return names;
        }
        EXPECT_EQ(length, strlen(name));
        names.push_back(name);
    }
}

TEST(Registry, NamesIgnoreCaseKeepTheirCaseAndEnumerateInUpperCasedOrder) {
    for (const char* path : {"Software\\Zeta", "SOFTWARE\\alpha", "software\\_under",
                             "Software\\Beta", "Software\\ALPHA\\Deep"}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  kOk);
        RegCloseKey(key);
    }
    HKEY software = openKey(HKEY_LOCAL_MACHINE, "sOfTwArE", KEY_ENUMERATE_SUB_KEYS);
    EXPECT_EQ(enumerate(software), (std::vector<std::string>{"alpha", "Beta", "Zeta", "_under"}));
    EXPECT_EQ(enumerate(HKEY_LOCAL_MACHINE), std::vector<std::string>{"Software"});
    EXPECT_TRUE(enumerate(HKEY_CURRENT_USER).empty());  // the roots are apart
    EXPECT_TRUE(enumerate(HKEY_CLASSES_ROOT).empty());

    // A name buffer must hold the name and its terminator.
    char name[6];
    DWORD length = 5;
    EXPECT_EQ(RegEnumKeyExA(software, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = 6;
    EXPECT_EQ(RegEnumKeyExA(software, 0, name, &length, nullptr, nullptr, nullptr, nullptr), kOk);
    EXPECT_STREQ(name, "alpha");
    RegCloseKey(software);

    // Names of up to 255 characters.
    const std::string longest(255, 'k');
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, longest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              kOk);
    RegCloseKey(key);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (longest + "k").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(enumerate(HKEY_CURRENT_USER), std::vector<std::string>{longest});
    EXPECT_EQ(winsim::counters().registryKeys, 0);
}

// The uninstaller's subtree removal counts the index up while it deletes: the enumeration is
// over the subkeys as they are at each call.
TEST(Registry, EnumerationIndexesTheSubkeysAsTheyAreNow) {
    for (const char* name : {"K1", "K2", "K3"})
        winsim::createKey(HKEY_LOCAL_MACHINE, std::string("Parent\\") + name);
    HKEY parent = openKey(HKEY_LOCAL_MACHINE, "Parent", KEY_ALL_ACCESS);
    char name[260];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(parent, 0, name, &length, nullptr, nullptr, nullptr, nullptr), kOk);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Parent\\K1"), kOk);
    length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(parent, 1, name, &length, nullptr, nullptr, nullptr, nullptr), kOk);
    EXPECT_STREQ(name, "K3");
    RegCloseKey(parent);
}

TEST(Registry, ValuesDefaultValueAndShortBuffers) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              kOk);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    DWORD number = 7;
    ASSERT_EQ(RegSetValueExA(key, "", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), kOk);
    const char text[] = "C:\\Tools\\server.dll";
    ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text),
                             sizeof text),
              kOk);

    DWORD type = 0;
    BYTE data[64];
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, data, &size), kOk);  // the default
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    size = 5;
    EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(RegQueryValueExA(key, "path", nullptr, &type, nullptr, &size), kOk);
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, &type, data, &size), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteValueA(key, "pAtH"), kOk);
    EXPECT_EQ(RegDeleteValueA(key, "Path"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(winsim::valueNames(HKEY_LOCAL_MACHINE, "Software\\Vendor"),
              std::vector<std::string>{""});
    RegCloseKey(key);

    // Opening an existing key through RegCreateKeyExA; RegOpenKeyA with no subkey hands back
    // the handle it was given.
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vendor", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              kOk);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKeyA(key, "", &same), kOk);
    EXPECT_EQ(same, key);
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), kOk);
    EXPECT_EQ(winsim::counters().registryKeys, 0);
}

TEST(Registry, AHandleMayDoOnlyWhatItWasOpenedFor) {
    struct Case {
        REGSAM access;
        bool query, set, enumerate;
    };
    const Case cases[] = {
        {KEY_QUERY_VALUE, true, false, false},
        {KEY_SET_VALUE, false, true, false},
        {KEY_ENUMERATE_SUB_KEYS, false, false, true},
        {KEY_READ, true, false, true},
        {KEY_WRITE, false, true, false},
        {KEY_ALL_ACCESS, true, true, true},
        {GENERIC_READ, true, false, true},
        {MAXIMUM_ALLOWED, true, true, true},
    };
    winsim::setDwordValue(HKEY_LOCAL_MACHINE, "Key", "Value", 1);
    winsim::createKey(HKEY_LOCAL_MACHINE, "Key\\Sub");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.access);
        HKEY key = openKey(HKEY_LOCAL_MACHINE, "Key", c.access);
        auto expected = [](bool allowed) { return allowed ? kOk : ERROR_ACCESS_DENIED; };
        DWORD size = 4;
        BYTE data[4];
        EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, nullptr, data, &size), expected(c.query));
        DWORD one = 1;
        EXPECT_EQ(RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
                  expected(c.set));
        EXPECT_EQ(RegDeleteValueA(key, "Other"),
                  c.set ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        char name[16];
        DWORD length = sizeof name;
        EXPECT_EQ(RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  expected(c.enumerate));
        RegCloseKey(key);
    }
}

TEST(Registry, KeySecurityLimitsOpensAndSubkeysAreCreatedByTheParentsSecurity) {
    winsim::createKey(HKEY_LOCAL_MACHINE, "Parent");
    winsim::setKeyAccess(HKEY_LOCAL_MACHINE, "Parent", KEY_ENUMERATE_SUB_KEYS | KEY_CREATE_SUB_KEY);

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Parent", 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Parent", &key), kOk);  // what the key grants
    RegCloseKey(key);

    // A handle opened for enumeration alone creates a subkey: the parent's security allows it.
    HKEY parent = openKey(HKEY_LOCAL_MACHINE, "Parent", KEY_ENUMERATE_SUB_KEYS);
    HKEY child = nullptr;
    EXPECT_EQ(
        RegCreateKeyExA(parent, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
        kOk);
    RegCloseKey(child);

    // Without KEY_CREATE_SUB_KEY in the parent's security, no handle creates one.
    winsim::setKeyAccess(HKEY_LOCAL_MACHINE, "Parent", KEY_ENUMERATE_SUB_KEYS);
    EXPECT_EQ(
        RegCreateKeyExA(parent, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
        ERROR_ACCESS_DENIED);
    EXPECT_FALSE(winsim::keyExists(HKEY_LOCAL_MACHINE, "Parent\\Other"));
    // An existing subkey is opened with what its own security grants.
    winsim::setKeyAccess(HKEY_LOCAL_MACHINE, "Parent\\Child", KEY_READ);
    EXPECT_EQ(
        RegCreateKeyExA(parent, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
        ERROR_ACCESS_DENIED);
    RegCloseKey(parent);
    EXPECT_EQ(winsim::counters().registryKeys, 0);
}

TEST(Registry, AHandleToADeletedKeyFailsButCloses) {
    winsim::setDwordValue(HKEY_CURRENT_USER, "Doomed", "Value", 1);
    HKEY doomed = openKey(HKEY_CURRENT_USER, "Doomed", KEY_ALL_ACCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "doomed"), kOk);

    DWORD size = 4;
    BYTE data[4];
    EXPECT_EQ(RegQueryValueExA(doomed, "Value", nullptr, nullptr, data, &size), ERROR_KEY_DELETED);
    char name[16];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(doomed, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    HKEY child = nullptr;
    EXPECT_EQ(
        RegCreateKeyExA(doomed, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
        ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(doomed), kOk);
    EXPECT_FALSE(winsim::keyExists(HKEY_CURRENT_USER, "Doomed"));
}

TEST(Registry, ResetEmptiesEveryRootAndLeavesOpenHandlesOnDeletedKeys) {
    winsim::setDwordValue(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Value", 1);
    winsim::createKey(HKEY_CURRENT_USER, "Mine");
    winsim::createKey(HKEY_CLASSES_ROOT, ".ext");
    HKEY open = openKey(HKEY_LOCAL_MACHINE, "Software\\Vendor", KEY_ALL_ACCESS);
    winsim::resetRegistry();

    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT})
        EXPECT_EQ(winsim::subkeyNames(root, ""), std::vector<std::string>{});
    DWORD size = 4;
    BYTE data[4];
    EXPECT_EQ(RegQueryValueExA(open, "Value", nullptr, nullptr, data, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(open), kOk);
}

struct DeleteCase {
    const char* id;
    winsim::Family family;
    ACCESS_MASK keyAccess;
    LONG status;
    std::vector<std::string> left;  // subkeys of "Company" afterwards
};

void PrintTo(const DeleteCase& c, std::ostream* out) {
    *out << c.id;
}

class RegistryDelete : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(RegistryDelete, FamilyDecidesWhetherAKeyWithSubkeysGoes) {
    const DeleteCase& c = GetParam();
    winsim::setFamily(c.family);
    winsim::createKey(HKEY_LOCAL_MACHINE, "Company\\Product\\Settings");
    winsim::createKey(HKEY_LOCAL_MACHINE, "Company\\Leaf");
    winsim::setKeyAccess(HKEY_LOCAL_MACHINE, "Company\\Product", c.keyAccess);

    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Company\\Product"), c.status);
    EXPECT_EQ(winsim::subkeyNames(HKEY_LOCAL_MACHINE, "Company"), c.left);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Company\\Leaf"), kOk);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Company\\Leaf"), ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Registry, RegistryDelete,
                         ::testing::Values(DeleteCase{"NtRefusesAKeyWithSubkeys",
                                                      winsim::Family::Nt,
                                                      KEY_ALL_ACCESS,
                                                      ERROR_ACCESS_DENIED,
                                                      {"Leaf", "Product"}},
                                           DeleteCase{"NtNeedsDeleteInTheKeysSecurity",
                                                      winsim::Family::Nt,
                                                      KEY_READ,
                                                      ERROR_ACCESS_DENIED,
                                                      {"Leaf", "Product"}},
                                           DeleteCase{"Win98MeDeletesTheSubtreeWithoutSecurity",
                                                      winsim::Family::Win98Me,
                                                      0,
                                                      kOk,
                                                      {"Leaf"}}),
                         [](const ::testing::TestParamInfo<DeleteCase>& info) {
                             return std::string(info.param.id);
                         });

}  // namespace
