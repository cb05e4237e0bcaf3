/* hidkeys: the extra keys of the keyboard, for a host application.
 *
 * The host loads the library, calls BUK_Open with one of its windows and two message numbers,
 * and from then on receives:
 *  - a device notice (message `noticeMessageId`, wParam 1, lParam a pointer to a DeviceNotice)
 *    whenever a device enters or leaves the library's table. It is sent, so the host handles it
 *    synchronously; the record is valid only while the window procedure handles the message;
 *  - a key message (message `keyMessageId`) for each press, wParam key number x 0x100 and
 *    lParam 0, and for each release, the wParam of the last press and lParam KeyReleasedFlag.
 * BUK_Control writes a one-byte output report to a device by its id. The host calls BUK_Close
 * before it unloads the library. */
#ifndef HIDKEYS_H
#define HIDKEYS_H

#include <windows.h>

#ifdef _WIN32
#define BUK_CALL __cdecl
#else
#define BUK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* DeviceNotice.kind */
#define NoticeRemoved 0
#define NoticeArrived 1
/* Added to the kind of every notice sent while the library re-enumerates after a resume. */
#define NoticeResumeMark 0x10000
/* lParam of a release. */
#define KeyReleasedFlag 0x20000

/* The record behind a device notice: 12 bytes, little-endian. A notice of kind NoticeRemoved
 * with every other field 0 says that no device was found. */
typedef struct DeviceNotice {
    DWORD kind;
    WORD deviceId;
    WORD vendorId;
    WORD productId;
    WORD reserved; /* always 0 */
} DeviceNotice;

#ifdef __cplusplus
static_assert(sizeof(DeviceNotice) == 12, "DeviceNotice is 12 bytes");
#else
_Static_assert(sizeof(DeviceNotice) == 12, "DeviceNotice is 12 bytes");
#endif

/* Opens the library (or, when it is open, redirects its messages to the new window and
 * numbers) and walks the devices present. Returns 0 when the library can't be opened,
 * otherwise one more than the last device id handed out (1: nothing found). */
int BUK_CALL BUK_Open(HWND clientWindow, UINT keyMessageId, UINT noticeMessageId);
/* Removes every device with its removal notice and closes the library. Always 1. */
int BUK_CALL BUK_Close(void);
/* Writes the output report 3, value & 0xFF, zeros to device `id` and waits for the write.
 * 1 when the whole report was written, else 0. */
int BUK_CALL BUK_Control(int id, int value);

/* For hosts that bind the exports at run time. */
typedef int(BUK_CALL* BUK_OpenProc)(HWND, UINT, UINT);
typedef int(BUK_CALL* BUK_CloseProc)(void);
typedef int(BUK_CALL* BUK_ControlProc)(int, int);

#ifdef __cplusplus
}
#endif

#endif /* HIDKEYS_H */
