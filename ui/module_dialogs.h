// What the module's modal dialogs share: the loader that shows a dialog template of the
// resource module (the options, status, file type and prompt dialogs all come up through
// it), and the remote system's name as the status and file type dialogs show it.
#pragma once

#include "platform/platform.h"
#include "records/tarvoftp.h"

// Shows a template of the resource module as a modal dialog of the module's own instance,
// so that a template of one of the module's window classes finds its class: the dialog's
// result, or -1 when it could not be shown.
INT_PTR RunModuleDialog(const char* templateName, HWND owner, DLGPROC procedure,
                        LPARAM parameter = 0);

// Shows the host-type name of the record's HostType in control 301 (IDC_HOST_TYPE_NAME) of
// a dialog: "OTHER" for a type without a name of its own; nothing when the resource module
// lacks the text.
void SetHostTypeName(HWND dialog, const FsStateRecord* record);
