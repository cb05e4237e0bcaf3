// Removal of a directory tree.
#include <windows.h>
#include <string.h>

#include "uninstall.h"

namespace {

const DWORD kLinkAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

bool isLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & kLinkAttributes) == kLinkAttributes;
}

// Whether a path can't name the entry: the platform trims a trailing dot or space from a
// path's components, so "dir\name." reaches "dir\name", and " ." in the middle of a path reaches
// " ", which may be a junction. Such names only come from native paths.
bool isTrimmedName(const char* name) {
    size_t length = strlen(name);
    return length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ');
}

// One entry of a directory being removed. An entry whose path would not fit stays, and so does
// one whose name no path reaches.
void RemoveEntry(const char* directory, const WIN32_FIND_DATAA& entry) {
    bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // ".", ".." and every sub-directory whose name begins with a dot.
    if (isDirectory && entry.cFileName[0] == '.') return;
    if (isTrimmedName(entry.cFileName)) return;
    char childPath[MAX_PATH];
    if (!ComposeChildPath(childPath, directory, entry.cFileName)) return;
    if (isLink(entry.dwFileAttributes)) {
        RemoveDirectoryA(childPath);
    } else if (isDirectory) {
        RemoveDirectoryTree(childPath);
    } else {
        SetFileAttributesA(childPath, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(childPath);
    }
}

}  // namespace

// Entries are deleted while the search over their directory is still open. A path that is a
// junction or a mount point loses the link only; a path that names a file, or nothing, is left
// alone.
int RemoveDirectoryTree(const char* path) {
    if (isLink(GetFileAttributesA(path))) return RemoveDirectoryA(path) ? 1 : 0;
    char pattern[MAX_PATH];
    if (!ComposeChildPath(pattern, path, "*.*")) return 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        RemoveEntry(path, entry);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryA(path) ? 1 : 0;
}
