// Reading one registry value into a fixed buffer.
#include <windows.h>
#include <string.h>

#include "uninstall.h"

// The key is opened with the rights the user has on it. Bytes after a shorter value are zeroed,
// so text stored without its terminator still ends inside the buffer; a value that fills the
// whole buffer without one can't be used as text and counts as absent.
int ReadRegistryString(HKEY root, const char* subKey, const char* valueName, char* buffer,
                       DWORD size) {
    HKEY key = NULL;
    LONG status = RegOpenKeyA(root, subKey, &key);
    DWORD length = size;
    if (status == ERROR_SUCCESS) {
        DWORD type = 0;
        status =
            RegQueryValueExA(key, valueName, NULL, &type, reinterpret_cast<BYTE*>(buffer), &length);
        RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS && length < size) memset(buffer + length, 0, size - length);
    if (status != ERROR_SUCCESS || memchr(buffer, '\0', size) == NULL) {
        memset(buffer, 0, size);
        return 0;
    }
    return 1;
}
