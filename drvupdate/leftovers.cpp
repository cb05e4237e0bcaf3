// Deletion of the setup's leftover files after a successful driver update.
#include <windows.h>
#include <string.h>

#include "drvupdate.h"

namespace {

// Every "*.001" file beside the program file. Nothing is deleted when the program's path can't
// be obtained whole or holds no backslash, and an entry whose path would not fit is passed by.
void DeleteProgramLeftovers(void) {
    char programDirectory[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, programDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char* lastBackslash = strrchr(programDirectory, '\\');
    if (lastBackslash == NULL) return;
    *lastBackslash = '\0';

    char pattern[MAX_PATH];
    if (!ComposePath(pattern, programDirectory, "\\*.001", "")) return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) continue;
        char leftover[MAX_PATH];
        if (ComposePath(leftover, programDirectory, "\\", entry.cFileName)) DeleteFileA(leftover);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

// "USB_Kbd\tamboro.002" in the system directory.
void DeleteSystemLeftover(void) {
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char leftover[MAX_PATH];
    if (ComposePath(leftover, systemDirectory, "\\USB_Kbd\\tamboro.002", "")) {
        DeleteFileA(leftover);
    }
}

}  // namespace

void DeleteLeftovers(void) {
    DeleteProgramLeftovers();
    DeleteSystemLeftover();
}
