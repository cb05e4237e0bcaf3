// Ending the host application before its files are removed.
#include <windows.h>

#include "uninstall.h"

namespace {

const char kHostWindowClass[] = "Afx:400000:0";
const char kHostWindowTitle[] = "Brenmor Tamboro";
// Every right on a process as the systems of the product's time define them (later systems
// define more bits under the same name).
const DWORD kProcessAllAccess = 0x1F0FFF;

}  // namespace

// Only the first window found is handled: a second instance keeps running. There is no wait for
// the process to end; the caller pauses instead.
void EndHostApplication(void) {
    HWND window = FindWindowA(kHostWindowClass, kHostWindowTitle);
    if (window == NULL) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(kProcessAllAccess, FALSE, processId);
    if (process == NULL) return;
    TerminateProcess(process, 0);
    CloseHandle(process);
}
