/* winsim: the umbrella header, as on the platform. */
#ifndef WINSIM_WINDOWS_H
#define WINSIM_WINDOWS_H

#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winuser.h>

#endif /* WINSIM_WINDOWS_H */
