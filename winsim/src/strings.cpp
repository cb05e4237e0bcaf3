// The string calls of kernel32.
#include <cstring>

#include "core.h"

extern "C" {

// A null string has length 0.
int WINAPI lstrlenA(LPCSTR lpString) {
    return lpString == nullptr ? 0 : static_cast<int>(strlen(lpString));
}

}  // extern "C"
