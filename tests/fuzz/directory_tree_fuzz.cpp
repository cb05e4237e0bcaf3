// RemoveDirectoryTree over trees that the input builds on the simulated disk: files and
// directories with names of every length (past the path limit too), names of dots and spaces,
// read-only, hidden and system attributes, files in use, and junctions that lead to a canary
// tree beside the target, to the target's parent, the drive's root, the target itself or
// nowhere. The target may sit deep enough that its entries pass the path limit, and may itself
// be a junction.
//
// Checked: the call returns; nothing outside the target appears, goes or changes attributes
// (the canary's entries carry attributes, so a junction entered and cleared shows); the result
// is 1 exactly when the target is gone; and whatever stays inside the target had a reason to:
// a file in use, a directory named with a leading dot, a path too long for the buffers, a name
// that the API trims, or something of its own that stays.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "uninstall.h"
#include "winsim/files.h"

namespace {

const DWORD kAttributeChoices[] = {
    0,
    FILE_ATTRIBUTE_READONLY,
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
        FILE_ATTRIBUTE_ARCHIVE,
};
const std::string kCanary = "C:\\Canary";

// A name the disk accepts: no separators, wildcards or control characters, not "." or "..".
// Its length runs from 1 to the platform's 255, with dots and spaces common; paths past the
// limit come from depth.
std::string makeName(fuzz::Input& input) {
    static const char kAlphabet[] = "aB.. ~x9_-";
    size_t length;
    switch (input.below(4)) {
        case 0:
            length = 1 + input.below(3);
            break;
        case 1:
            length = 1 + input.below(16);
            break;
        case 2:
            length = 200 + input.below(56);
            break;
        default:
            length = 1 + input.below(255);
            break;
    }
    std::string name;
    for (size_t i = 0; i < length; ++i) {
        uint8_t b = input.byte();
        name += b >= 0x80 ? static_cast<char>(b) : kAlphabet[b % (sizeof kAlphabet - 1)];
    }
    if (name == "." || name == "..") name += "x";
    return name;
}

// A directory path of about `length` characters, in components of 50 or fewer.
std::string directoryOfLength(size_t length) {
    std::string path = "C:\\Deep";
    while (path.size() + 1 < length) {
        size_t part = std::min<size_t>(50, length - path.size() - 1);
        path += "\\" + std::string(part, 'd');
    }
    return path;
}

// The canary: everything in it carries attributes that the remover would clear.
void makeCanary(const std::string& parent, const std::string& name) {
    const DWORD marked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    winsim::createDirectory(kCanary, FILE_ATTRIBUTE_READONLY);
    winsim::createFile(kCanary + "\\keep.txt", marked);
    winsim::createDirectory(kCanary + "\\Inner", FILE_ATTRIBUTE_SYSTEM);
    winsim::createFile(kCanary + "\\Inner\\deep.bin", marked | FILE_ATTRIBUTE_READONLY);
    // Neighbours of the target whose names begin like it.
    winsim::createFile(parent + "\\" + (name.size() < 255 ? name + "x" : name.substr(0, 254)),
                       marked);
    winsim::createFile(parent + "\\beside.txt", marked);
}

struct Tree {
    std::string target;
    std::vector<std::string> directories;  // real directories inside the target
    std::set<std::string> inUse;
};

// Where a junction inside the target leads.
std::string junctionTarget(fuzz::Input& input, const Tree& tree, const std::string& parent) {
    switch (input.below(7)) {
        case 0:
            return kCanary;
        case 1:
            return kCanary + "\\Inner";
        case 2:
            return parent;
        case 3:
            return "C:\\";
        case 4:
            return tree.target;
        case 5:
            return "C:\\Missing\\Nowhere";
        default:
            return "C:\\WINNT";
    }
}

void buildTree(fuzz::Input& input, Tree* tree, const std::string& parent) {
    for (int count = 0; count < 48 && !input.empty(); ++count) {
        int kind = static_cast<int>(input.below(4));
        const std::string& directory = tree->directories[input.below(tree->directories.size())];
        std::string path = directory + "\\" + makeName(input);
        if (winsim::pathExists(path)) continue;
        DWORD attributes = kAttributeChoices[input.below(4)];
        if (kind == 0) {
            winsim::createFile(path, attributes | FILE_ATTRIBUTE_ARCHIVE);
            if (input.below(4) == 0) {
                winsim::setFileInUse(path);
                tree->inUse.insert(path);
            }
        } else if (kind == 1 || kind == 2) {
            winsim::createDirectory(path, attributes);
            tree->directories.push_back(path);
        } else {
            winsim::createJunction(path, junctionTarget(input, *tree, parent));
        }
    }
}

bool endsTrimmed(const std::string& name) {
    return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

// Why an entry inside the target may still be there after the removal.
bool mayStay(const std::string& path, DWORD attributes, const Tree& tree,
             const std::map<std::string, DWORD>& after) {
    if (tree.inUse.count(path) != 0) return true;
    // The remover composes each path in MAX_PATH bytes, and a directory's listing needs room
    // for "\*.*" after it.
    if (path.size() >= MAX_PATH) return true;
    bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (directory && path.size() + 4 >= MAX_PATH) return true;
    if (path.rfind('\\') + 4 >= MAX_PATH) return true;  // its directory can't be listed
    // Names that the API trims name another entry, and nothing below them is reached; nor is
    // anything below a directory named with a leading dot, which stays whole.
    for (size_t at = tree.target.size(); at < path.size();) {
        size_t end = path.find('\\', at + 1);
        if (end == std::string::npos) end = path.size();
        std::string name = path.substr(at + 1, end - at - 1);
        if (endsTrimmed(name) || ((directory || end < path.size()) && name[0] == '.')) {
            return true;
        }
        at = end;
    }
    // A directory that still holds something.
    auto next = after.upper_bound(path + "\\");
    return directory && !fuzz::isLink(attributes) && next != after.end() &&
           fuzz::isWithin(next->first, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    winsim::resetDisk();

    // The target's parent: near the root, or deep enough that the tree passes the path limit.
    size_t depth = input.below(4) == 0 ? 150 + input.below(110) : 0;
    std::string parent = depth == 0 ? "C:\\Product" : directoryOfLength(depth);
    // Callers name the target as the API reads it: not with a trailing dot or space.
    std::string name = input.flag() ? "App" : makeName(input);
    if (endsTrimmed(name)) name.back() = 'x';
    Tree tree;
    tree.target = parent + "\\" + name;
    makeCanary(parent, name);
    if (input.below(8) == 0) {
        winsim::createJunction(tree.target, kCanary);
    } else {
        winsim::createDirectory(tree.target, kAttributeChoices[input.below(4)]);
        tree.directories.push_back(tree.target);
        buildTree(input, &tree, parent);
    }

    std::map<std::string, DWORD> before = fuzz::snapshotDisk();
    int removed = RemoveDirectoryTree(tree.target.c_str());
    std::map<std::string, DWORD> after = fuzz::snapshotDisk();

    fuzz::checkUnchangedOutside(before, after, tree.target);
    fuzz::check(removed == (after.count(tree.target) == 0 ? 1 : 0),
                "the result does not say whether the target went");
    for (const auto& [path, attributes] : after) {
        if (fuzz::isWithin(path, tree.target) && path != tree.target) {
            fuzz::check(mayStay(path, attributes, tree, after), "left without a reason: " + path);
        }
    }
    // Given back now, so that the run frees what it allocated and libFuzzer sees no leak.
    winsim::resetDisk();
    return 0;
}
