// The device notice: a DeviceNotice in a global memory block, sent to the host's window and
// released as soon as the host has handled it.
#include "library_state.h"

void sendDeviceNotice(DWORD kind, WORD deviceId, WORD vendorId, WORD productId) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DeviceNotice));
    if (block == 0) return;  // no memory: the notice is dropped
    DeviceNotice* notice = (DeviceNotice*)GlobalLock(block);
    if (notice != 0) {
        notice->kind = kind + (loadShared(state.resuming) ? NoticeResumeMark : 0);
        notice->deviceId = deviceId;
        notice->vendorId = vendorId;
        notice->productId = productId;
        SendMessageA(loadShared(state.clientWindow), loadShared(state.noticeMessageId), 1,
                     (LPARAM)notice);
        GlobalUnlock(block);
    }
    GlobalFree(block);
}
