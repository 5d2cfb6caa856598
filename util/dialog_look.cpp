// The dialog look of the utility library: its decoration of dialog controls. This module
// shows its dialogs plain, so the look is never enabled and applying it changes nothing.
#include "util/orr.h"

int32_t OrrDialogLookEnabled() {
    return 0;
}

void OrrApplyDialogLook(HWND window, UINT controls) {}

int32_t OrrDialogLookDone() {
    return 0;
}
