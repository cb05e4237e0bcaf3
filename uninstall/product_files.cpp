// The INF copies and the product's directories, all below the Windows directory.
#include <windows.h>

#include "uninstall.h"

namespace {

// Deleted by name, whatever package they belong to.
const char* const kInfFiles[] = {
    "\\INF\\Oem0.inf",
    "\\INF\\Oem0.pnf",
    "\\INF\\Internet\\TessalinewinME.inf",
    "\\INF\\Other\\TessalinewinME.inf",
    "\\INF\\Other\\Tessalinewin98.inf",
    "\\INF\\Other\\Tessalineusbkbhid.inf",
    "\\INF\\Other\\Tessalineusbkbhub.inf",
    "\\INF\\Internet\\Tessalineusbkbhid.inf",
    "\\INF\\Internet\\Tessalineusbkbhub.inf",
};

// Both families' directories, whatever the system.
const char* const kProductDirectories[] = {
    "\\System\\USB_KBD",
    "\\System32\\USB_KBD",
};

// The Windows directory followed by `suffix`. Returns 0 when the directory can't be obtained
// whole or the path would not fit: an empty directory would leave a path below the root of the
// current drive.
int WindowsPath(char* buffer, const char* suffix) {
    buffer[0] = '\0';
    UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;
    return AppendToPath(buffer, suffix);
}

}  // namespace

void DeleteInfFiles(void) {
    char path[MAX_PATH];
    for (const char* suffix : kInfFiles) {
        if (WindowsPath(path, suffix)) DeleteFileA(path);
    }
}

void RemoveProductDirectories(void) {
    char path[MAX_PATH];
    for (const char* suffix : kProductDirectories) {
        if (WindowsPath(path, suffix)) RemoveDirectoryTree(path);
    }
}
