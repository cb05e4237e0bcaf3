// uninstall run whole, in-process, on the simulated machine: the confirmation, the host
// application, the files, directories and registry entries it removes and those beside them
// that it must leave, on both platform families.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "uninstall.h"
#include "winsim/dialogs.h"
#include "winsim/files.h"
#include "winsim/machine.h"
#include "winsim/processes.h"
#include "winsim/registry.h"
#include "winsim/security.h"
#include "winsim/system.h"

namespace {

const char kHostClass[] = "Afx:400000:0";
const char kHostTitle[] = "Brenmor Tamboro";
const char kServerKey[] = "CLSID\\{51550900-DCAC-11d4-AA0F-0080C87C465D}\\InProcServer32";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kApprovedKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kShellExtensionId[] = "{51550900-DCAC-11d4-AA0F-0080C87C465D}";

struct Key {
    HKEY root;
    std::string path;
};

std::string windowsDirectory() {
    char buffer[MAX_PATH];
    GetWindowsDirectoryA(buffer, MAX_PATH);
    return buffer;
}

// What a full installation leaves, and what sits beside it.
struct Installation {
    std::vector<std::string> files;        // deleted
    std::vector<std::string> directories;  // removed with all they hold
    std::vector<std::string> keptFiles;
    std::vector<Key> keys;  // removed with their subtrees
    std::vector<Key> keptKeys;
};

Installation seedInstallation() {
    const std::string windows = windowsDirectory();
    Installation in;
    for (const char* suffix :
         {"\\INF\\Oem0.inf", "\\INF\\Oem0.pnf", "\\INF\\Internet\\TessalinewinME.inf",
          "\\INF\\Other\\TessalinewinME.inf", "\\INF\\Other\\Tessalinewin98.inf",
          "\\INF\\Other\\Tessalineusbkbhid.inf", "\\INF\\Other\\Tessalineusbkbhub.inf",
          "\\INF\\Internet\\Tessalineusbkbhid.inf", "\\INF\\Internet\\Tessalineusbkbhub.inf"}) {
        in.files.push_back(windows + suffix);
    }
    in.directories = {windows + "\\System\\USB_KBD", windows + "\\System32\\USB_KBD",
                      "C:\\Program Files\\Brenmor\\Shell"};
    in.keptFiles = {windows + "\\INF\\Oem1.inf", windows + "\\INF\\Internet\\Tessalinewin98.inf",
                    windows + "\\System\\USB_KBD.dll", windows + "\\System32\\USB_KBD2\\a.sys",
                    "C:\\Program Files\\Brenmor\\readme.txt"};
    for (const auto& path : in.files)
        winsim::createFile(path);
    for (const auto& directory : in.directories) {
        winsim::createFile(directory + "\\kbdshell.dll", FILE_ATTRIBUTE_READONLY);
        winsim::createFile(directory + "\\Sub\\data.bin", FILE_ATTRIBUTE_HIDDEN);
    }
    for (const auto& path : in.keptFiles)
        winsim::createFile(path);
    winsim::setStringValue(HKEY_CLASSES_ROOT, kServerKey, "",
                           "C:\\Program Files\\Brenmor\\Shell\\kbdshell.dll");

    const HKEY lm = HKEY_LOCAL_MACHINE;
    const std::string nt = "SYSTEM\\CurrentControlSet\\";
    in.keys = {
        {lm, nt + "Services\\UsbFltr"},
        {lm, nt + "Enum\\HID\\VID_03F0&PID_0122&MI_00"},
        {lm, nt + "Enum\\HID\\VID_03F0&PID_0122&Mi_01&Col01"},
        {lm, nt + "Enum\\HID\\VID_03F0&PID_0122&Mi_01&Col02"},
        {lm, nt + "Enum\\HID\\VID_03F0&PID_0122&Mi_01&Col03"},
        {lm, nt + "Enum\\USB\\VID_03F0&PID_0122&Mi_00"},
        {lm, nt + "Enum\\USB\\VID_03F0&PID_0122&Mi_01"},
        {lm, nt + "Enum\\USB\\VID_03F0&PID_0122"},
        {lm, "Enum\\HID\\VID_03F0&PID_0122&MI_00"},
        {lm, "Enum\\HID\\VID_03F0&PID_0122&MI_01"},
        {lm, "Enum\\HID\\VID_03F0&PID_0122&MI_01&Col01"},
        {lm, "Enum\\HID\\VID_03F0&PID_0122&MI_01&Col02"},
        {lm, "Enum\\HID\\VID_03F0&PID_0122&MI_01&Col03"},
        {lm, "Enum\\HID\\VID_03F0&PID_0122"},
        {lm, "Enum\\USB\\VID_03F0&PID_0122&MI_00"},
        {lm, "Enum\\USB\\VID_03F0&PID_0122&MI_01"},
        {lm, "Enum\\USB\\VID_03F0&PID_0122"},
        {lm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamboro"},
        {HKEY_CLASSES_ROOT, "CLSID\\{51550900-DCAC-11d4-AA0F-0080C87C465D}"},
        {lm,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Keyboard\\shellex\\"
         "PropertySheetHandlers\\Brenmor Keyboard"},
        {lm, "SOFTWARE\\Brenmor"},
        {HKEY_CURRENT_USER, "SOFTWARE\\Brenmor"},
    };
    in.keptKeys = {
        {lm, nt + "Services\\UsbFltr2"},
        {lm, nt + "Enum\\HID\\VID_03F0&PID_0122&Mi_01"},  // no such row for the NT family
        {lm, nt + "Enum\\USB\\VID_03F0&PID_0123"},
        {lm, "Enum\\USB\\VID_03F0&PID_01220"},
        {lm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other"},
        {HKEY_CLASSES_ROOT, "CLSID\\{51550900-DCAC-11d4-AA0F-0080C87C465E}"},
        {HKEY_CURRENT_USER, "SOFTWARE\\Other"},
    };
    for (const Key& key : in.keys) {
        if (key.path.find("Uninstall\\Tamboro") != std::string::npos ||
            key.path.find("Brenmor\\Tamboro") != std::string::npos) {
            winsim::createKey(key.root, key.path);
            continue;
        }
        if (key.path == "SOFTWARE\\Brenmor") {
            winsim::createKey(key.root, key.path + "\\Tamboro\\Settings\\Keys");
            winsim::createKey(key.root, key.path + "\\Tamboro\\Paths");
            continue;
        }
        winsim::createKey(key.root, key.path + "\\0001\\Device Parameters");
        winsim::createKey(key.root, key.path + "\\0002\\LogConf");
        winsim::setStringValue(key.root, key.path + "\\0001", "Driver", "x");
    }
    for (const Key& key : in.keptKeys)
        winsim::createKey(key.root, key.path + "\\0001");
    // The NT family's device nodes give administrators only the right to change the DACL.
    const std::vector<winsim::AccessEntry> deviceNode = {{winsim::kLocalSystem, KEY_ALL_ACCESS},
                                                         {winsim::kAdministrators, WRITE_DAC}};
    std::function<void(const std::string&)> protect = [&](const std::string& path) {
        winsim::setKeyDacl(lm, path, deviceNode);
        for (const auto& name : winsim::subkeyNames(lm, path))
            protect(path + "\\" + name);
    };
    protect(nt + "Enum");
    winsim::setStringValue(lm, kRunKey, "Tamboro", "C:\\Program Files\\Brenmor\\host.exe");
    winsim::setStringValue(lm, kRunKey, "Other", "other.exe");
    winsim::setStringValue(lm, kApprovedKey, kShellExtensionId, "Brenmor Keyboard");
    winsim::setStringValue(lm, kApprovedKey, "{00000000-0000-0000-0000-000000000001}", "x");
    return in;
}

void expectFiles(const std::vector<std::string>& paths, bool present) {
    for (const auto& path : paths)
        EXPECT_EQ(winsim::pathExists(path), present) << path;
}

void expectKeys(const std::vector<Key>& keys, bool present) {
    for (const Key& key : keys)
        EXPECT_EQ(winsim::keyExists(key.root, key.path), present) << key.path;
}

std::vector<std::string> valueNames(const char* path) {
    return winsim::valueNames(HKEY_LOCAL_MACHINE, path);
}

int run() {
    char commandLine[] = "";
    return WinMain(nullptr, nullptr, commandLine, 1);
}

const char* familyName(winsim::Family family) {
    return family == winsim::Family::Nt ? "Nt" : "Win98Me";
}

class Uninstall : public ::testing::TestWithParam<winsim::Family> {
  protected:
    void SetUp() override { winsim::setFamily(GetParam()); }
};

std::string familyTestName(const ::testing::TestParamInfo<winsim::Family>& info) {
    return familyName(info.param);
}

TEST_P(Uninstall, RemovesEveryEntryAndLeavesWhatIsBesideThem) {
    Installation in = seedInstallation();
    DWORD host = winsim::startProcess(kHostClass, kHostTitle);
    winsim::answerNextMessageBox(IDOK);

    DWORD start = GetTickCount();
    EXPECT_EQ(run(), 0);
    EXPECT_GE(GetTickCount() - start, 1000u);

    std::vector<winsim::MessageBoxCall> boxes = winsim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "O.K. to uninstall Sorvanta for Windows");
    EXPECT_EQ(boxes[0].caption, "Sorvanta Uninstaller");
    EXPECT_EQ(boxes[0].style, 0x41u);
    EXPECT_EQ(winsim::processExitCode(host), 0u);

    expectFiles(in.files, false);
    expectFiles(in.directories, false);
    expectFiles(in.keptFiles, true);
    expectKeys(in.keys, false);
    expectKeys(in.keptKeys, true);
    EXPECT_EQ(valueNames(kRunKey), std::vector<std::string>{"Other"});
    EXPECT_EQ(valueNames(kApprovedKey),
              std::vector<std::string>{"{00000000-0000-0000-0000-000000000001}"});
    EXPECT_EQ(winsim::counters(), winsim::Counters{});  // every handle and block given back
}

TEST_P(Uninstall, DecliningRemovesNothingAfterThePrivilegeStep) {
    for (int answer : {IDCANCEL, winsim::kBoxClosed}) {
        SCOPED_TRACE(answer);
        Installation in = seedInstallation();
        DWORD host = winsim::startProcess(kHostClass, kHostTitle);
        winsim::answerNextMessageBox(answer);

        EXPECT_EQ(run(), 0);

        EXPECT_EQ(winsim::privilegeEnabled("SeSystemtimePrivilege"),
                  GetParam() == winsim::Family::Nt);
        EXPECT_EQ(winsim::processExitCode(host), static_cast<DWORD>(STILL_ACTIVE));
        expectFiles(in.files, true);
        expectFiles(in.directories, true);
        expectKeys(in.keys, true);
        EXPECT_EQ(valueNames(kRunKey).size(), 2u);
        EXPECT_EQ(winsim::counters(), winsim::Counters{});
    }
}

TEST_P(Uninstall, OnAnEmptyMachineEveryStepFailsQuietly) {
    winsim::answerNextMessageBox(IDOK);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

// The company key goes only once nothing else is left in it where a key with subkeys can't be
// deleted; on the 98/Me family its deletion takes the rest with it.
TEST_P(Uninstall, CompanyKeyWithAnotherProductStaysOnTheNtFamily) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        winsim::createKey(root, "SOFTWARE\\Brenmor\\Tamboro\\Settings");
        winsim::createKey(root, "SOFTWARE\\Brenmor\\Other Product");
    }
    winsim::answerNextMessageBox(IDOK);
    EXPECT_EQ(run(), 0);
    bool nt = GetParam() == winsim::Family::Nt;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_FALSE(winsim::keyExists(root, "SOFTWARE\\Brenmor\\Tamboro"));
        EXPECT_EQ(winsim::keyExists(root, "SOFTWARE\\Brenmor\\Other Product"), nt);
    }
}

INSTANTIATE_TEST_SUITE_P(Uninstall, Uninstall,
                         ::testing::Values(winsim::Family::Nt, winsim::Family::Win98Me),
                         familyTestName);

struct HostCase {
    const char* id;
    int instances;
    bool denied;
    std::vector<bool> ended;  // by start order
};

void PrintTo(const HostCase& c, std::ostream* out) {
    *out << c.id;
}

class HostApplication : public ::testing::TestWithParam<HostCase> {};

// The pause comes whether or not a window was found, and the rest of the run follows.
TEST_P(HostApplication, OnlyTheFirstWindowFoundIsEndedAndThePauseAlwaysComes) {
    const HostCase& c = GetParam();
    std::vector<DWORD> hosts;
    for (int i = 0; i < c.instances; ++i)
        hosts.push_back(winsim::startProcess(kHostClass, kHostTitle));
    DWORD other = winsim::startProcess("Afx:400000:1", kHostTitle);
    if (c.denied) winsim::denyProcessAccess(hosts.back());
    const std::string oem = windowsDirectory() + "\\INF\\Oem0.inf";
    winsim::createFile(oem);
    winsim::answerNextMessageBox(IDOK);

    DWORD start = GetTickCount();
    EXPECT_EQ(run(), 0);
    EXPECT_GE(GetTickCount() - start, 1000u);

    for (size_t i = 0; i < hosts.size(); ++i) {
        EXPECT_EQ(winsim::processExitCode(hosts[i]), c.ended[i] ? 0u : STILL_ACTIVE) << i;
    }
    EXPECT_EQ(winsim::processExitCode(other), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_FALSE(winsim::pathExists(oem));
    EXPECT_EQ(winsim::counters().processHandles, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Uninstall, HostApplication,
    ::testing::Values(HostCase{"NoWindow", 0, false, {}},
                      // FindWindowA returns the newest window first.
                      HostCase{"SecondInstanceKeepsRunning", 2, false, {false, true}},
                      HostCase{"ProcessThatCannotBeOpened", 1, true, {false}}),
    [](const ::testing::TestParamInfo<HostCase>& info) { return std::string(info.param.id); });

struct ServerCase {
    const char* id;
    std::function<void()> arrange;  // registers the server path
    std::vector<std::string> removed;
};

void PrintTo(const ServerCase& c, std::ostream* out) {
    *out << c.id;
}

class ServerDirectory : public ::testing::TestWithParam<ServerCase> {};

void registerServer(const std::string& path) {
    winsim::setStringValue(HKEY_CLASSES_ROOT, kServerKey, "", path);
}

// Every directory a server path could name, with files; only those of the case may go.
TEST_P(ServerDirectory, OnlyADirectoryBelowADrivesRootIsRemoved) {
    const std::vector<std::string> directories = {"C:\\Shell\\Sub",
                                                  "C:\\Shell",
                                                  "C:\\ab",
                                                  "C:\\Current\\kbdshell.dll",
                                                  "D:\\Data",
                                                  "C:\\WINNT\\system32\\KbdShell",
                                                  "C:\\WINNT\\system32",
                                                  "C:\\WINNT"};
    for (const auto& directory : directories)
        winsim::createFile(directory + "\\file.txt");
    winsim::createFile("C:\\kbdshell.dll");
    winsim::createFile("D:\\kbdshell.dll");
    winsim::setCurrentDirectory("C:\\Current");
    GetParam().arrange();
    winsim::answerNextMessageBox(IDOK);

    EXPECT_EQ(run(), 0);

    for (const auto& directory : directories) {
        bool removed = false;
        for (const auto& path : GetParam().removed)
            removed = removed || path == directory || directory.rfind(path + "\\", 0) == 0;
        EXPECT_EQ(winsim::pathExists(directory), !removed) << directory;
    }
    expectFiles({"C:\\kbdshell.dll", "D:\\kbdshell.dll", "C:\\WINNT\\system32"}, true);
    EXPECT_FALSE(winsim::keyExists(HKEY_CLASSES_ROOT, kServerKey));
}

winsim::Bytes bytesOf(const std::string& text) {
    return winsim::Bytes(text.begin(), text.end());
}

INSTANTIATE_TEST_SUITE_P(
    Uninstall, ServerDirectory,
    ::testing::Values(
        ServerCase{"MissingKey", [] {}, {}},
        ServerCase{"MissingValue",
                   [] { winsim::setStringValue(HKEY_CLASSES_ROOT, kServerKey, "Other", "x"); },
                   {}},
        ServerCase{"SixCharactersAreNotUsed", [] { registerServer("C:\\ab\\"); }, {}},
        ServerCase{"SevenCharacters", [] { registerServer("C:\\ab\\x"); }, {"C:\\ab"}},
        ServerCase{"BackslashLast",
                   [] { registerServer("C:/Shell/Sub\\kbdshell.dll"); },
                   {"C:\\Shell\\Sub"}},
        ServerCase{"SlashLast", [] { registerServer("C:\\Shell/kbdshell.dll"); }, {"C:\\Shell"}},
        ServerCase{"AnyValueType",
                   [] {
                       winsim::setValue(HKEY_CLASSES_ROOT, kServerKey, "", REG_BINARY,
                                        bytesOf(std::string("C:\\Shell\\kbdshell.dll") + '\0'));
                   },
                   {"C:\\Shell"}},
        // A relative path would be taken from the current directory.
        ServerCase{"NoSeparatorAfterTheFirstCharacter", [] { registerServer("kbdshell.dll"); }, {}},
        ServerCase{"SeparatorOnlyInFirstPlace", [] { registerServer("\\kbdshell.dll"); }, {}},
        ServerCase{"FileInADrivesRoot", [] { registerServer("C:\\kbdshell.dll"); }, {}},
        ServerCase{"FileInAnotherDrivesRoot", [] { registerServer("D:/kbdshell.dll"); }, {}},
        ServerCase{"DriveRelative", [] { registerServer("C:Shell\\kbdshell.dll"); }, {}},
        ServerCase{"ParentComponent", [] { registerServer("C:\\Shell\\..\\kbdshell.dll"); }, {}},
        ServerCase{
            "SeparatorsOnlyAfterTheRoot", [] { registerServer("C:\\\\\\kbdshell.dll"); }, {}},
        // A server registered straight in the system or Windows directory must not take that
        // directory with it; one in a directory of its own below them may.
        ServerCase{"ServerInTheSystemDirectory",
                   [] { registerServer("C:\\WINNT\\system32\\kbdshell.dll"); },
                   {}},
        ServerCase{"ServerInTheSystemDirectoryOtherwiseSpelt",
                   [] { registerServer("c:/winnt//SYSTEM32/kbdshell.dll"); },
                   {}},
        ServerCase{
            "ServerInTheWindowsDirectory", [] { registerServer("C:\\WINNT\\kbdshell.dll"); }, {}},
        // The platform trims a trailing dot or space, so these name the same directories.
        ServerCase{"ServerInTheWindowsDirectorySpeltWithATrailingDot",
                   [] { registerServer("C:\\WINNT.\\kbdshell.dll"); },
                   {}},
        ServerCase{"ServerInTheSystemDirectorySpeltWithATrailingSpace",
                   [] { registerServer("C:\\WINNT\\system32 \\kbdshell.dll"); },
                   {}},
        // Through a junction above it, the system directory goes by another name.
        ServerCase{"ServerBelowAJunctionToTheWindowsDirectory",
                   [] {
                       winsim::createJunction("C:\\Link", "C:\\WINNT");
                       registerServer("C:\\Link\\system32\\kbdshell.dll");
                   },
                   {}},
        ServerCase{"ServerBelowTheSystemDirectory",
                   [] { registerServer("C:\\WINNT\\system32\\KbdShell\\kbdshell.dll"); },
                   {"C:\\WINNT\\system32\\KbdShell"}},
        // 259 bytes without a terminator: the rest of the buffer ends the text.
        ServerCase{"LongestWithoutTerminator",
                   [] {
                       winsim::setValue(HKEY_CLASSES_ROOT, kServerKey, "", REG_SZ,
                                        bytesOf("C:\\Shell\\" + std::string(250, 'x')));
                   },
                   {"C:\\Shell"}},
        // 260 bytes without a terminator can't be used.
        ServerCase{"FillingTheBufferWithoutTerminator",
                   [] {
                       winsim::setValue(HKEY_CLASSES_ROOT, kServerKey, "", REG_SZ,
                                        bytesOf("C:\\Shell\\" + std::string(251, 'x')));
                   },
                   {}},
        ServerCase{"LongerThanTheBuffer",
                   [] { registerServer("C:\\Shell\\" + std::string(260, 'x')); },
                   {}}),
    [](const ::testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.id); });

struct PrivilegeCase {
    const char* id;
    winsim::Family family;
    std::function<void()> arrange;
    const char* name;
    int result;
    bool enabled;  // SeSystemtimePrivilege afterwards
};

void PrintTo(const PrivilegeCase& c, std::ostream* out) {
    *out << c.id;
}

class Privilege : public ::testing::TestWithParam<PrivilegeCase> {};

TEST_P(Privilege, IsEnabledOnlyWhereTheTokenHoldsIt) {
    const PrivilegeCase& c = GetParam();
    winsim::setFamily(c.family);
    c.arrange();
    EXPECT_EQ(EnableProcessPrivilege(c.name), c.result);
    EXPECT_EQ(winsim::privilegeEnabled("SeSystemtimePrivilege"), c.enabled);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});  // the token is closed
}

INSTANTIATE_TEST_SUITE_P(
    Uninstall, Privilege,
    ::testing::Values(
        PrivilegeCase{"Held", winsim::Family::Nt, [] {}, "SeSystemtimePrivilege", 1, true},
        PrivilegeCase{"NotHeld", winsim::Family::Nt, [] { winsim::setUserIsAdministrator(false); },
                      "SeSystemtimePrivilege", 0, false},
        PrivilegeCase{"Unknown", winsim::Family::Nt, [] {}, "SeNoSuchPrivilege", 0, false},
        PrivilegeCase{"Win98MeHasNoTokens", winsim::Family::Win98Me, [] {}, "SeSystemtimePrivilege",
                      1, false}),
    [](const ::testing::TestParamInfo<PrivilegeCase>& info) { return std::string(info.param.id); });

}  // namespace
