// The outcome in the registry: the default value of HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows\CurrentVersion\SetupVau", a REG_DWORD of 1 or 0.
#include <windows.h>

#include "drvupdate.h"

namespace {

const char kParentKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kResultKeyName[] = "SetupVau";

}  // namespace

// The parent is opened for enumeration only: creating a subkey is checked against the parent
// key's security, not against the rights of the handle it goes through.
HKEY OpenResultKey(void) {
    HKEY parentKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParentKeyPath, 0, KEY_ENUMERATE_SUB_KEYS, &parentKey) !=
        ERROR_SUCCESS) {
        return NULL;
    }
    HKEY resultKey = NULL;
    if (RegCreateKeyExA(parentKey, kResultKeyName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &resultKey, NULL) != ERROR_SUCCESS) {
        resultKey = NULL;
    }
    RegCloseKey(parentKey);
    return resultKey;
}

void RecordResult(HKEY resultKey, DWORD outcome) {
    if (resultKey == NULL) return;
    RegSetValueExA(resultKey, "", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&outcome),
                   sizeof outcome);
    RegCloseKey(resultKey);
}
