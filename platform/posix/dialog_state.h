// What the platform keeps for a dialog window: its dialog procedure and template name,
// whether it runs modally, and the result EndDialog gave it. Internal to the platform.
#pragma once

#include "platform/posix/window_object.h"

#include <string>

namespace tvplatform {

struct DialogState : WindowExtension {
    DLGPROC proc = nullptr;
    std::string templateName;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    int defaultId = 0;  // set by DM_SETDEFID; 0: the control styled BS_DEFPUSHBUTTON
};

// Whether the dialog has been ended or is gone; `result` then holds what EndDialog gave
// it (0 for a dialog destroyed without EndDialog).
bool DialogEnded(HWND dialog, INT_PTR& result);

// What Escape does in a dialog: WM_COMMAND IDCANCEL, unless its Cancel button is disabled.
void PressEscape(HWND dialog);

// Runs a modal dialog until it ends: its messages and the dialog driver's rounds.
void DriveModalDialog(HWND dialog, const std::string& templateName);

}  // namespace tvplatform
