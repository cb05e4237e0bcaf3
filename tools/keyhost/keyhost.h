// keyhost: the host application that shows the keyboard's extra keys.
//
// It loads the key-device library as any host does, owns a hidden window on a thread of its
// own, and prints one line per notice and key message that the window receives.
#pragma once

#include <windows.h>

#include "hidkeys.h"

// ---- the library (library_binding.cpp) -------------------------------------------------------

struct KeyLibrary {
    HMODULE module;
    BUK_OpenProc open;
    BUK_CloseProc close;
    BUK_ControlProc control;
};

// Loads the library and finds its three exports; prints why and returns false when it can't.
bool loadKeyLibrary(const char* path, KeyLibrary* library);
void unloadKeyLibrary(KeyLibrary* library);

// ---- output (output.cpp) ---------------------------------------------------------------------

// What the host window has received so far.
struct HostTally {
    LONG arrivals;
    LONG removals;
    LONG nothingFound;
    LONG presses;
    LONG releases;
};

// Starts the clock of the timestamps.
void startOutput();
// A line about a message the host received, after its time since the start: "[   0.012] ...".
void printEvent(const char* format, ...);
// Any other line, indented to stand apart from the events.
void printNote(const char* format, ...);
// The text of a notice or a key message, as printed.
void describeNotice(const DeviceNotice& notice, char* text, size_t size);
void describeKey(WPARAM wParam, LPARAM lParam, char* text, size_t size);

// ---- the host window (host_window.cpp) -------------------------------------------------------

const UINT KeyMessage = WM_APP + 1;
const UINT NoticeMessage = WM_APP + 2;

// Creates the window on a thread of its own; null when it can't.
HWND startHostWindow();
// Closes the window and waits for its thread.
void stopHostWindow();
// A copy of the tally.
HostTally hostTally();
// Waits up to `timeoutMs` until `events` key messages and notices in all have arrived.
bool waitForEvents(LONG events, DWORD timeoutMs = 3000);

// ---- commands (commands.cpp) -----------------------------------------------------------------

// Reads commands until end of input, "quit", or an interrupt; returns when the host should close.
void runCommands(const KeyLibrary& library);

#ifndef _WIN32
// ---- the scripted demonstration on the simulated machine (demo.cpp) --------------------------

int runDemo(const char* libraryPath);
#endif
