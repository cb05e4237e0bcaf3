// winsim control API: other programs running on the machine.
//
// A simulated process stands for another program: it has an id and one thread that owns one
// visible top-level window of the class and title the test gives. FindWindowA finds that window
// and GetWindowThreadProcessId reports the process's id; the window answers messages with
// DefWindowProcA on the sender's thread. OpenProcess opens the process unless the test denies
// it; TerminateProcess ends it, and its window goes at once. Its windows are not counted in
// Counters::windows, which counts the windows of the program under test.
#pragma once

#include <windows.h>

#include <string>

namespace winsim {

// Starts a process whose window has this class and title; returns its id.
WINSIM_API DWORD startProcess(const std::string& windowClass, const std::string& windowTitle);
// Its window while it runs, else null.
WINSIM_API HWND processWindow(DWORD processId);
// STILL_ACTIVE while it runs, then the code TerminateProcess gave it.
WINSIM_API DWORD processExitCode(DWORD processId);
// OpenProcess on it fails with ERROR_ACCESS_DENIED, as for a process of another user.
WINSIM_API void denyProcessAccess(DWORD processId, bool denied = true);

}  // namespace winsim
