// RemoveKeyTree, the repetition of RemoveKeyTreePass, over registry trees that the input
// builds, on either platform family: names of 1 to 255 characters, wide and deep levels, keys
// whose DACLs deny the user (or keep WRITE_DAC from it), keys the system keeps, a user who is
// or is not an administrator, and a subtree whose own path leaves little room below it.
//
// Checked: the repetition ends; nothing outside the subtree changes (keys, DACLs and values of
// all three roots, the same path under the other roots and neighbours with similar names
// included); every handle, access list block and identifier is given back; and every key left
// in the subtree had to stay: the system keeps it, something below it stays, its DACL (as the
// grant left it) does not let the user delete it, or it was out of reach, its path too long for
// the buffers or a key above it not open to enumeration.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "uninstall.h"
#include "winsim/machine.h"
#include "winsim/registry.h"
#include "winsim/security.h"
#include "winsim/system.h"

namespace {

const HKEY kRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT};
const char* const kSids[] = {winsim::kEveryone, winsim::kAdministrators, winsim::kUsers,
                             winsim::kLocalSystem};
const ACCESS_MASK kMasks[] = {
    KEY_ALL_ACCESS,    KEY_READ,           WRITE_DAC, DELETE,
    KEY_READ | DELETE, WRITE_DAC | DELETE, 0,         KEY_ENUMERATE_SUB_KEYS};

// A key name: 1 to 255 characters, anything but a separator.
std::string makeName(fuzz::Input& input) {
    size_t length = input.below(3) == 0 ? 200 + input.below(56) : 1 + input.below(12);
    std::string name;
    for (size_t i = 0; i < length; ++i) {
        uint8_t b = input.byte();
        name += b < 0x20 || b == '\\' ? static_cast<char>('a' + b % 26) : static_cast<char>(b);
    }
    return name;
}

struct Tree {
    std::string subKey;
    std::vector<std::string> keys;  // the subtree's keys, its root first
    std::set<std::string> kept;     // upper-cased paths of the keys the system keeps
    bool administrator = true;
    bool nt = true;
};

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

void addKey(Tree* tree, const std::string& path) {
    if (winsim::keyExists(HKEY_LOCAL_MACHINE, path)) return;
    winsim::createKey(HKEY_LOCAL_MACHINE, path);
    tree->keys.push_back(path);
}

void buildTree(fuzz::Input& input, Tree* tree) {
    for (int step = 0; step < 40 && !input.empty(); ++step) {
        const std::string key = tree->keys[input.below(tree->keys.size())];
        switch (input.below(6)) {
            case 0:
            case 1:
                addKey(tree, key + "\\" + makeName(input));
                break;
            case 2:  // wide
                for (size_t i = 0, count = 2 + input.below(15); i < count; ++i) {
                    addKey(tree, key + "\\W" + std::to_string(input.byte()));
                }
                break;
            case 3: {  // deep
                std::string path = key;
                for (size_t i = 0, count = 2 + input.below(19); i < count; ++i) {
                    path += "\\D" + std::to_string(input.below(4));
                    addKey(tree, path);
                }
                break;
            }
            case 4: {
                std::vector<winsim::AccessEntry> entries;
                for (size_t i = 0, count = input.below(4); i < count; ++i) {
                    winsim::AccessEntry entry;
                    entry.sid = kSids[input.below(4)];
                    entry.mask = kMasks[input.below(8)];
                    entry.allowed = input.below(4) != 0;
                    entries.push_back(entry);
                }
                winsim::setKeyDacl(HKEY_LOCAL_MACHINE, key, entries);
                break;
            }
            default:
                winsim::setKeyKeptBySystem(HKEY_LOCAL_MACHINE, key);
                tree->kept.insert(upper(key));
                break;
        }
    }
}

// What a DACL grants the program's user: the entries for the user's groups, in order, an entry
// that denies taking away what no earlier one granted.
ACCESS_MASK userRights(const winsim::KeyDacl& dacl, bool administrator) {
    if (!dacl.present) return KEY_ALL_ACCESS;
    ACCESS_MASK granted = 0, denied = 0;
    for (const auto& entry : dacl.entries) {
        bool user = entry.sid == winsim::kEveryone || entry.sid == winsim::kUsers ||
                    entry.sid == "S-1-5-11" ||
                    (administrator && entry.sid == winsim::kAdministrators);
        if (!user || (entry.flags & INHERIT_ONLY_ACE) != 0) continue;
        if (entry.allowed) {
            granted |= entry.mask & ~denied;
        } else {
            denied |= entry.mask & ~granted;
        }
    }
    return granted;
}

// One key as a run may not change it outside the subtree.
struct KeyPicture {
    winsim::KeyDacl dacl;
    std::vector<std::string> values;
    bool operator==(const KeyPicture& other) const {
        return dacl.present == other.dacl.present && dacl.bytes == other.dacl.bytes &&
               values == other.values;
    }
};

// Every key below root\path but the subtree `skipped` of HKEY_LOCAL_MACHINE.
void pictureInto(HKEY root, const std::string& path, const std::string& skipped,
                 std::map<std::string, KeyPicture>* keys) {
    for (const auto& name : winsim::subkeyNames(root, path)) {
        std::string child = path.empty() ? name : path + "\\" + name;
        if (root == HKEY_LOCAL_MACHINE && fuzz::isWithin(child, skipped)) continue;
        (*keys)[std::to_string(reinterpret_cast<uintptr_t>(root)) + ":" + child] = {
            winsim::keyDacl(root, child), winsim::valueNames(root, child)};
        pictureInto(root, child, skipped, keys);
    }
}

// The registry outside the subtree.
std::map<std::string, KeyPicture> pictureOutside(const std::string& subKey) {
    std::map<std::string, KeyPicture> keys;
    for (HKEY root : kRoots)
        pictureInto(root, "", subKey, &keys);
    return keys;
}

// Keys beside the subtree: the same path under the other roots, and names that begin alike.
void makeNeighbours(const std::string& subKey) {
    const std::string parent = subKey.substr(0, subKey.rfind('\\'));
    for (const std::string& path :
         {subKey + "2", subKey.substr(0, subKey.size() - 1), parent + "\\Other\\Deeper"}) {
        winsim::setStringValue(HKEY_LOCAL_MACHINE, path, "Kept", "yes");
        winsim::setKeyAccess(HKEY_LOCAL_MACHINE, path, KEY_READ | DELETE);
    }
    winsim::setStringValue(HKEY_LOCAL_MACHINE, parent, "Beside", "yes");
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        winsim::setStringValue(root, subKey + "\\Child", "Kept", "yes");
    }
}

// Why a key of the subtree may still be there after the repetition.
bool mayStay(const std::string& path, const Tree& tree) {
    if (tree.kept.count(upper(path)) != 0) return true;
    if (!winsim::subkeyNames(HKEY_LOCAL_MACHINE, path).empty()) return true;
    if (path.size() >= MAX_PATH) return true;
    if (!tree.nt) return false;
    auto rights = [&](const std::string& key) {
        return userRights(winsim::keyDacl(HKEY_LOCAL_MACHINE, key), tree.administrator);
    };
    if ((rights(path) & DELETE) == 0) return true;
    // Out of reach below a key that could not be opened for enumeration.
    for (size_t at = path.rfind('\\'); at != std::string::npos && at >= tree.subKey.size();
         at = path.rfind('\\', at - 1)) {
        if ((rights(path.substr(0, at)) & KEY_ALL_ACCESS) != KEY_ALL_ACCESS) return true;
        if (at == 0) break;
    }
    return false;
}

void collectKeys(const std::string& path, std::vector<std::string>* keys) {
    keys->push_back(path);
    for (const auto& name : winsim::subkeyNames(HKEY_LOCAL_MACHINE, path))
        collectKeys(path + "\\" + name, keys);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    Tree tree;
    tree.nt = input.below(4) != 0;
    tree.administrator = input.below(4) != 0;
    winsim::setFamily(tree.nt ? winsim::Family::Nt : winsim::Family::Win98Me);
    winsim::setUserIsAdministrator(tree.administrator);
    winsim::resetRegistry();

    // The subtree's own path: short, or long enough that the keys below it pass the limit.
    std::string parent = "Software";
    if (input.below(3) == 0) parent += "\\" + std::string(1 + input.below(255), 'p');
    tree.subKey = parent + "\\Target";
    makeNeighbours(tree.subKey);
    addKey(&tree, tree.subKey);
    buildTree(input, &tree);

    std::map<std::string, KeyPicture> before = pictureOutside(tree.subKey);
    RemoveKeyTree(tree.subKey.c_str(), HKEY_LOCAL_MACHINE);
    std::map<std::string, KeyPicture> after = pictureOutside(tree.subKey);

    winsim::Counters counters = winsim::counters();
    fuzz::check(counters.registryKeys == 0 && counters.heapBlocks == 0 && counters.sids == 0,
                "a key handle, an access list or an identifier was not given back");
    for (const auto& [key, picture] : before) {
        auto it = after.find(key);
        fuzz::check(it != after.end(), "removed outside the subtree: " + key);
        fuzz::check(it->second == picture, "changed outside the subtree: " + key);
    }
    for (const auto& entry : after) {
        fuzz::check(before.count(entry.first) == 1, "created outside the subtree: " + entry.first);
    }
    if (winsim::keyExists(HKEY_LOCAL_MACHINE, tree.subKey)) {
        std::vector<std::string> left;
        collectKeys(tree.subKey, &left);
        for (const auto& key : left)
            fuzz::check(mayStay(key, tree), "left although it could go: " + key);
    }
    // Given back now, so that the run frees what it allocated and libFuzzer sees no leak.
    winsim::resetRegistry();
    return 0;
}
