// winsim control API: the simulated disk.
//
// Drives hold directories and files; names compare without regard to letter case and keep the
// case they were created with. A directory junction is a directory entry (attributes directory
// and reparse point) that stands for another directory: paths through it and searches of it
// reach the target's entries, while RemoveDirectoryA on it removes only the link.
//
// Paths given here are absolute ("C:\dir\name"), and unlike the API calls they may be of any
// length, so that a test can build what the platform's 259-character limit keeps out of reach
// of the ANSI calls. Their names are taken exactly as given, while the API trims them as the
// platform does: a component ending in one period loses it, and the last component loses its
// trailing periods and spaces ("C:\dir." reaches "C:\dir"). A name has at most 255 characters,
// as on the platform's file systems. Missing parent directories are created. A bad path aborts
// the test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// Puts the disk back as the machine starts it: drive C: holding the Windows and system
// directories of the current family, nothing else. Searches still open keep listing what they
// had. Cheap enough to run before every iteration of a fuzz target.
WINSIM_API void resetDisk();

WINSIM_API void createDirectory(const std::string& path, DWORD attributes = 0);
// Creates the file, or sets the attributes of one that exists.
WINSIM_API void createFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
// A junction at `path` that stands for the directory `target` (which need not exist yet).
WINSIM_API void createJunction(const std::string& path, const std::string& target);
// A file in use elsewhere: DeleteFileA fails with ERROR_SHARING_VIOLATION.
WINSIM_API void setFileInUse(const std::string& path, bool inUse = true);

// Whether the entry exists (a junction at the end of the path is not followed).
WINSIM_API bool pathExists(const std::string& path);
// The attributes GetFileAttributesA would report, or INVALID_FILE_ATTRIBUTES.
WINSIM_API DWORD fileAttributes(const std::string& path);
// The names in a directory (through a junction), in the order a search returns them, without
// "." and "..".
WINSIM_API std::vector<std::string> directoryEntries(const std::string& path);

}  // namespace winsim
