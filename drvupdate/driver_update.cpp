// The driver installation: the INF file of the current directory, for the keyboard's HID
// device on interface 0.
#include <windows.h>
#include <newdev.h>

#include "drvupdate.h"

namespace {

const char kHardwareId[] = "HID\\Vid_03F0&PID_0122&Mi_00";
const char kInfFileName[] = "\\winME.inf";

}  // namespace

// A current directory that can't be read leaves the buffer empty, so the bare "\winME.inf" is
// used. The directory is taken as it is: at a drive's root it already ends in a backslash, and
// the path then holds two in a row.
int ComposeInfPath(char* infPath) {
    char currentDirectory[MAX_PATH];
    currentDirectory[0] = '\0';
    GetCurrentDirectoryA(MAX_PATH, currentDirectory);
    return ComposePath(infPath, currentDirectory, kInfFileName, "");
}

// Flags 0: a driver that is already newer is not replaced. Restarts are left to the system.
int UpdateKeyboardDriver(const char* infPath) {
    return UpdateDriverForPlugAndPlayDevicesA(NULL, kHardwareId, infPath, 0, NULL) ? 1 : 0;
}
