// winsim internals of the platform family, the simulated disk and the registry.
#pragma once

#include <fileapi.h>

#include "core.h"
#include "winsim/system.h"

namespace winsim::detail {

// ---- the system ----------------------------------------------------------------------------

Family currentFamily();
// The current directory, absolute ("C:\dir" or "C:\").
std::string currentDirectoryPath();
// The directories that the disk starts with.
std::string windowsDirectoryPath();
std::string systemDirectoryPath();

// ---- the disk ------------------------------------------------------------------------------

struct FsNode {
    std::string name;  // as created; "C:" for a drive's root
    bool directory = false;
    bool root = false;
    DWORD attributes = 0;        // read-only, hidden, system, archive, temporary
    bool inUse = false;          // files only
    std::string junctionTarget;  // set for a directory junction: the absolute target path
    // By upper-cased name, which is also the order in which searches return entries.
    std::map<std::string, std::shared_ptr<FsNode>> children;
};

// The attributes the platform reports for an entry.
DWORD reportedAttributes(const FsNode& node);

// A path taken apart: the directory that holds its last component (junctions on the way
// followed) and that component's entry, if any.
struct ResolvedPath {
    std::shared_ptr<FsNode> parent;  // null for a drive's root
    std::string name;                // the last component; empty for a drive's root
    std::shared_ptr<FsNode> node;    // null when the entry does not exist
    std::string fullPath;            // the path made absolute
};

// A path given to an API call: at most MAX_PATH - 1 characters as given and as made absolute,
// relative paths start at the current directory, "/" counts as "\", "." and ".." are applied.
// On failure returns false with the platform's error in `error`.
bool resolveApiPath(const char* path, ResolvedPath* resolved, DWORD* error);
// The directory that an entry lists: itself, or a junction's target. Null with `error` set
// when a junction leads nowhere.
std::shared_ptr<FsNode> listedDirectory(const std::shared_ptr<FsNode>& node, DWORD* error);
// Creates a directory and its missing parents (any length); used for the family's directories.
void ensureDirectory(const std::string& path);
// Drive C: with the Windows and system directories only, as the disk starts.
void resetDisk();

// Whether `name` matches a search pattern by the platform's wildcard rules.
bool matchesPattern(const std::string& pattern, const std::string& name);

int countFileSearches();

// ---- the registry --------------------------------------------------------------------------

int countOpenKeys();

}  // namespace winsim::detail
