// UpdateDriverForPlugAndPlayDevicesA: records every call and answers as the test has set.
#include <newdev.h>

#include "core.h"
#include "winsim/drivers.h"

namespace winsim::detail {

namespace {

struct DriverInstallation {
    DriverUpdateOutcome outcome;
    std::vector<DriverUpdateCall> calls;
};

DriverInstallation& installation() {
    static auto* instance = new DriverInstallation;
    return *instance;
}

}  // namespace

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND hwndParent, LPCSTR HardwareId,
                                               LPCSTR FullInfPath, DWORD InstallFlags,
                                               PBOOL bRebootRequired) {
    MachineLock lock;
    winsim::DriverUpdateCall call;
    call.parent = hwndParent;
    call.hardwareIdGiven = HardwareId != nullptr;
    call.hardwareId = HardwareId != nullptr ? HardwareId : "";
    call.infPathGiven = FullInfPath != nullptr;
    call.infPath = FullInfPath != nullptr ? FullInfPath : "";
    call.flags = InstallFlags;
    call.rebootFlagGiven = bRebootRequired != nullptr;
    installation().calls.push_back(call);

    if (HardwareId == nullptr || FullInfPath == nullptr) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((InstallFlags & ~static_cast<DWORD>(INSTALLFLAG_BITS)) != 0) {
        setError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    const winsim::DriverUpdateOutcome& outcome = installation().outcome;
    if (!outcome.result) {
        setError(outcome.error);
        return FALSE;
    }
    if (bRebootRequired != nullptr) *bRebootRequired = outcome.rebootRequired;
    return TRUE;
}

}  // extern "C"

namespace winsim {

void setDriverUpdateOutcome(const DriverUpdateOutcome& outcome) {
    detail::MachineLock lock;
    detail::installation().outcome = outcome;
}

std::vector<DriverUpdateCall> driverUpdateCalls() {
    detail::MachineLock lock;
    return detail::installation().calls;
}

}  // namespace winsim
