/* winsim: the umbrella header, as on the platform. */
#ifndef WINSIM_WINDOWS_H
#define WINSIM_WINDOWS_H

#include <windef.h>
#include <winnt.h>
#include <winerror.h>
#include <winbase.h>
#include <fileapi.h>
#include <processenv.h>
#include <sysinfoapi.h>
#include <libloaderapi.h>
#include <heapapi.h>
#include <processthreadsapi.h>
#include <securitybaseapi.h>
#include <winuser.h>
#include <winreg.h>

#endif /* WINSIM_WINDOWS_H */
