// The whole run, from the confirmation to the last registry entry.
#include <windows.h>

#include "uninstall.h"

namespace {

const char kPrivilegeName[] = "SeSystemtimePrivilege";
const char kConfirmationText[] = "O.K. to uninstall Sorvanta for Windows";
const char kConfirmationCaption[] = "Sorvanta Uninstaller";
// Time for the host application to let go of the files before they are deleted.
const DWORD kPauseMilliseconds = 1000;

}  // namespace

// The privilege is enabled before the question, so it is also enabled when the user declines.
// Closing the box counts as declining. Nothing after the confirmation stops the run or is
// reported.
extern "C" int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    EnableProcessPrivilege(kPrivilegeName);
    if (MessageBoxA(GetFocus(), kConfirmationText, kConfirmationCaption,
                    MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) {
        return 0;
    }
    EndHostApplication();
    Sleep(kPauseMilliseconds);
    DeleteInfFiles();
    RemoveProductDirectories();
    // Before the registry entries: the server's registration is among them.
    RemoveServerDirectory();
    RemoveRegistryEntries();
    return 0;
}
