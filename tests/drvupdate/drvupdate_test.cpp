// drvupdate run whole, in-process, on the simulated machine: the single-instance guard, the
// driver call, the result value, and the clean-up after success.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "drvupdate.h"
#include "winsim/drivers.h"
#include "winsim/files.h"
#include "winsim/machine.h"
#include "winsim/registry.h"
#include "winsim/system.h"

namespace {

const char kParentKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kResultKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SetupVau";
const char kProgramDirectory[] = "C:\\Program Files\\Tamboro";
const char kSetupDirectory[] = "C:\\Setup";
const char kSystemLeftover[] = "C:\\WINNT\\system32\\USB_Kbd\\tamboro.002";

std::string inDirectory(const std::string& directory, const std::string& name) {
    return directory + "\\" + name;
}

// An absolute directory path of exactly `length` characters, in components of 50 or fewer.
std::string directoryOfLength(size_t length) {
    std::string path = "C:";
    while (path.size() < length) {
        size_t part = std::min<size_t>(50, length - path.size() - 1);
        path += "\\" + std::string(part, 'd');
        if (part == 0) path.back() = 'e';  // never an empty component
    }
    return path;
}

class DriverUpdate : public ::testing::Test {
  protected:
    void SetUp() override {
        winsim::createKey(HKEY_LOCAL_MACHINE, kParentKey);
        winsim::createDirectory(kSetupDirectory);
        winsim::setCurrentDirectory(kSetupDirectory);
        winsim::setProgramPath(inDirectory(kProgramDirectory, "drvupdate.exe"));
        winsim::createFile(kSystemLeftover);
    }

    static int run() {
        char commandLine[] = "";
        return WinMain(nullptr, nullptr, commandLine, 1);
    }

    static void setUpdateResult(BOOL result) {
        winsim::DriverUpdateOutcome outcome;
        outcome.result = result;
        outcome.error = result ? 0 : ERROR_GEN_FAILURE;
        winsim::setDriverUpdateOutcome(outcome);
    }

    // The default value of the result key: a REG_DWORD of 4 bytes; -1 when it is not there.
    static long long resultValue() {
        winsim::RegistryValue value;
        if (!winsim::readValue(HKEY_LOCAL_MACHINE, kResultKey, "", &value)) return -1;
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(value.data.size(), 4u);
        if (value.data.size() != 4) return -2;
        DWORD number = 0;
        memcpy(&number, value.data.data(), 4);
        return number;
    }

    static void expectFiles(const std::vector<std::string>& paths, bool present) {
        for (const auto& path : paths)
            EXPECT_EQ(winsim::pathExists(path), present) << path;
    }
};

TEST_F(DriverUpdate, SuccessRecordsOneAfterTheExactDriverCallAndDeletesTheLeftovers) {
    const std::string dir = kProgramDirectory;
    // Deleted: every file matching "*.001", before and after entries that cannot be deleted.
    const std::vector<std::string> deleted = {inDirectory(dir, "a.001"), inDirectory(dir, "B.001"),
                                              inDirectory(dir, "hidden.001"),
                                              inDirectory(dir, "z.y.001"), kSystemLeftover};
    // Kept: other names, a directory whose name matches, files the platform refuses to delete,
    // and the "*.001" files of the current directory.
    std::vector<std::string> kept = {
        inDirectory(dir, "drvupdate.exe"), inDirectory(dir, "c.0011"),
        inDirectory(dir, "d.001.bak"),     inDirectory(dir, "locked.001"),
        inDirectory(dir, "busy.001"),      inDirectory(kSetupDirectory, "setup.001")};
    for (const auto& path : deleted)
        winsim::createFile(path);
    winsim::createFile(inDirectory(dir, "hidden.001"), FILE_ATTRIBUTE_HIDDEN);
    for (const auto& path : kept)
        winsim::createFile(path);
    winsim::createFile(inDirectory(dir, "locked.001"), FILE_ATTRIBUTE_READONLY);
    winsim::setFileInUse(inDirectory(dir, "busy.001"));
    kept.push_back(inDirectory(dir, "folder.001"));
    winsim::createDirectory(kept.back());
    setUpdateResult(TRUE);

    DWORD start = GetTickCount();
    EXPECT_EQ(run(), 0);
    EXPECT_GE(GetTickCount() - start, 500u);  // the pause after the single-instance test

    std::vector<winsim::DriverUpdateCall> calls = winsim::driverUpdateCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].parent, nullptr);
    EXPECT_TRUE(calls[0].hardwareIdGiven);
    EXPECT_EQ(calls[0].hardwareId, std::string("HID\\Vid_03F0&PID_0122&Mi_00"));
    EXPECT_EQ(calls[0].infPath, std::string("C:\\Setup\\winME.inf"));
    EXPECT_EQ(calls[0].flags, 0u);
    EXPECT_FALSE(calls[0].rebootFlagGiven);

    EXPECT_EQ(resultValue(), 1);
    EXPECT_EQ(winsim::valueNames(HKEY_LOCAL_MACHINE, kResultKey), std::vector<std::string>{""});
    expectFiles(deleted, false);
    expectFiles(kept, true);

    // Only the mutex stays open, until the program ends.
    winsim::Counters expected;
    expected.mutexHandles = 1;
    EXPECT_EQ(winsim::counters(), expected);
}

TEST_F(DriverUpdate, FailedUpdateRecordsZeroOverTheOldValueAndKeepsEveryFile) {
    winsim::setStringValue(HKEY_LOCAL_MACHINE, kResultKey, "", "old");
    const std::vector<std::string> leftovers = {inDirectory(kProgramDirectory, "a.001"),
                                                kSystemLeftover};
    for (const auto& path : leftovers)
        winsim::createFile(path);
    setUpdateResult(FALSE);

    EXPECT_EQ(run(), 0);

    EXPECT_EQ(winsim::driverUpdateCalls().size(), 1u);
    EXPECT_EQ(resultValue(), 0);
    EXPECT_EQ(winsim::valueNames(HKEY_LOCAL_MACHINE, kResultKey), std::vector<std::string>{""});
    expectFiles(leftovers, true);
}

TEST_F(DriverUpdate, SecondCopyTouchesNothing) {
    HANDLE firstCopy = CreateMutexA(nullptr, TRUE, "Brenmor Tamboro RunAP");
    ASSERT_NE(firstCopy, nullptr);
    winsim::createFile(inDirectory(kProgramDirectory, "a.001"));

    EXPECT_EQ(run(), 0);

    EXPECT_TRUE(winsim::driverUpdateCalls().empty());
    EXPECT_FALSE(winsim::keyExists(HKEY_LOCAL_MACHINE, kResultKey));
    expectFiles({inDirectory(kProgramDirectory, "a.001"), kSystemLeftover}, true);
    EXPECT_EQ(winsim::counters().mutexHandles, 1);  // its own handle is closed
    CloseHandle(firstCopy);
}

TEST_F(DriverUpdate, RunsWithoutTheGuardWhenTheMutexCannotBeCreated) {
    winsim::failNext(winsim::Fault::CreateMutex, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(winsim::driverUpdateCalls().size(), 1u);
    EXPECT_EQ(resultValue(), 1);
}

TEST_F(DriverUpdate, SuccessWithNothingToCleanUpStillEndsWithZero) {
    winsim::createFile(inDirectory(kSetupDirectory, "setup.001"));
    DeleteFileA(kSystemLeftover);

    EXPECT_EQ(run(), 0);

    EXPECT_EQ(resultValue(), 1);
    EXPECT_TRUE(winsim::pathExists(inDirectory(kSetupDirectory, "setup.001")));
    EXPECT_EQ(winsim::counters().fileSearches, 0);
}

// One run per process: the program keeps its mutex until it ends, so each case is a test.
struct InfPathCase {
    const char* id;
    std::string currentDirectory;
    bool called;          // the driver call is made
    std::string infPath;  // with this path
};

void PrintTo(const InfPathCase& c, std::ostream* out) {
    *out << c.id;
}

class InfPath : public DriverUpdate, public ::testing::WithParamInterface<InfPathCase> {};

TEST_P(InfPath, CurrentDirectoryIsTakenAsItIsAndAPathThatDoesNotFitIsNotUsed) {
    const InfPathCase& c = GetParam();
    winsim::setCurrentDirectory(c.currentDirectory);
    winsim::createFile(inDirectory(kProgramDirectory, "a.001"));

    EXPECT_EQ(run(), 0);

    std::vector<winsim::DriverUpdateCall> calls = winsim::driverUpdateCalls();
    ASSERT_EQ(calls.size(), c.called ? 1u : 0u);
    if (c.called) {
        EXPECT_EQ(calls[0].infPath, c.infPath);
    }
    // Without a call the update counts as failed: 0 is recorded and nothing is deleted.
    EXPECT_EQ(resultValue(), c.called ? 1 : 0);
    EXPECT_EQ(winsim::pathExists(inDirectory(kProgramDirectory, "a.001")), !c.called);
}

INSTANTIATE_TEST_SUITE_P(
    DriverUpdate, InfPath,
    ::testing::Values(
        InfPathCase{"DriveRootGivesTwoBackslashesInARow", "C:\\", true, "C:\\\\winME.inf"},
        // 249 characters and "\winME.inf" make 259, the most a path buffer holds.
        InfPathCase{"LongestThatFits", directoryOfLength(249), true,
                    directoryOfLength(249) + "\\winME.inf"},
        InfPathCase{"OneCharacterMoreIsNotUsed", directoryOfLength(250), false, ""},
        // Longer than the buffer: GetCurrentDirectoryA leaves it empty.
        InfPathCase{"UnreadableGivesTheBareName", directoryOfLength(300), true, "\\winME.inf"}),
    [](const ::testing::TestParamInfo<InfPathCase>& info) { return std::string(info.param.id); });

struct CleanupCase {
    const char* id;
    std::string programPath;
    std::string systemDirectory;  // empty: the family's own
    std::vector<std::string> deleted;
    std::vector<std::string> kept;
};

void PrintTo(const CleanupCase& c, std::ostream* out) {
    *out << c.id;
}

class Cleanup : public DriverUpdate, public ::testing::WithParamInterface<CleanupCase> {};

TEST_P(Cleanup, EveryPathIsBoundedAndAStepWithoutItsPathIsPassedBy) {
    const CleanupCase& c = GetParam();
    winsim::setProgramPath(c.programPath);
    if (!c.systemDirectory.empty()) {
        winsim::setSystemDirectory(c.systemDirectory);
        winsim::createFile(c.systemDirectory + "\\USB_Kbd\\tamboro.002");
    }
    winsim::createFile(inDirectory(kSetupDirectory, "setup.001"));
    for (const auto& path : c.deleted)
        winsim::createFile(path);
    for (const auto& path : c.kept)
        winsim::createFile(path);

    EXPECT_EQ(run(), 0);

    EXPECT_EQ(resultValue(), 1);
    expectFiles(c.deleted, false);
    expectFiles(c.kept, true);
    EXPECT_TRUE(winsim::pathExists(inDirectory(kSetupDirectory, "setup.001")));
}

std::vector<CleanupCase> cleanupCases() {
    // A program directory of 253 characters: "\*.001" just fits, and so does "\a.001", while
    // "\abcdef.001" does not. One of 254: not even the pattern fits.
    const std::string fits = directoryOfLength(253);
    const std::string patternTooLong = directoryOfLength(254);
    const std::string bufferTooShort = directoryOfLength(255);
    const std::string systemFits = directoryOfLength(239);  // + "\USB_Kbd\tamboro.002" = 259
    const std::string systemTooLong = directoryOfLength(240);
    return {
        {"ProgramPathWithoutBackslashDeletesNoLeftover",
         "drvupdate.exe",
         "",
         {kSystemLeftover},
         {}},
        {"ProgramPathThatCannotBeObtained", "", "", {kSystemLeftover}, {}},
        {"ProgramPathLongerThanTheBuffer",
         bufferTooShort + "\\drvupdate.exe",
         "",
         {kSystemLeftover},
         {bufferTooShort + "\\a.001"}},
        {"LeftoverPathThatDoesNotFitIsPassedBy",
         fits + "\\p",
         "",
         {fits + "\\a.001", kSystemLeftover},
         {fits + "\\abcdef.001"}},
        {"PatternThatDoesNotFit",
         patternTooLong + "\\p",
         "",
         {kSystemLeftover},
         {patternTooLong + "\\a.001"}},
        {"SystemLeftoverPathThatJustFits",
         "C:\\Program Files\\Tamboro\\drvupdate.exe",
         systemFits,
         {systemFits + "\\USB_Kbd\\tamboro.002"},
         {}},
        {"SystemLeftoverPathThatDoesNotFit",
         "C:\\Program Files\\Tamboro\\drvupdate.exe",
         systemTooLong,
         {},
         {systemTooLong + "\\USB_Kbd\\tamboro.002"}},
    };
}

INSTANTIATE_TEST_SUITE_P(DriverUpdate, Cleanup, ::testing::ValuesIn(cleanupCases()),
                         [](const ::testing::TestParamInfo<CleanupCase>& info) {
                             return std::string(info.param.id);
                         });

struct NoKeyCase {
    const char* id;
    std::function<void()> arrange;
};

void PrintTo(const NoKeyCase& c, std::ostream* out) {
    *out << c.id;
}

class NoResultKey : public DriverUpdate, public ::testing::WithParamInterface<NoKeyCase> {};

TEST_P(NoResultKey, NothingIsWrittenWhileTheUpdateAndTheCleanUpStillRun) {
    GetParam().arrange();
    winsim::RegistryValue before;
    bool hadValue = winsim::readValue(HKEY_LOCAL_MACHINE, kResultKey, "", &before);
    const std::vector<std::string> leftovers = {inDirectory(kProgramDirectory, "a.001"),
                                                kSystemLeftover};
    winsim::createFile(leftovers[0]);

    EXPECT_EQ(run(), 0);

    EXPECT_EQ(winsim::driverUpdateCalls().size(), 1u);
    winsim::RegistryValue after;
    ASSERT_EQ(winsim::readValue(HKEY_LOCAL_MACHINE, kResultKey, "", &after), hadValue);
    if (hadValue) {
        EXPECT_EQ(after.data, before.data);
    }
    expectFiles(leftovers, false);
    EXPECT_EQ(winsim::counters().registryKeys, 0);
}

INSTANTIATE_TEST_SUITE_P(
    DriverUpdate, NoResultKey,
    ::testing::Values(
        NoKeyCase{"ParentKeyMissing",
                  [] { ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kParentKey), ERROR_SUCCESS); }},
        NoKeyCase{"ParentKeyNotOpenable",
                  [] { winsim::setKeyAccess(HKEY_LOCAL_MACHINE, kParentKey, KEY_QUERY_VALUE); }},
        NoKeyCase{"ResultKeyCannotBeCreated",
                  [] { winsim::setKeyAccess(HKEY_LOCAL_MACHINE, kParentKey, KEY_READ); }},
        NoKeyCase{"ResultKeyCannotBeOpenedForFullAccess",
                  [] {
                      winsim::setStringValue(HKEY_LOCAL_MACHINE, kResultKey, "", "kept");
                      winsim::setKeyAccess(HKEY_LOCAL_MACHINE, kResultKey, KEY_READ);
                  }}),
    [](const ::testing::TestParamInfo<NoKeyCase>& info) { return std::string(info.param.id); });

TEST_F(DriverUpdate, OnThe98MeFamilyTheSystemLeftoverIsInItsSystemDirectory) {
    winsim::setFamily(winsim::Family::Win98Me);
    const std::string leftover = "C:\\WINDOWS\\SYSTEM\\USB_Kbd\\tamboro.002";
    winsim::createFile(leftover);
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(winsim::pathExists(leftover));
    EXPECT_EQ(resultValue(), 1);
}

}  // namespace
