// Registry subtree removal: the passes as they come out, the DACL each key is given, keys the
// grant opens, and keys that stay and end the repetition.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "uninstall.h"
#include "winsim/machine.h"
#include "winsim/registry.h"
#include "winsim/security.h"
#include "winsim/system.h"

namespace {

// Every key below root\path, as paths relative to it, parents before children.
std::vector<std::string> keysBelow(HKEY root, const std::string& path) {
    std::vector<std::string> keys;
    for (const auto& name : winsim::subkeyNames(root, path)) {
        keys.push_back(name);
        for (const auto& below : keysBelow(root, path + "\\" + name))
            keys.push_back(name + "\\" + below);
    }
    return keys;
}

// A device node as the system protects it: full access for the system, and for administrators
// only the right to change the DACL.
void protectAsDeviceNode(const std::string& path) {
    winsim::setKeyDacl(
        HKEY_LOCAL_MACHINE, path,
        {{winsim::kLocalSystem, KEY_ALL_ACCESS}, {winsim::kAdministrators, WRITE_DAC}});
}

struct Pass {
    int result;
    std::vector<std::string> left;  // keys below "Root" afterwards
};

struct PassCase {
    const char* id;
    winsim::Family family;
    std::vector<std::string> keys;  // created below "Root"
    std::vector<Pass> passes;
};

void PrintTo(const PassCase& c, std::ostream* out) {
    *out << c.id;
}

class KeyTreePasses : public ::testing::TestWithParam<PassCase> {};

TEST_P(KeyTreePasses, ComeOutPassForPass) {
    const PassCase& c = GetParam();
    winsim::setFamily(c.family);
    winsim::createKey(HKEY_LOCAL_MACHINE, "Root\\Other");
    for (const auto& key : c.keys)
        winsim::createKey(HKEY_LOCAL_MACHINE, "Root\\" + key);

    for (size_t i = 0; i < c.passes.size(); ++i) {
        SCOPED_TRACE("pass " + std::to_string(i + 1));
        int removed = 0;
        EXPECT_EQ(RemoveKeyTreePass("Root\\K", HKEY_LOCAL_MACHINE, &removed), c.passes[i].result);
        std::vector<std::string> left = c.passes[i].left;
        left.push_back("Other");
        EXPECT_EQ(keysBelow(HKEY_LOCAL_MACHINE, "Root"), left);
    }
    winsim::Counters expected;  // everything opened and allocated is given back
    EXPECT_EQ(winsim::counters(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    KeyTree, KeyTreePasses,
    ::testing::Values(
        PassCase{"AbsentKeyTakesOnePass", winsim::Family::Nt, {}, {{0, {}}}},
        PassCase{"LeafGoesInOnePass", winsim::Family::Nt, {"K"}, {{0, {}}}},
        PassCase{"OneSubkey", winsim::Family::Nt, {"K\\A"}, {{1, {}}, {0, {}}}},
        // K1 and K3 go in the first pass: K2 moved to index 0 once K1 was gone.
        PassCase{"ThreeLeafSubkeys",
                 winsim::Family::Nt,
                 {"K\\K1", "K\\K2", "K\\K3"},
                 {{1, {"K", "K\\K2"}}, {1, {}}, {0, {}}}},
        // Inside the pass on S, Y moves to index 0 once X is gone, and index 1 finds nothing.
        PassCase{"SubkeyWithTwoSubkeys",
                 winsim::Family::Nt,
                 {"K\\S\\X", "K\\S\\Y"},
                 {{1, {"K", "K\\S", "K\\S\\Y"}}, {1, {}}, {0, {}}}},
        // The deletion of the key takes its subtree with it.
        PassCase{"Win98MeDeletesTheSubtreeInTheFirstPass",
                 winsim::Family::Win98Me,
                 {"K\\K1", "K\\K2", "K\\K3\\Deep"},
                 {{1, {}}, {0, {}}}}),
    [](const ::testing::TestParamInfo<PassCase>& info) { return std::string(info.param.id); });

TEST(KeyTree, EachKeyIsGivenOneEntryForAdministratorsWithFullAccess) {
    winsim::createKey(HKEY_LOCAL_MACHINE, "Node");
    protectAsDeviceNode("Node");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Node", 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(GrantAdministratorsFullAccess(key), 1);
    RegCloseKey(key);

    winsim::KeyDacl dacl = winsim::keyDacl(HKEY_LOCAL_MACHINE, "Node");
    ASSERT_TRUE(dacl.present);
    // The list's size is the identifier's 16 bytes plus 24; its header and the one entry take
    // the first 32 bytes.
    ASSERT_EQ(dacl.bytes.size(), 40u);
    const winsim::Bytes used = {
        2,    0, 40, 0, 1,    0, 0,    0,   // revision 2, size 40, one entry
        0,    0, 24, 0, 0x3F, 0, 0x0F, 0,   // allowed, no flags, 24 bytes, mask
        1,    2, 0,  0, 0,    0, 0,    5,   // S-1-5
        0x20, 0, 0,  0, 0x20, 2, 0,    0};  // -32-544
    EXPECT_EQ(winsim::Bytes(dacl.bytes.begin(), dacl.bytes.begin() + 32), used);
    EXPECT_EQ(dacl.entries,
              (std::vector<winsim::AccessEntry>{{winsim::kAdministrators, KEY_ALL_ACCESS}}));
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

struct GrantFailure {
    const char* id;
    std::function<void()> arrange;
    REGSAM access;  // the handle given
};

void PrintTo(const GrantFailure& c, std::ostream* out) {
    *out << c.id;
}

class KeyGrantFails : public ::testing::TestWithParam<GrantFailure> {};

TEST_P(KeyGrantFails, AndGivesBackWhatItAllocated) {
    winsim::createKey(HKEY_LOCAL_MACHINE, "Node");
    winsim::setKeyAccess(HKEY_LOCAL_MACHINE, "Node", KEY_ALL_ACCESS);
    GetParam().arrange();
    const winsim::KeyDacl before = winsim::keyDacl(HKEY_LOCAL_MACHINE, "Node");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Node", 0, GetParam().access, &key), ERROR_SUCCESS);

    EXPECT_EQ(GrantAdministratorsFullAccess(key), 0);
    RegCloseKey(key);
    EXPECT_EQ(winsim::keyDacl(HKEY_LOCAL_MACHINE, "Node").bytes, before.bytes);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

INSTANTIATE_TEST_SUITE_P(
    KeyTree, KeyGrantFails,
    ::testing::Values(
        GrantFailure{"IdentifierNotAllocated",
                     [] { winsim::failNext(winsim::Fault::AllocateAndInitializeSid); }, WRITE_DAC},
        GrantFailure{"ListNotAllocated", [] { winsim::failNext(winsim::Fault::HeapAlloc); },
                     WRITE_DAC},
        GrantFailure{"HandleWithoutWriteDac", [] {}, KEY_READ},
        GrantFailure{"Win98MeHasNoKeySecurity", [] { winsim::setFamily(winsim::Family::Win98Me); },
                     WRITE_DAC}),
    [](const ::testing::TestParamInfo<GrantFailure>& info) { return std::string(info.param.id); });

// The NT family's device nodes: every key grants administrators only WRITE_DAC.
void seedDeviceNodes() {
    for (const char* path :
         {"Enum\\USB\\VID_1\\Inst\\Device Parameters", "Enum\\USB\\VID_1\\Inst\\LogConf",
          "Enum\\USB\\VID_1\\Second", "Enum\\USB\\Canary\\Inst"}) {
        winsim::createKey(HKEY_LOCAL_MACHINE, path);
    }
    for (const std::string& key : keysBelow(HKEY_LOCAL_MACHINE, "Enum\\USB"))
        protectAsDeviceNode("Enum\\USB\\" + key);
}

TEST(KeyTree, KeysThatGrantAdministratorsOnlyWriteDacAreOpenedByTheGrant) {
    seedDeviceNodes();
    RemoveKeyTree("Enum\\USB\\VID_1", HKEY_LOCAL_MACHINE);
    EXPECT_EQ(keysBelow(HKEY_LOCAL_MACHINE, "Enum\\USB"),
              (std::vector<std::string>{"Canary", "Canary\\Inst"}));
    EXPECT_EQ(winsim::keyDacl(HKEY_LOCAL_MACHINE, "Enum\\USB\\Canary\\Inst").entries.size(), 2u);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

struct StayCase {
    const char* id;
    std::function<void()> arrange;
    std::vector<std::string> left;  // below "T"
};

void PrintTo(const StayCase& c, std::ostream* out) {
    *out << c.id;
}

class KeyTreeStays : public ::testing::TestWithParam<StayCase> {};

// Each of these would make every pass find a subkey again: the repetition must still end, with
// everything else removed.
TEST_P(KeyTreeStays, AKeyThatStaysEndsTheRepetition) {
    for (const char* key : {"T\\K1", "T\\K2\\Deep", "T\\K3", "T\\K4\\A\\B"})
        winsim::createKey(HKEY_LOCAL_MACHINE, key);
    GetParam().arrange();
    RemoveKeyTree("T", HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(winsim::keyExists(HKEY_LOCAL_MACHINE, "T"));
    EXPECT_EQ(keysBelow(HKEY_LOCAL_MACHINE, "T"), GetParam().left);
}

const std::string kLongName(255, 'n');

INSTANTIATE_TEST_SUITE_P(
    KeyTree, KeyTreeStays,
    ::testing::Values(StayCase{"KeptBySystem",
                               [] {
                                   winsim::setKeyKeptBySystem(HKEY_LOCAL_MACHINE, "T\\K2\\Deep");
                               },
                               {"K2", "K2\\Deep"}},
                      // Administrators may read it, but neither change its DACL nor delete it.
                      StayCase{"StillDenied",
                               [] {
                                   winsim::setKeyDacl(HKEY_LOCAL_MACHINE, "T\\K3",
                                                      {{winsim::kAdministrators, KEY_READ}});
                               },
                               {"K3"}},
                      // "T\" and a name of 255 characters fit in 259; "T\Long\" and one do not.
                      StayCase{"SubkeyPathThatWouldNotFit",
                               [] {
                                   winsim::createKey(HKEY_LOCAL_MACHINE, "T\\" + kLongName);
                                   winsim::createKey(HKEY_LOCAL_MACHINE, "T\\Long\\a");
                                   winsim::createKey(HKEY_LOCAL_MACHINE, "T\\Long\\" + kLongName);
                               },
                               {"Long", "Long\\" + kLongName}}),
    [](const ::testing::TestParamInfo<StayCase>& info) { return std::string(info.param.id); });

}  // namespace
