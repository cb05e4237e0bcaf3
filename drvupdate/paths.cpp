// Bounded path composition.
#include <string.h>

#include "drvupdate.h"

int ComposePath(char* buffer, const char* first, const char* second, const char* third) {
    size_t firstLength = strlen(first);
    size_t secondLength = strlen(second);
    size_t thirdLength = strlen(third);
    buffer[0] = '\0';
    if (firstLength + secondLength + thirdLength >= MAX_PATH) return 0;
    memcpy(buffer, first, firstLength);
    memcpy(buffer + firstLength, second, secondLength);
    memcpy(buffer + firstLength + secondLength, third, thirdLength + 1);
    return 1;
}
