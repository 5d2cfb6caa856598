// The question FTP_FILETYPE_DLG ("Unable to Determine File Type"): how a fetched file whose
// first block does not tell is to be taken (ASCII or binary, the line ends of its text,
// whether the choice holds for the remaining files), or whether to skip it or cancel the
// copy. Shown through the connection's hooks when a download decides its file type.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "platform/platform.h"
#include "ui/module_dialogs.h"

constexpr const char* FILE_TYPE_TEMPLATE = "FTP_FILETYPE_DLG";

// Where the dialog window keeps its state record: the slot after the dialog's own bytes
// that the window class "FTP_FileTypeDialog" reserves.
constexpr int FILE_TYPE_DIALOG_RECORD = DLGWINDOWEXTRA;

// What the owner window hears when the user asks for help.
constexpr UINT FILE_TYPE_HELP_REQUEST = WM_USER + 1;
constexpr LPARAM FILE_TYPE_HELP_CONTEXT = 53274;

// The creation parameter of FTP_FILETYPE_DLG: the state record whose connection the answer
// goes to, and the name of the file asked about. The name travels with the question rather
// than through a buffer of the module's, so that a question asked while another dialog
// waits (messages are dispatched while a copy runs) cannot show the other one's text; the
// dialog reads it only while it is set up.
struct FileTypeQuestion {
    FsStateRecord* record;
    const char* fileName;
};

// The hook that asks: runs FTP_FILETYPE_DLG over the connection's owner window. 1 after
// Transfer (the connection's TextFormat, LineEndConvention and same-type flag then hold the
// choice), FSE_SKIP_FILE, FSE_STOPPED, or -1 when the question could not be shown.
int32_t AskFileTypeDialog(FtpConnection* connection, const char* fileName,
                          FsStateRecord* record);
