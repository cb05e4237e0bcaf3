// The commands read from the input while the library is open.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "keyhost.h"

static volatile sig_atomic_t interrupted = 0;

static void onInterrupt(int) {
    interrupted = 1;
}

// Ctrl+C ends the input, so that the main thread closes the library as at the end of input.
static void catchInterrupt() {
#ifdef _WIN32
    signal(SIGINT, onInterrupt);
#else
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a read in progress ends with EINTR
    sigaction(SIGINT, &action, 0);
#endif
}

static void printHelp() {
    printNote("commands:");
    printNote("  write ID VALUE   writes the output report 3, VALUE, zeros to device ID");
    printNote("  help             shows this");
    printNote("  quit             closes the library and ends (as do end of input and Ctrl+C)");
}

// "write ID VALUE": numbers in decimal, or in hexadecimal after 0x.
static void writeCommand(const KeyLibrary& library, const char* arguments) {
    char* end = 0;
    unsigned long id = strtoul(arguments, &end, 0);
    bool valid = end != arguments;
    const char* rest = end;
    unsigned long value = valid ? strtoul(rest, &end, 0) : 0;
    valid = valid && end != rest && id <= 0xFFFF && value <= 0xFF;
    while (valid && (*end == ' ' || *end == '\t'))
        ++end;
    if (!valid || *end != 0) {
        printNote("usage: write ID VALUE (ID up to 65535, VALUE up to 255)");
        return;
    }
    int result = library.control((int)id, (int)value);
    printNote("BUK_Control(%lu, 0x%02lX) returned %d%s", id, value, result,
              result == 1 ? "" : ": no such device, or the write failed");
}

void runCommands(const KeyLibrary& library) {
    catchInterrupt();
    char line[256];
    while (!interrupted) {
        if (fgets(line, sizeof line, stdin) == 0) break;  // end of input, or interrupted
        line[strcspn(line, "\r\n")] = 0;
        char* command = line + strspn(line, " \t");
        if (*command == 0) continue;
        if (strncmp(command, "write", 5) == 0 && (command[5] == ' ' || command[5] == '\t')) {
            writeCommand(library, command + 5);
        } else if (strcmp(command, "help") == 0) {
            printHelp();
        } else if (strcmp(command, "quit") == 0) {
            break;
        } else {
            printNote("unknown command \"%s\"; try help", command);
        }
    }
}
