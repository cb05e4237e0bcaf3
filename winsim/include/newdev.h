/* winsim: the driver-installation library (newdev). */
#ifndef WINSIM_NEWDEV_H
#define WINSIM_NEWDEV_H

#include <windef.h>

WINSIM_EXTERN_C_BEGIN

#define INSTALLFLAG_FORCE 0x00000001
#define INSTALLFLAG_READONLY 0x00000002
#define INSTALLFLAG_NONINTERACTIVE 0x00000004
#define INSTALLFLAG_BITS 0x00000007

WINSIM_API BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND hwndParent, LPCSTR HardwareId,
                                                          LPCSTR FullInfPath, DWORD InstallFlags,
                                                          PBOOL bRebootRequired);

WINSIM_EXTERN_C_END

#endif /* WINSIM_NEWDEV_H */
