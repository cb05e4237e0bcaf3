// drvupdate: the program that the product's setup starts once. It installs or updates the
// keyboard's driver from "winME.inf" in the current directory, records the outcome in the
// registry, and after success deletes the leftover files of the setup.
//
// Every path is composed in a buffer of MAX_PATH bytes; a path that would not fit is not used.
#pragma once

#include <windows.h>

// The program's entry point; returns 0 on every path.
extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                              int showState);

// Writes first, second and third one after the other into `buffer` (MAX_PATH bytes). Returns 1;
// or 0, with `buffer` empty, when the result would not fit with its terminator.
int ComposePath(char* buffer, const char* first, const char* second, const char* third);

// The INF file's path: the current directory followed by "\winME.inf". Returns 0, with `infPath`
// empty, when it would not fit.
int ComposeInfPath(char* infPath);

// Asks the system to install the keyboard's driver from `infPath`; 1 when it did.
int UpdateKeyboardDriver(const char* infPath);

// Creates or opens the result key "SetupVau" below the parent key; NULL when it can't.
HKEY OpenResultKey(void);
// Writes `outcome` as the result key's default value and closes the key. Without a key, nothing
// is written.
void RecordResult(HKEY resultKey, DWORD outcome);

// Deletes every "*.001" file in the program's own directory and "USB_Kbd\tamboro.002" in the
// system directory, ignoring failures.
void DeleteLeftovers(void);
