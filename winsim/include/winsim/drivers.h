// winsim control API: driver installation (UpdateDriverForPlugAndPlayDevicesA).
//
// The call installs nothing: it records its arguments and answers as the test has set.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

struct DriverUpdateCall {
    HWND parent = nullptr;
    bool hardwareIdGiven = false;  // the pointer was not null
    std::string hardwareId;        // the bytes up to the terminator
    bool infPathGiven = false;
    std::string infPath;
    DWORD flags = 0;
    bool rebootFlagGiven = false;  // a restart-flag pointer was passed
};

struct DriverUpdateOutcome {
    BOOL result = TRUE;
    DWORD error = 0;  // the last error after a FALSE result
    BOOL rebootRequired = FALSE;
};

// The answer of every later call (TRUE until set). Calls with a null hardware ID or INF path, or
// with flags outside INSTALLFLAG_BITS, fail with ERROR_INVALID_PARAMETER / ERROR_INVALID_FLAGS
// whatever is set here; they are recorded all the same.
WINSIM_API void setDriverUpdateOutcome(const DriverUpdateOutcome& outcome);
WINSIM_API std::vector<DriverUpdateCall> driverUpdateCalls();

}  // namespace winsim
