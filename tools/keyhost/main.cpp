// keyhost [--library PATH] | keyhost --demo
//
// Opens the key-device library with a window of its own and prints every notice and key message
// it receives until the input ends; "write ID VALUE" on the input writes an output report.
#include <stdio.h>
#include <string.h>

#include "keyhost.h"

#ifdef _WIN32
static const char DefaultLibrary[] = "hidkeys.dll";
#else
static const char DefaultLibrary[] = KEYHOST_LIBRARY;  // the build's libhidkeys.so
#endif

static int usage() {
    fprintf(stderr,
            "usage: keyhost [--library PATH]   show the extra keys; commands on the input\n"
#ifndef _WIN32
            "       keyhost --demo [--library PATH]   play the demonstration on the simulated "
            "keyboard\n"
#endif
    );
    return 2;
}

static int runHost(const char* libraryPath) {
    KeyLibrary library;
    if (!loadKeyLibrary(libraryPath, &library)) return 1;
    HWND window = startHostWindow();
    if (window == 0) {
        fprintf(stderr, "keyhost: can't create the host window\n");
        unloadKeyLibrary(&library);
        return 1;
    }
    int next = library.open(window, KeyMessage, NoticeMessage);
    if (next == 0) {
        printNote("BUK_Open failed");
    } else {
        printNote("BUK_Open returned %d; type \"help\" for the commands", next);
        runCommands(library);
        printNote("BUK_Close returned %d", library.close());
    }
    stopHostWindow();
    unloadKeyLibrary(&library);
    return next == 0 ? 1 : 0;
}

int main(int argc, char** argv) {
    const char* libraryPath = DefaultLibrary;
    bool demo = false;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--library") == 0 && i + 1 < argc) {
            libraryPath = argv[++i];
        } else if (strcmp(argv[i], "--demo") == 0) {
            demo = true;
        } else {
            return usage();
        }
    }
    startOutput();
#ifdef _WIN32
    if (demo) {
        fprintf(stderr, "keyhost: the demonstration runs on the simulated machine (Linux build)\n");
        return 2;
    }
#else
    if (demo) return runDemo(libraryPath);
#endif
    return runHost(libraryPath);
}
