// The system's power broadcasts: at a suspend every device is closed without a word to the
// host; at a resume the devices present are opened again, with ids counted from 1.
#include "library_state.h"

void clearPowerFlags() {
    storeShared(state.quietRemoval, (LONG)0);
    storeShared(state.resuming, (LONG)0);
    storeShared(state.suspended, (LONG)0);
}

static void suspend() {
    // Set first, so that a reader reaching its next read before it is stopped skips it.
    storeShared(state.suspended, (LONG)1);
    countSuspend();
    if (isLibraryOpen()) {
        storeShared(state.quietRemoval, (LONG)1);
        removeAllDevices();
    }
    resetDeviceIds();
}

static void resume() {
    storeShared(state.resuming, (LONG)1);
    // Whatever is already in the table stays; the walk adds only interfaces not yet open. Its
    // readers skip their reads until `suspended` is cleared below.
    enumerateDevices();
    clearPowerFlags();
}

LRESULT onPowerBroadcast(WPARAM event, LPARAM) {
    switch (event) {
        case PBT_APMQUERYSUSPEND:
        case PBT_APMQUERYSUSPENDFAILED:
            return TRUE;
        case PBT_APMSUSPEND:
            suspend();
            return 0;
        case PBT_APMRESUMECRITICAL:
        case PBT_APMRESUMESUSPEND:
            resume();
            return 0;
        default:
            return 0;
    }
}
