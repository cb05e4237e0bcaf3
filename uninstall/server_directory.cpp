// The directory of the property-sheet shell extension's server, found through its registration.
#include <windows.h>
#include <string.h>

#include "uninstall.h"

namespace {

const char kServerKey[] = "CLSID\\{51550900-DCAC-11d4-AA0F-0080C87C465D}\\InProcServer32";
// Shorter registered paths are not used.
const int kShortestServerPath = 7;

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Cuts the path at its last separator, leaving the directory. The first character is never
// taken as the separator; a path without another one stays whole.
void CutAtLastSeparator(char* path) {
    for (int i = lstrlenA(path) - 1; i >= 1; --i) {
        if (isSeparator(path[i])) {
            path[i] = '\0';
            return;
        }
    }
}

}  // namespace

// A component made of dots and spaces alone names the directory itself, its parent, or (the
// platform dropping trailing dots and spaces) nothing at all: any of them could lead back to the
// root, so such a path is refused whole. So is a component that merely ends in a dot or a space:
// the platform trims it, so "C:\WINNT." reaches the Windows directory under another spelling,
// and the same name can reach different entries as the last component and inside a path.
int IsDirectoryBelowDriveRoot(const char* path) {
    char drive = path[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || path[1] != ':' || !isSeparator(path[2])) return 0;
    int components = 0;
    const char* part = path + 3;
    while (*part != '\0') {
        size_t length = strcspn(part, "\\/");
        if (length > 0) {
            if (part[length - 1] == '.' || part[length - 1] == ' ') return 0;
            ++components;
        }
        part += part[length] == '\0' ? length : length + 1;
    }
    return components > 0 ? 1 : 0;
}

// The path in a form that compares as the platform compares paths: "/" taken as "\", runs of
// separators as one, no trailing separator, letters in upper case. False when it doesn't fit.
static bool ComparablePath(const char* path, char* out) {
    int length = 0;
    for (const char* c = path; *c != '\0'; ++c) {
        char ch = isSeparator(*c) ? '\\' : *c;
        if (ch == '\\' && length > 0 && out[length - 1] == '\\') continue;
        if (ch >= 'a' && ch <= 'z') ch = (char)(ch - 'a' + 'A');
        if (length + 1 >= MAX_PATH) return false;
        out[length++] = ch;
    }
    while (length > 0 && out[length - 1] == '\\')
        --length;
    out[length] = '\0';
    return true;
}

// True when `directory` is `systemPath` or one of the directories above it.
static bool HoldsSystemPath(const char* directory, const char* systemPath) {
    char system[MAX_PATH];
    if (!ComparablePath(systemPath, system)) return false;
    size_t length = strlen(directory);
    return strncmp(system, directory, length) == 0 &&
           (system[length] == '\0' || system[length] == '\\');
}

// A server registered directly in the Windows or the system directory would take that whole
// directory with it; those, and every directory above them, are never removed.
int IsSystemDirectoryOrAbove(const char* path) {
    char directory[MAX_PATH];
    if (!ComparablePath(path, directory)) return 1;
    char systemPath[MAX_PATH];
    UINT length = GetWindowsDirectoryA(systemPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || HoldsSystemPath(directory, systemPath)) return 1;
    length = GetSystemDirectoryA(systemPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || HoldsSystemPath(directory, systemPath)) return 1;
    return 0;
}

// Whether a directory above the last component of `path` (a path below a drive's root, shorter
// than MAX_PATH) is a junction or a mount point. Through one, any directory, the Windows and the
// system directory among them, can be named in a way that no comparison of the text sees.
static bool LiesBelowALink(const char* path) {
    char prefix[MAX_PATH];
    size_t length = strlen(path);
    if (length >= MAX_PATH) return true;
    memcpy(prefix, path, length + 1);
    for (int i = 3; prefix[i] != '\0'; ++i) {
        if (!isSeparator(path[i]) || isSeparator(path[i - 1])) continue;
        prefix[i] = '\0';
        DWORD attributes = GetFileAttributesA(prefix);
        prefix[i] = path[i];
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return true;
        }
    }
    return false;
}

// A failed read leaves the buffer zeroed, so only one more attempt is made and its result
// needs no test. The directory itself may be a link: RemoveDirectoryTree then removes the link
// alone.
void RemoveServerDirectory(void) {
    char serverPath[MAX_PATH];
    if (!ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, "", serverPath, MAX_PATH)) {
        ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, "", serverPath, MAX_PATH);
    }
    if (lstrlenA(serverPath) < kShortestServerPath) return;
    CutAtLastSeparator(serverPath);
    if (IsDirectoryBelowDriveRoot(serverPath) && !IsSystemDirectoryOrAbove(serverPath) &&
        !LiesBelowALink(serverPath)) {
        RemoveDirectoryTree(serverPath);
    }
}
