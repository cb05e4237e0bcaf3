// The whole run, from the single-instance guard to the clean-up.
#include <windows.h>

#include "drvupdate.h"

namespace {

const char kRunMutexName[] = "Brenmor Tamboro RunAP";
const DWORD kPauseMilliseconds = 500;

}  // namespace

// A second copy leaves at once. Otherwise the mutex, owned from its creation, stays open until
// the program ends; when it could not be created, the run goes on without the guard. An INF
// path that does not fit counts as a failed update.
extern "C" int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE runMutex = CreateMutexA(NULL, TRUE, kRunMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(runMutex);
        return 0;
    }
    Sleep(kPauseMilliseconds);

    char infPath[MAX_PATH];
    int haveInfPath = ComposeInfPath(infPath);
    HKEY resultKey = OpenResultKey();
    int updated = haveInfPath && UpdateKeyboardDriver(infPath);
    RecordResult(resultKey, updated ? 1 : 0);
    if (updated) DeleteLeftovers();
    return 0;
}
