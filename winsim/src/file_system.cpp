// The simulated disk: drives, directories, files and directory junctions; path rules; the
// file and directory calls (CreateDirectoryA, RemoveDirectoryA, DeleteFileA, Get/Set
// FileAttributesA).
//
// Paths given to the API are limited as the ANSI calls on the platform are: more than
// MAX_PATH - 1 characters, as given or once made absolute, fail with ERROR_FILENAME_EXCED_RANGE
// (CreateDirectoryA allows MAX_PATH - 12). Junctions are followed wherever a path goes through
// them; a chain of more than 31 ends with ERROR_CANT_RESOLVE_FILENAME. A name has at most 255
// characters. The API trims components as the platform does (see trimComponent); the control
// API takes names exactly as given.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system_internal.h"
#include "winsim/files.h"

namespace winsim::detail {

namespace {

const int kMaxLinks = 31;
// The longest name a directory entry can have on the platform's file systems.
const size_t kMaxName = 255;
const size_t kMaxDirectoryPath = MAX_PATH - 12;
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_TEMPORARY;

std::shared_ptr<FsNode> newNode(const std::string& name, bool directory) {
    auto node = std::make_shared<FsNode>();
    node->name = name;
    node->directory = directory;
    return node;
}

struct Disk {
    std::map<char, std::shared_ptr<FsNode>> drives;
};

// Drive C: holds the Windows and system directories from the start.
Disk& disk() {
    static Disk* instance = nullptr;
    if (instance == nullptr) {
        instance = new Disk;
        ensureDirectory(windowsDirectoryPath());
        ensureDirectory(systemDirectoryPath());
    }
    return *instance;
}

std::shared_ptr<FsNode> driveRoot(char drive, bool create) {
    auto it = disk().drives.find(drive);
    if (it != disk().drives.end()) return it->second;
    if (!create) return nullptr;
    auto root = newNode(std::string(1, drive) + ":", true);
    root->root = true;
    disk().drives[drive] = root;
    return root;
}

std::shared_ptr<FsNode> child(const FsNode& directory, const std::string& name) {
    auto it = directory.children.find(toUpper(name));
    return it == directory.children.end() ? nullptr : it->second;
}

// An absolute path: drive letter and components, "." and ".." applied.
struct ParsedPath {
    char drive = 0;
    std::vector<std::string> parts;
    std::string text() const {
        std::string out = std::string(1, drive) + ":";
        for (const auto& part : parts)
            out += "\\" + part;
        return parts.empty() ? out + "\\" : out;
    }
};

bool isDriveSpec(const std::string& text) {
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

// What the platform trims from a component of a path given to an API call: a component that
// ends in one period loses it, and the last component (when the path does not end in a
// separator) loses every trailing period and space. A component of periods only is left alone,
// as are the paths of the control API, which name entries exactly as they are stored.
void trimComponent(std::string* part, bool last) {
    if (part->find_first_not_of('.') == std::string::npos) return;
    size_t size = part->size();
    if (size >= 2 && (*part)[size - 1] == '.' && (*part)[size - 2] != '.') part->pop_back();
    if (last) {
        size_t kept = part->find_last_not_of(". ");
        part->resize(kept == std::string::npos ? 0 : kept + 1);
    }
}

// Makes `path` absolute against the current directory, applying the API's trimming when
// `apiPath` is set. Returns 0 or the platform's error.
DWORD parsePath(const std::string& path, ParsedPath* parsed, bool apiPath = false) {
    std::string text = path;
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    if (text.size() >= 2 && text[0] == '\\' && text[1] == '\\') return ERROR_BAD_PATHNAME;
    const std::string current = currentDirectoryPath();
    std::string rest;
    if (isDriveSpec(text)) {
        parsed->drive = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        rest = text.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            bool here = std::toupper(static_cast<unsigned char>(current[0])) == parsed->drive;
            rest = (here ? current.substr(2) : std::string()) + "\\" + rest;
        }
    } else {
        parsed->drive = static_cast<char>(std::toupper(static_cast<unsigned char>(current[0])));
        rest = !text.empty() && text[0] == '\\' ? text : current.substr(2) + "\\" + text;
    }
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (apiPath) trimComponent(&part, end == rest.size());
        if (part == "..") {
            if (!parsed->parts.empty()) parsed->parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parsed->parts.push_back(part);
        }
        start = end + 1;
    }
    return 0;
}

bool validName(const std::string& name) {
    for (unsigned char c : name) {
        if (c < 32 || strchr("<>:\"|*?", c) != nullptr) return false;
    }
    return true;
}

std::shared_ptr<FsNode> followLinks(std::shared_ptr<FsNode> node, int& depth, DWORD* error);

// The directory reached through parts [0, count) from the root, junctions followed.
std::shared_ptr<FsNode> walk(std::shared_ptr<FsNode> node, const std::vector<std::string>& parts,
                             size_t count, int& depth, DWORD* error) {
    for (size_t i = 0; i < count; ++i) {
        std::shared_ptr<FsNode> next = child(*node, parts[i]);
        if (!next || !next->directory) {
            *error = ERROR_PATH_NOT_FOUND;
            return nullptr;
        }
        node = followLinks(next, depth, error);
        if (!node) return nullptr;
    }
    return node;
}

std::shared_ptr<FsNode> followLinks(std::shared_ptr<FsNode> node, int& depth, DWORD* error) {
    while (!node->junctionTarget.empty()) {
        if (++depth > kMaxLinks) {
            *error = ERROR_CANT_RESOLVE_FILENAME;
            return nullptr;
        }
        ParsedPath target;
        parsePath(node->junctionTarget, &target);
        std::shared_ptr<FsNode> root = driveRoot(target.drive, false);
        if (!root) {
            *error = ERROR_PATH_NOT_FOUND;
            return nullptr;
        }
        node = walk(root, target.parts, target.parts.size(), depth, error);
        if (!node) return nullptr;
    }
    return node;
}

bool resolveParsed(const ParsedPath& parsed, ResolvedPath* resolved, DWORD* error) {
    std::shared_ptr<FsNode> root = driveRoot(parsed.drive, false);
    if (!root) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    *resolved = ResolvedPath{};
    resolved->fullPath = parsed.text();
    if (parsed.parts.empty()) {
        resolved->node = root;
        return true;
    }
    int depth = 0;
    resolved->parent = walk(root, parsed.parts, parsed.parts.size() - 1, depth, error);
    if (!resolved->parent) return false;
    resolved->name = parsed.parts.back();
    resolved->node = child(*resolved->parent, resolved->name);
    return true;
}

// ---- control API paths: absolute, any length; a bad one ends the test --------------------

[[noreturn]] void badPath(const char* call, const std::string& path, const char* why) {
    fprintf(stderr, "winsim: %s(\"%s\"): %s\n", call, path.c_str(), why);
    abort();
}

ParsedPath controlPath(const std::string& path, const char* call) {
    if (!isDriveSpec(path) || path.size() < 3 || path[2] != '\\') {
        badPath(call, path, "not an absolute path");
    }
    ParsedPath parsed;
    parsePath(path, &parsed);
    for (const auto& part : parsed.parts) {
        if (!validName(part)) badPath(call, path, "invalid name");
        if (part.size() > kMaxName) badPath(call, path, "a name longer than 255 characters");
    }
    return parsed;
}

// The directory of parts [0, count), created where missing.
std::shared_ptr<FsNode> makeDirectories(const ParsedPath& parsed, size_t count, const char* call,
                                        const std::string& path) {
    std::shared_ptr<FsNode> node = driveRoot(parsed.drive, true);
    for (size_t i = 0; i < count; ++i) {
        std::shared_ptr<FsNode> next = child(*node, parsed.parts[i]);
        if (!next) {
            next = newNode(parsed.parts[i], true);
            node->children[toUpper(parsed.parts[i])] = next;
        }
        if (!next->directory) badPath(call, path, "a file stands in the way");
        int depth = 0;
        DWORD error = 0;
        node = followLinks(next, depth, &error);
        if (!node) badPath(call, path, "a junction on the way leads nowhere");
    }
    return node;
}

// The parent directory for a new entry, and the entry already there if any.
std::shared_ptr<FsNode> placeFor(const std::string& path, const char* call, std::string* name,
                                 std::shared_ptr<FsNode>* existing) {
    ParsedPath parsed = controlPath(path, call);
    if (parsed.parts.empty()) badPath(call, path, "a drive's root");
    std::shared_ptr<FsNode> parent = makeDirectories(parsed, parsed.parts.size() - 1, call, path);
    *name = parsed.parts.back();
    *existing = child(*parent, *name);
    return parent;
}

// The existing entry of a control path, or null.
std::shared_ptr<FsNode> controlEntry(const std::string& path, const char* call) {
    ResolvedPath resolved;
    DWORD error = 0;
    if (!resolveParsed(controlPath(path, call), &resolved, &error)) return nullptr;
    return resolved.node;
}

bool failWith(DWORD error) {
    setError(error);
    return false;
}

// resolveApiPath for an API call: the error goes to the caller's last error.
bool resolveForCall(LPCSTR path, ResolvedPath* resolved) {
    DWORD error = 0;
    return resolveApiPath(path, resolved, &error) || failWith(error);
}

}  // namespace

DWORD reportedAttributes(const FsNode& node) {
    DWORD attributes = node.attributes;
    if (node.directory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!node.junctionTarget.empty()) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

bool resolveApiPath(const char* path, ResolvedPath* resolved, DWORD* error) {
    if (path == nullptr) {
        *error = ERROR_INVALID_PARAMETER;
        return false;
    }
    std::string text(path);
    if (text.empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    ParsedPath parsed;
    DWORD parseError = parsePath(text, &parsed, true);
    if (parseError != 0) {
        *error = parseError;
        return false;
    }
    if (text.size() >= MAX_PATH || parsed.text().size() >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    for (const auto& part : parsed.parts) {
        if (!validName(part)) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
        if (part.size() > kMaxName) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return false;
        }
    }
    return resolveParsed(parsed, resolved, error);
}

std::shared_ptr<FsNode> listedDirectory(const std::shared_ptr<FsNode>& node, DWORD* error) {
    int depth = 0;
    return followLinks(node, depth, error);
}

void ensureDirectory(const std::string& path) {
    ParsedPath parsed = controlPath(path, "ensureDirectory");
    makeDirectories(parsed, parsed.parts.size(), "ensureDirectory", path);
}

void resetDisk() {
    disk().drives.clear();
    ensureDirectory(windowsDirectoryPath());
    ensureDirectory(systemDirectoryPath());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    MachineLock lock;
    ResolvedPath resolved;
    if (!resolveForCall(lpPathName, &resolved)) return FALSE;
    if (resolved.fullPath.size() > kMaxDirectoryPath) return failWith(ERROR_FILENAME_EXCED_RANGE);
    if (resolved.node) return failWith(ERROR_ALREADY_EXISTS);
    resolved.parent->children[toUpper(resolved.name)] = newNode(resolved.name, true);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    MachineLock lock;
    ResolvedPath resolved;
    if (!resolveForCall(lpPathName, &resolved)) return FALSE;
    const std::shared_ptr<FsNode>& node = resolved.node;
    if (!node) return failWith(ERROR_FILE_NOT_FOUND);
    if (!node->directory) return failWith(ERROR_DIRECTORY);
    if (node->root || (node->attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return failWith(ERROR_ACCESS_DENIED);
    }
    // A junction goes by itself, whatever its target holds.
    if (node->junctionTarget.empty() && !node->children.empty()) {
        return failWith(ERROR_DIR_NOT_EMPTY);
    }
    resolved.parent->children.erase(toUpper(resolved.name));
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    MachineLock lock;
    ResolvedPath resolved;
    if (!resolveForCall(lpFileName, &resolved)) return FALSE;
    const std::shared_ptr<FsNode>& node = resolved.node;
    if (!node) return failWith(ERROR_FILE_NOT_FOUND);
    if (node->directory || (node->attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return failWith(ERROR_ACCESS_DENIED);
    }
    if (node->inUse) return failWith(ERROR_SHARING_VIOLATION);
    resolved.parent->children.erase(toUpper(resolved.name));
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    MachineLock lock;
    ResolvedPath resolved;
    if (!resolveForCall(lpFileName, &resolved)) return INVALID_FILE_ATTRIBUTES;
    if (!resolved.node) {
        setError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return reportedAttributes(*resolved.node);
}

// The directory and reparse-point bits are the entry's nature and stay; FILE_ATTRIBUTE_NORMAL
// (or 0) clears the others.
BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    MachineLock lock;
    ResolvedPath resolved;
    if (!resolveForCall(lpFileName, &resolved)) return FALSE;
    if (!resolved.node) return failWith(ERROR_FILE_NOT_FOUND);
    resolved.node->attributes = dwFileAttributes & kSettableAttributes;
    return TRUE;
}

}  // extern "C"

namespace winsim {

void resetDisk() {
    detail::MachineLock lock;
    detail::resetDisk();
}

void createDirectory(const std::string& path, DWORD attributes) {
    detail::MachineLock lock;
    ParsedPath parsed = controlPath(path, "createDirectory");
    auto directory = makeDirectories(parsed, parsed.parts.size(), "createDirectory", path);
    directory->attributes = attributes & kSettableAttributes;
}

void createFile(const std::string& path, DWORD attributes) {
    detail::MachineLock lock;
    std::string name;
    std::shared_ptr<FsNode> existing;
    std::shared_ptr<FsNode> parent = placeFor(path, "createFile", &name, &existing);
    if (existing && existing->directory) badPath("createFile", path, "a directory is there");
    if (!existing) {
        existing = newNode(name, false);
        parent->children[toUpper(name)] = existing;
    }
    existing->attributes = attributes & kSettableAttributes;
}

void createJunction(const std::string& path, const std::string& target) {
    detail::MachineLock lock;
    std::string targetText = controlPath(target, "createJunction").text();
    std::string name;
    std::shared_ptr<FsNode> existing;
    std::shared_ptr<FsNode> parent = placeFor(path, "createJunction", &name, &existing);
    if (existing) badPath("createJunction", path, "the name is taken");
    auto link = newNode(name, true);
    link->junctionTarget = targetText;
    parent->children[toUpper(name)] = link;
}

void setFileInUse(const std::string& path, bool inUse) {
    detail::MachineLock lock;
    std::shared_ptr<FsNode> node = controlEntry(path, "setFileInUse");
    if (!node || node->directory) badPath("setFileInUse", path, "no such file");
    node->inUse = inUse;
}

bool pathExists(const std::string& path) {
    detail::MachineLock lock;
    return controlEntry(path, "pathExists") != nullptr;
}

DWORD fileAttributes(const std::string& path) {
    detail::MachineLock lock;
    std::shared_ptr<FsNode> node = controlEntry(path, "fileAttributes");
    return node ? reportedAttributes(*node) : INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> directoryEntries(const std::string& path) {
    detail::MachineLock lock;
    std::shared_ptr<FsNode> node = controlEntry(path, "directoryEntries");
    DWORD error = 0;
    if (node && node->directory) node = listedDirectory(node, &error);
    if (!node || !node->directory) badPath("directoryEntries", path, "no such directory");
    std::vector<std::string> names;
    for (const auto& entry : node->children)
        names.push_back(entry.second->name);
    return names;
}

}  // namespace winsim
