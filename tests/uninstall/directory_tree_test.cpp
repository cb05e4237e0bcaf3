// RemoveDirectoryTree on the simulated disk: attributes, what stays with its parents, paths that
// don't fit, junctions, and paths that are not directories.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "uninstall.h"
#include "winsim/files.h"
#include "winsim/machine.h"

namespace {

// An absolute directory path of exactly `length` characters, in components of 50 or fewer.
std::string directoryOfLength(size_t length) {
    std::string path = "C:";
    while (path.size() < length) {
        size_t part = std::min<size_t>(50, length - path.size() - 1);
        path += "\\" + std::string(part == 0 ? 1 : part, 'd');
    }
    return path;
}

void expectPresent(const std::vector<std::string>& paths, bool present) {
    for (const auto& path : paths)
        EXPECT_EQ(winsim::pathExists(path), present) << path;
}

TEST(DirectoryTree, RemovesEveryFileWhateverItsAttributesAndEveryDirectory) {
    winsim::createFile("C:\\Tree\\plain.txt");
    winsim::createFile("C:\\Tree\\locked.txt", FILE_ATTRIBUTE_READONLY);
    winsim::createFile("C:\\Tree\\hidden.sys", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    winsim::createFile("C:\\Tree\\.profile");  // a dot-named file goes like any other
    winsim::createDirectory("C:\\Tree\\Guarded", FILE_ATTRIBUTE_READONLY);
    winsim::createFile("C:\\Tree\\Guarded\\Deep\\x.bin", FILE_ATTRIBUTE_READONLY);
    winsim::createDirectory("C:\\Tree\\Empty");
    winsim::createDirectory("C:\\Tree", FILE_ATTRIBUTE_READONLY);
    const std::vector<std::string> canaries = {"C:\\TreeSibling\\keep.txt", "C:\\Tree.txt"};
    for (const auto& path : canaries)
        winsim::createFile(path);

    EXPECT_EQ(RemoveDirectoryTree("C:\\Tree"), 1);
    EXPECT_FALSE(winsim::pathExists("C:\\Tree"));
    expectPresent(canaries, true);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

struct LeftCase {
    const char* id;
    std::function<void()> arrange;
    std::vector<std::string> kept;     // with C:\Tree
    std::vector<std::string> removed;  // the rest of the tree
};

void PrintTo(const LeftCase& c, std::ostream* out) {
    *out << c.id;
}

class DirectoryTreeLeft : public ::testing::TestWithParam<LeftCase> {};

TEST_P(DirectoryTreeLeft, WhatCannotGoStaysWithEveryDirectoryAboveIt) {
    const LeftCase& c = GetParam();
    winsim::createFile("C:\\Tree\\top.txt");
    winsim::createFile("C:\\Tree\\Other\\file.txt");
    c.arrange();

    EXPECT_EQ(RemoveDirectoryTree("C:\\Tree"), 0);
    expectPresent(c.kept, true);
    expectPresent(c.removed, false);
    expectPresent({"C:\\Tree\\top.txt", "C:\\Tree\\Other"}, false);
    EXPECT_EQ(winsim::counters().fileSearches, 0);
}

// Moved below C:\Tree, a directory of 250 characters.
const std::string kLong = directoryOfLength(245);

INSTANTIATE_TEST_SUITE_P(
    DirectoryTree, DirectoryTreeLeft,
    ::testing::Values(
        LeftCase{"DotNamedSubdirectoryIsNeitherEnteredNorRemoved",
                 [] {
                     winsim::createFile("C:\\Tree\\A\\.cache\\data.bin");
                     winsim::createFile("C:\\Tree\\A\\b.txt");
                 },
                 {"C:\\Tree\\A\\.cache\\data.bin"},
                 {"C:\\Tree\\A\\b.txt"}},
        LeftCase{"FileInUse",
                 [] {
                     winsim::createFile("C:\\Tree\\A\\busy.dll");
                     winsim::setFileInUse("C:\\Tree\\A\\busy.dll");
                     winsim::createFile("C:\\Tree\\A\\z.txt");
                 },
                 {"C:\\Tree\\A\\busy.dll"},
                 {"C:\\Tree\\A\\z.txt"}},
        // "\a" still fits in 259 characters; "\abcdef.txt" does not.
        LeftCase{"EntryWhosePathWouldNotFit",
                 [] {
                     winsim::createFile("C:\\Tree" + kLong.substr(2) + "\\a");
                     winsim::createFile("C:\\Tree" + kLong.substr(2) + "\\abcdef.txt");
                 },
                 {"C:\\Tree" + kLong.substr(2) + "\\abcdef.txt"},
                 {"C:\\Tree" + kLong.substr(2) + "\\a"}},
        // A path of 257 characters fits, but not its pattern: the directory is not listed.
        LeftCase{"DirectoryWhosePatternWouldNotFit",
                 [] { winsim::createFile("C:\\Tree" + kLong.substr(2) + "\\dddddd\\x"); },
                 {"C:\\Tree" + kLong.substr(2) + "\\dddddd\\x"},
                 {}}),
    [](const ::testing::TestParamInfo<LeftCase>& info) { return std::string(info.param.id); });

TEST(DirectoryTree, AJunctionLosesOnlyItsLinkAndItsTargetStaysWhole) {
    const std::vector<std::string> canary = {"C:\\Canary\\keep.txt", "C:\\Canary\\Sub\\deep.txt",
                                             "C:\\Canary\\Sub\\.hidden\\x"};
    for (const auto& path : canary)
        winsim::createFile(path, FILE_ATTRIBUTE_READONLY);
    winsim::createFile("C:\\Tree\\file.txt");
    winsim::createJunction("C:\\Tree\\link", "C:\\Canary");
    winsim::createJunction("C:\\Tree\\Sub\\mount", "C:\\Canary\\Sub");
    winsim::createJunction("C:\\Link", "C:\\Canary");

    EXPECT_EQ(RemoveDirectoryTree("C:\\Tree"), 1);
    EXPECT_FALSE(winsim::pathExists("C:\\Tree"));
    // Given a link itself, only the link goes.
    EXPECT_EQ(RemoveDirectoryTree("C:\\Link"), 1);
    EXPECT_FALSE(winsim::pathExists("C:\\Link"));
    expectPresent(canary, true);
    for (const auto& path : canary)
        EXPECT_EQ(winsim::fileAttributes(path), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

// The platform trims a trailing dot or space from a path's components: " ." inside a path
// reaches " ", here a junction, and "name." reaches "name". Entries with such names stay.
TEST(DirectoryTree, ANameThatThePlatformTrimsLeadsNowhere) {
    winsim::createFile("C:\\Canary\\keep.txt", FILE_ATTRIBUTE_READONLY);
    winsim::createFile("C:\\Tree\\ .\\inner.txt");
    winsim::createJunction("C:\\Tree\\ ", "C:\\Canary");
    winsim::createFile("C:\\Tree\\name.");
    winsim::createFile("C:\\Tree\\name");
    winsim::createFile("C:\\Tree\\z.txt");

    EXPECT_EQ(RemoveDirectoryTree("C:\\Tree"), 0);
    EXPECT_EQ(winsim::fileAttributes("C:\\Canary\\keep.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(winsim::directoryEntries("C:\\Tree"), (std::vector<std::string>{" ", " .", "name."}));
    EXPECT_EQ(winsim::directoryEntries("C:\\Tree\\ ."), std::vector<std::string>{"inner.txt"});
}

TEST(DirectoryTree, APathThatIsNotADirectoryIsLeftAlone) {
    winsim::createFile("C:\\Data\\server.dll", FILE_ATTRIBUTE_READONLY);
    winsim::createDirectory("C:\\Data\\Empty");

    EXPECT_EQ(RemoveDirectoryTree("C:\\Data\\server.dll"), 0);
    EXPECT_EQ(winsim::fileAttributes("C:\\Data\\server.dll"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(RemoveDirectoryTree("C:\\Data\\Absent"), 0);
    EXPECT_EQ(RemoveDirectoryTree("C:\\Data\\Empty"), 1);
    EXPECT_EQ(winsim::directoryEntries("C:\\Data"), std::vector<std::string>{"server.dll"});
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

}  // namespace
