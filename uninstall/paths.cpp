// Bounded path composition in MAX_PATH buffers.
#include <string.h>

#include "uninstall.h"

int AppendToPath(char* buffer, const char* text) {
    size_t used = strlen(buffer);
    size_t added = strlen(text);
    if (used + added >= MAX_PATH) return 0;
    memcpy(buffer + used, text, added + 1);
    return 1;
}

int ComposeChildPath(char* buffer, const char* parent, const char* name) {
    buffer[0] = '\0';
    if (AppendToPath(buffer, parent) && AppendToPath(buffer, "\\") && AppendToPath(buffer, name)) {
        return 1;
    }
    buffer[0] = '\0';
    return 0;
}
