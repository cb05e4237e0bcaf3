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
// root, so such a path is refused whole.
int IsDirectoryBelowDriveRoot(const char* path) {
    char drive = path[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || path[1] != ':' || !isSeparator(path[2])) return 0;
    int components = 0;
    const char* part = path + 3;
    while (*part != '\0') {
        size_t length = strcspn(part, "\\/");
        if (length > 0) {
            if (strspn(part, ". ") >= length) return 0;
            ++components;
        }
        part += part[length] == '\0' ? length : length + 1;
    }
    return components > 0 ? 1 : 0;
}

// A failed read leaves the buffer zeroed, so only one more attempt is made and its result
// needs no test.
void RemoveServerDirectory(void) {
    char serverPath[MAX_PATH];
    if (!ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, "", serverPath, MAX_PATH)) {
        ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, "", serverPath, MAX_PATH);
    }
    if (lstrlenA(serverPath) < kShortestServerPath) return;
    CutAtLastSeparator(serverPath);
    if (IsDirectoryBelowDriveRoot(serverPath)) RemoveDirectoryTree(serverPath);
}
