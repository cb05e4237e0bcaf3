// Removal of a registry subtree in passes, each key made accessible first.
#include <windows.h>

#include "uninstall.h"

namespace {

// Room for any key name (the registry allows 255 characters) and its terminator.
const DWORD kNameBufferLength = MAX_PATH;

}  // namespace

// The index counts up although the subkey just visited has normally been deleted, so the
// subkeys after it move down and every other one is skipped in this pass; the repetition
// reaches them. The key is deleted while the enumeration handle is still open. A subkey whose
// path would not fit is passed by and stays, and so does the key.
int RemoveKeyTreePass(const char* subKey, HKEY root, int* removedKeys) {
    HKEY key = NULL;
    if (RegOpenKeyExA(root, subKey, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        GrantAdministratorsFullAccess(key);
        RegCloseKey(key);
    }
    int foundSubkey = 0;
    HKEY enumerated = NULL;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &enumerated) != ERROR_SUCCESS) {
        enumerated = NULL;
    }
    if (enumerated != NULL) {
        char name[kNameBufferLength];
        char childPath[MAX_PATH];
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = kNameBufferLength;
            if (RegEnumKeyExA(enumerated, index, name, &nameLength, NULL, NULL, NULL, NULL) !=
                ERROR_SUCCESS) {
                break;
            }
            foundSubkey = 1;
            if (ComposeChildPath(childPath, subKey, name)) {
                RemoveKeyTreePass(childPath, root, removedKeys);
            }
        }
    }
    if (RegDeleteKeyA(root, subKey) == ERROR_SUCCESS) ++*removedKeys;
    if (enumerated != NULL) RegCloseKey(enumerated);
    return foundSubkey;
}

// When every key can go, each pass that finds a subkey deletes at least the deepest key on the
// chain of first subkeys. A pass that deletes nothing leaves the registry as it found it, so the
// next one would do the same: the repetition stops there.
void RemoveKeyTree(const char* subKey, HKEY root) {
    int removedKeys;
    int foundSubkey;
    do {
        removedKeys = 0;
        foundSubkey = RemoveKeyTreePass(subKey, root, &removedKeys);
    } while (foundSubkey && removedKeys > 0);
}
