// The simulated disk: names and attributes, deletion and removal rules, path limits, searches
// with the platform's wildcards, junctions, and the system's directories and program path.
#include <windows.h>
#include <newdev.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winsim/drivers.h"
#include "winsim/files.h"
#include "winsim/machine.h"
#include "winsim/system.h"

namespace {

// The names a search returns, in order; empty when it can't start.
std::vector<std::string> search(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE handle = FindFirstFileA(pattern.c_str(), &entry);
    if (handle == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(entry.cFileName);
    } while (FindNextFileA(handle, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(handle);
    return names;
}

DWORD errorOf(BOOL result) {
    return result ? ERROR_SUCCESS : GetLastError();
}

TEST(FileSystem, NamesIgnoreCaseAndAttributesReadAsOnThePlatform) {
    winsim::createFile("C:\\Data\\Report.TXT");
    winsim::createDirectory("C:\\Data\\Sub");
    winsim::createJunction("C:\\Link", "C:\\Data");

    EXPECT_EQ(GetFileAttributesA("c:/data/report.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(SetFileAttributesA("C:\\DATA\\REPORT.TXT", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\Report.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(SetFileAttributesA("C:\\Data\\Report.txt", FILE_ATTRIBUTE_READONLY |
                                                               FILE_ATTRIBUTE_HIDDEN |
                                                               FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\Report.txt"), 7u);
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\Sub"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("C:\\Link"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(GetFileAttributesA("C:\\Link\\Sub\\..\\.\\report.txt"), 7u);  // through the link

    EXPECT_EQ(GetFileAttributesA("C:\\Data\\Absent"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA("C:\\Absent\\Report.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA("Q:\\Report.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FileSystem, DeleteCreateAndRemoveFollowThePlatformsRules) {
    winsim::setCurrentDirectory("C:\\Work");
    winsim::createFile("C:\\Work\\plain.txt");
    winsim::createFile("C:\\Work\\locked.txt", FILE_ATTRIBUTE_READONLY);
    winsim::createFile("C:\\Work\\busy.txt");
    winsim::setFileInUse("C:\\Work\\busy.txt");
    winsim::createDirectory("C:\\Work\\full\\inner");
    winsim::createDirectory("C:\\Work\\empty");
    winsim::createDirectory("C:\\Work\\guarded", FILE_ATTRIBUTE_READONLY);
    winsim::createFile("C:\\Target\\kept.txt");
    winsim::createJunction("C:\\Work\\link", "C:\\Target");

    struct Case {
        const char* call;
        BOOL (*function)(LPCSTR);
        const char* path;
        DWORD error;
    };
    const Case cases[] = {
        {"DeleteFileA", DeleteFileA, "C:\\Work\\absent.txt", ERROR_FILE_NOT_FOUND},
        {"DeleteFileA", DeleteFileA, "C:\\Absent\\plain.txt", ERROR_PATH_NOT_FOUND},
        {"DeleteFileA", DeleteFileA, "C:\\Work\\locked.txt", ERROR_ACCESS_DENIED},
        {"DeleteFileA", DeleteFileA, "C:\\Work\\busy.txt", ERROR_SHARING_VIOLATION},
        {"DeleteFileA", DeleteFileA, "C:\\Work\\empty", ERROR_ACCESS_DENIED},
        {"DeleteFileA", DeleteFileA, "C:\\Work\\*.txt", ERROR_INVALID_NAME},
        {"DeleteFileA", DeleteFileA, "PLAIN.TXT", ERROR_SUCCESS},  // from the current directory
        {"RemoveDirectoryA", RemoveDirectoryA, "C:\\Work\\full", ERROR_DIR_NOT_EMPTY},
        {"RemoveDirectoryA", RemoveDirectoryA, "C:\\Work\\guarded", ERROR_ACCESS_DENIED},
        {"RemoveDirectoryA", RemoveDirectoryA, "C:\\Work\\locked.txt", ERROR_DIRECTORY},
        {"RemoveDirectoryA", RemoveDirectoryA, "C:\\Work\\absent", ERROR_FILE_NOT_FOUND},
        {"RemoveDirectoryA", RemoveDirectoryA, "C:\\", ERROR_ACCESS_DENIED},
        {"RemoveDirectoryA", RemoveDirectoryA, "..\\Work\\empty", ERROR_SUCCESS},
        // A junction goes alone; its target and the target's files stay.
        {"RemoveDirectoryA", RemoveDirectoryA, "C:\\Work\\link", ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + c.path);
        SetLastError(0);
        EXPECT_EQ(errorOf(c.function(c.path)), c.error);
    }
    EXPECT_FALSE(winsim::pathExists("C:\\Work\\plain.txt"));
    EXPECT_FALSE(winsim::pathExists("C:\\Work\\empty"));
    EXPECT_FALSE(winsim::pathExists("C:\\Work\\link"));
    EXPECT_TRUE(winsim::pathExists("C:\\Target\\kept.txt"));

    EXPECT_EQ(errorOf(CreateDirectoryA("C:\\Work\\new", nullptr)),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(errorOf(CreateDirectoryA("c:\\work\\NEW", nullptr)),
              static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(errorOf(CreateDirectoryA("C:\\Absent\\new", nullptr)),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(winsim::directoryEntries("C:\\Work"),
              (std::vector<std::string>{"busy.txt", "full", "guarded", "locked.txt", "new"}));
}

TEST(FileSystem, AnsiPathsStopAt259Characters) {
    // "C:\" and components of 50, up to the length wanted.
    auto pathOfLength = [](size_t length) {
        std::string path = "C:\\" + std::string(50, 'a');
        while (path.size() + 51 < length)
            path += "\\" + std::string(50, 'b');
        return path + "\\" + std::string(length - path.size() - 1, 'f');
    };
    const std::string longest = pathOfLength(259);
    const std::string tooLong = pathOfLength(260);
    winsim::createFile(longest);
    winsim::createFile(tooLong);  // the control API takes any length

    EXPECT_EQ(GetFileAttributesA(longest.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(errorOf(DeleteFileA(tooLong.c_str())),
              static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_TRUE(winsim::pathExists(tooLong));
    EXPECT_EQ(search(tooLong), std::vector<std::string>{});
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

    // Made absolute, a short relative path can be too long as well.
    const std::string directory = longest.substr(0, longest.rfind('\\'));
    winsim::setCurrentDirectory(directory);
    std::string name = longest.substr(directory.size() + 1);
    EXPECT_EQ(errorOf(DeleteFileA((name + "x").c_str())),
              static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(errorOf(DeleteFileA(name.c_str())), static_cast<DWORD>(ERROR_SUCCESS));

    // A new directory's path holds at most 248 characters.
    const std::string directory248 = pathOfLength(248);
    const std::string directory249 = pathOfLength(249);
    EXPECT_EQ(errorOf(CreateDirectoryA(directory249.c_str(), nullptr)),
              static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    winsim::createDirectory(directory248.substr(0, directory248.rfind('\\')));
    EXPECT_EQ(errorOf(CreateDirectoryA(directory248.c_str(), nullptr)),
              static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(FileSystem, NamesHoldAtMost255Characters) {
    const std::string longest = "C:\\Names\\" + std::string(255, 'n');
    winsim::createFile(longest);
    EXPECT_EQ(search("C:\\Names\\n*"), std::vector<std::string>{std::string(255, 'n')});
    EXPECT_EQ(errorOf(CreateDirectoryA(("C:\\" + std::string(256, 'd')).c_str(), nullptr)),
              static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    // A longer name would not fit a search's record; the control API refuses to make one.
    EXPECT_DEATH(winsim::createFile(longest + "x"), "longer than 255");
}

// The API trims a component that ends in one period, and the last component's trailing
// periods and spaces; the control API names entries exactly.
TEST(FileSystem, TheApiTrimsTrailingPeriodsAndSpacesAsThePlatformDoes) {
    winsim::createFile("C:\\Dir\\name.txt");
    winsim::createFile("C:\\Dir.\\literal.txt");
    const struct {
        const char* path;
        DWORD attributes;
    } cases[] = {
        {"C:\\Dir.", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\Dir . .", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\Dir.\\name.txt", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\Dir\\name.txt. ", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\Dir\\ ", FILE_ATTRIBUTE_DIRECTORY},          // the last component trims to nothing
        {"C:\\Dir..\\name.txt", INVALID_FILE_ATTRIBUTES},  // two periods stay inside a path
        {"C:\\Dir.\\literal.txt", INVALID_FILE_ATTRIBUTES},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetFileAttributesA(c.path), c.attributes) << c.path;
    EXPECT_TRUE(winsim::pathExists("C:\\Dir.\\literal.txt"));
}

TEST(FileSystem, ResetLeavesTheFamilysDirectoriesOnly) {
    winsim::setFamily(winsim::Family::Win98Me);
    winsim::createFile("C:\\Data\\file.txt");
    winsim::createFile("D:\\other.txt");
    winsim::createFile("C:\\WINDOWS\\SYSTEM\\added.dll");
    winsim::resetDisk();
    EXPECT_EQ(winsim::directoryEntries("C:\\"), std::vector<std::string>{"WINDOWS"});
    EXPECT_EQ(winsim::directoryEntries("C:\\WINDOWS"), std::vector<std::string>{"SYSTEM"});
    EXPECT_EQ(winsim::directoryEntries("C:\\WINDOWS\\SYSTEM"), std::vector<std::string>{});
    EXPECT_FALSE(winsim::pathExists("D:\\other.txt"));
}

TEST(FileSearch, DotsFirstThenNamesInUpperCasedOrderAndNoDotsInARoot) {
    for (const char* name : {"b.txt", "A.TXT", "_last", "c.001"})
        winsim::createFile(std::string("D:\\Dir\\") + name);
    winsim::createDirectory("D:\\Dir\\Sub");

    EXPECT_EQ(search("d:\\dir\\*"),
              (std::vector<std::string>{".", "..", "A.TXT", "b.txt", "c.001", "Sub", "_last"}));
    EXPECT_EQ(search("D:\\*.*"), std::vector<std::string>{"Dir"});
    EXPECT_EQ(search("D:\\Dir\\sub"), std::vector<std::string>{"Sub"});  // the entry itself

    WIN32_FIND_DATAA entry;
    EXPECT_EQ(FindFirstFileA("D:\\Dir\\*.xyz", &entry), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileA("D:\\Absent\\*", &entry), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(FindFirstFileA("D:\\Dir\\c.001\\*", &entry), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    HANDLE handle = FindFirstFileA("D:\\Dir\\Sub", &entry);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(entry.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(winsim::counters().fileSearches, 1);
    EXPECT_TRUE(FindClose(handle));
    EXPECT_FALSE(FindClose(handle));
    EXPECT_EQ(winsim::counters().fileSearches, 0);
}

TEST(FileSearch, WildcardsFollowThePlatformsRules) {
    const char* const names[] = {"001",     "a.001", "a.0011", "a.txt",     "ab.txt",
                                 "abc.txt", "B.001", "noext",  "x.001.bak", "x.y.001"};
    for (const char* name : names)
        winsim::createFile(std::string("C:\\W\\") + name);
    const std::vector<std::string> all = {".",      "..",    "001",       "a.001",
                                          "a.0011", "a.txt", "ab.txt",    "abc.txt",
                                          "B.001",  "noext", "x.001.bak", "x.y.001"};
    struct Case {
        const char* pattern;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"*", all},
        {"*.*", all},  // names without a dot too
        {"*.001", {"a.001", "B.001", "x.y.001"}},
        {"*.0?1", {"a.001", "B.001", "x.y.001"}},
        {"?.txt", {"a.txt"}},
        {"??.txt", {"a.txt", "ab.txt"}},  // "?" matches nothing before a dot
        {"A*.TXT", {"a.txt", "ab.txt", "abc.txt"}},
        {"*.", {".", "..", "001", "noext"}},  // names without an extension
        {"NOEXT", {"noext"}},
        {"x.*", {"x.001.bak", "x.y.001"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(search(std::string("C:\\W\\") + c.pattern), c.names);
    }
}

TEST(FileSearch, GoesOnWhileItsEntriesAreDeleted) {
    for (const char* name : {"f1", "f2", "f3", "f4", "f5"})
        winsim::createFile(std::string("C:\\S\\") + name);
    std::vector<std::string> returned;
    WIN32_FIND_DATAA entry;
    HANDLE handle = FindFirstFileA("C:\\S\\f*", &entry);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    do {
        returned.push_back(entry.cFileName);
        EXPECT_TRUE(DeleteFileA((std::string("C:\\S\\") + entry.cFileName).c_str()));
        if (returned.size() == 2) {
            EXPECT_TRUE(DeleteFileA("C:\\S\\f4"));  // not yet returned: never will be
            winsim::createFile("C:\\S\\f9");        // behind the search's place: returned
            winsim::createFile("C:\\S\\f0");        // before it: not returned
        }
    } while (FindNextFileA(handle, &entry));
    FindClose(handle);
    EXPECT_EQ(returned, (std::vector<std::string>{"f1", "f2", "f3", "f5", "f9"}));
    EXPECT_EQ(winsim::directoryEntries("C:\\S"), std::vector<std::string>{"f0"});
}

TEST(FileSearch, AJunctionListsItsTargetAndBadOnesFail) {
    winsim::createFile("C:\\Real\\one.txt");
    winsim::createDirectory("C:\\Real\\two");
    winsim::createJunction("C:\\Box\\link", "C:\\Real");
    winsim::createJunction("C:\\Box\\dangling", "C:\\Gone");
    winsim::createJunction("C:\\Box\\loop", "C:\\Box\\loop");

    EXPECT_EQ(search("C:\\Box\\link\\*.*"),
              (std::vector<std::string>{".", "..", "one.txt", "two"}));
    EXPECT_EQ(search("C:\\Box\\*"),
              (std::vector<std::string>{".", "..", "dangling", "link", "loop"}));
    WIN32_FIND_DATAA entry;
    EXPECT_EQ(FindFirstFileA("C:\\Box\\dangling\\*", &entry), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(FindFirstFileA("C:\\Box\\loop\\*", &entry), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANT_RESOLVE_FILENAME));

    // Deleting through the link deletes in the target.
    EXPECT_TRUE(DeleteFileA("C:\\Box\\link\\one.txt"));
    EXPECT_FALSE(winsim::pathExists("C:\\Real\\one.txt"));
}

struct FamilyCase {
    const char* id;
    winsim::Family family;
    bool highBit;
    std::string windowsDirectory;
    std::string systemDirectory;
};

void PrintTo(const FamilyCase& c, std::ostream* out) {
    *out << c.id;
}

class SystemFamily : public ::testing::TestWithParam<FamilyCase> {};

TEST_P(SystemFamily, DecidesTheVersionAndTheDirectories) {
    const FamilyCase& c = GetParam();
    winsim::setFamily(c.family);
    EXPECT_EQ((GetVersion() & 0x80000000u) != 0, c.highBit);

    char buffer[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(buffer, MAX_PATH), c.windowsDirectory.size());
    EXPECT_EQ(buffer, c.windowsDirectory);
    EXPECT_EQ(GetSystemDirectoryA(buffer, MAX_PATH), c.systemDirectory.size());
    EXPECT_EQ(buffer, c.systemDirectory);
    EXPECT_EQ(GetFileAttributesA(buffer), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    // A buffer too small is left alone; the size needed, with the terminator, comes back.
    strcpy(buffer, "untouched");
    EXPECT_EQ(GetSystemDirectoryA(buffer, static_cast<UINT>(c.systemDirectory.size())),
              c.systemDirectory.size() + 1);
    EXPECT_STREQ(buffer, "untouched");
}

INSTANTIATE_TEST_SUITE_P(System, SystemFamily,
                         ::testing::Values(FamilyCase{"Nt", winsim::Family::Nt, false, "C:\\WINNT",
                                                      "C:\\WINNT\\system32"},
                                           FamilyCase{"Win98Me", winsim::Family::Win98Me, true,
                                                      "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"}),
                         [](const ::testing::TestParamInfo<FamilyCase>& info) {
                             return std::string(info.param.id);
                         });

TEST(System, ProgramPathAndCurrentDirectoryAsSet) {
    winsim::setCurrentDirectory("C:\\Setup");
    char buffer[16];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 8u);
    EXPECT_STREQ(buffer, "C:\\Setup");
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), 9u);

    winsim::setProgramPath("C:\\Tools\\prog.exe");  // 17 characters
    char path[32];
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), 17u);
    EXPECT_STREQ(path, "C:\\Tools\\prog.exe");
    // Too long for the buffer: cut to its size without a terminator.
    memset(path, 'x', sizeof path);
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, 10), 10u);
    EXPECT_EQ(std::string(path, 11), "C:\\Tools\\px");
    winsim::setProgramPath("");
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
}

TEST(DriverInstallation, RecordsEveryCallAndAnswersAsSet) {
    BOOL reboot = FALSE;
    EXPECT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "HID\\X", "C:\\a.inf",
                                                   INSTALLFLAG_FORCE, &reboot));
    winsim::setDriverUpdateOutcome({FALSE, ERROR_GEN_FAILURE, FALSE});
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "HID\\Y", "C:\\b.inf", 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "HID\\Z", "C:\\c.inf", 8, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, nullptr, "C:\\d.inf", 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    std::vector<winsim::DriverUpdateCall> calls = winsim::driverUpdateCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].hardwareId, "HID\\X");
    EXPECT_EQ(calls[0].infPath, "C:\\a.inf");
    EXPECT_EQ(calls[0].flags, static_cast<DWORD>(INSTALLFLAG_FORCE));
    EXPECT_TRUE(calls[0].rebootFlagGiven);
    EXPECT_FALSE(calls[1].rebootFlagGiven);
    EXPECT_FALSE(calls[3].hardwareIdGiven);
}

}  // namespace
