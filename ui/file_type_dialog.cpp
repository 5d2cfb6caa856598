// The file type question FTP_FILETYPE_DLG and its dialog procedure FileTypeProc. The
// choice is read from the buttons only when the user presses Transfer; until then the
// procedure keeps the buttons consistent: the line-end conventions belong to ASCII, and
// which of them a server can use depends on whether it runs VMS.
#include "ui/file_type_dialog.h"

#include "records/module_state.h"
#include "records/tarvoftp.h"
#include "transfer/converters.h"
#include "transfer/file_type.h"
#include "ui/module_dialogs.h"
#include "ui/resources/resource_ids.h"
#include "util/orr.h"

namespace {

constexpr int kLineEndButtons[] = {IDC_FILETYPE_CR, IDC_FILETYPE_LF, IDC_FILETYPE_CRLF,
                                   IDC_FILETYPE_CR_CRLF_FF};

FsStateRecord* RecordOf(HWND dialog) {
    return reinterpret_cast<FsStateRecord*>(GetWindowLongPtrA(dialog, FILE_TYPE_DIALOG_RECORD));
}

FtpConnection* ConnectionOf(HWND dialog) {
    FsStateRecord* record = RecordOf(dialog);
    return record != nullptr ? record->connection : nullptr;
}

bool OnVms(HWND dialog) {
    FsStateRecord* record = RecordOf(dialog);
    return record != nullptr && record->hostType == HOST_VMS;
}

void Enable(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// The button of a LineEndConvention; a convention without one of its own is the last.
int LineEndButton(int32_t convention) {
    switch (convention) {
        case LINE_END_CR: return IDC_FILETYPE_CR;
        case LINE_END_UNIX: return IDC_FILETYPE_LF;
        case LINE_END_CRLF: return IDC_FILETYPE_CRLF;
        default: return IDC_FILETYPE_CR_CRLF_FF;
    }
}

// The LineEndConvention of the checked button; with none checked, the last.
int32_t ChosenLineEnd(HWND dialog) {
    if (Checked(dialog, IDC_FILETYPE_CR)) return LINE_END_CR;
    if (Checked(dialog, IDC_FILETYPE_LF)) return LINE_END_UNIX;
    if (Checked(dialog, IDC_FILETYPE_CRLF)) return LINE_END_CRLF;
    return LINE_END_CR_CRLF_FF;
}

void ChooseBinary(HWND dialog) {
    CheckRadioButton(dialog, IDC_FILETYPE_ASCII, IDC_FILETYPE_BINARY, IDC_FILETYPE_BINARY);
    for (int id : kLineEndButtons) Enable(dialog, id, false);
}

// The choice of a connection as the question opens. A VMS server's text ends its lines in
// LF only, or in CR, CR LF and form feed; CR LF alone is what other servers send.
void ShowChoice(HWND dialog, const FtpConnection* connection) {
    if (connection->textFormat != TEXT_FORMAT_TEXT) {
        ChooseBinary(dialog);
    } else {
        const bool vms = OnVms(dialog);
        CheckRadioButton(dialog, IDC_FILETYPE_ASCII, IDC_FILETYPE_BINARY, IDC_FILETYPE_ASCII);
        Enable(dialog, IDC_FILETYPE_CR, true);
        Enable(dialog, IDC_FILETYPE_LF, true);
        Enable(dialog, IDC_FILETYPE_CRLF, !vms);
        Enable(dialog, IDC_FILETYPE_CR_CRLF_FF, vms);
        CheckRadioButton(dialog, IDC_FILETYPE_CR, IDC_FILETYPE_CR_CRLF_FF,
                         LineEndButton(connection->lineEndConvention));
    }
    CheckDlgButton(dialog, IDC_FILETYPE_SAME_TYPE,
                   connection->sameTypeForRemaining != 0 ? BST_CHECKED : BST_UNCHECKED);
}

void Initialise(HWND dialog, const FileTypeQuestion* question) {
    if (OrrDialogLookEnabled()) {
        OrrApplyDialogLook(dialog, 0xFFFF);
        OrrDialogLookDone();
    }
    if (question == nullptr || question->record == nullptr) return;
    SetWindowLongPtrA(dialog, FILE_TYPE_DIALOG_RECORD,
                      reinterpret_cast<LONG_PTR>(question->record));
    SetHostTypeName(dialog, question->record);
    SetDlgItemTextA(dialog, IDC_FILETYPE_NAME,
                    question->fileName != nullptr ? question->fileName : "");
    if (const FtpConnection* connection = question->record->connection)
        ShowChoice(dialog, connection);
}

// Once ASCII is chosen again, only the line ends the server's system can use are offered.
void ChooseAscii(HWND dialog) {
    const bool vms = OnVms(dialog);
    CheckRadioButton(dialog, IDC_FILETYPE_ASCII, IDC_FILETYPE_BINARY, IDC_FILETYPE_ASCII);
    Enable(dialog, IDC_FILETYPE_LF, true);
    Enable(dialog, IDC_FILETYPE_CR, vms);
    Enable(dialog, IDC_FILETYPE_CR_CRLF_FF, vms);
    Enable(dialog, IDC_FILETYPE_CRLF, !vms);
}

// Takes the user's choice into the connection. VMS text is converted by its line ends,
// LF-only or the others; elsewhere text is network text whatever the convention.
void TakeChoice(HWND dialog) {
    FtpConnection* connection = ConnectionOf(dialog);
    if (connection == nullptr) return;
    const bool ascii = Checked(dialog, IDC_FILETYPE_ASCII);
    connection->textFormat = ascii ? TEXT_FORMAT_TEXT : TEXT_FORMAT_BINARY;
    connection->sameTypeForRemaining = Checked(dialog, IDC_FILETYPE_SAME_TYPE) ? 1 : 0;
    if (!ascii) return;
    connection->lineEndConvention = ChosenLineEnd(dialog);
    if (OnVms(dialog)) {
        connection->textFormat = connection->lineEndConvention == LINE_END_UNIX
                                     ? TEXT_FORMAT_LF_ONLY
                                     : TEXT_FORMAT_CR_CRLF_FF;
    }
}

void RequestHelp(HWND dialog) {
    const FtpConnection* connection = ConnectionOf(dialog);
    HWND owner = connection != nullptr && connection->ownerWindow != nullptr
                     ? connection->ownerWindow
                     : GetWindow(dialog, GW_OWNER);
    if (owner != nullptr)
        SendMessageA(owner, FILE_TYPE_HELP_REQUEST, 0, FILE_TYPE_HELP_CONTEXT);
}

bool Command(HWND dialog, int id) {
    switch (id) {
        case IDC_FILETYPE_ASCII: ChooseAscii(dialog); return true;
        case IDC_FILETYPE_BINARY: ChooseBinary(dialog); return true;
        case IDC_FILETYPE_CR:
        case IDC_FILETYPE_LF:
        case IDC_FILETYPE_CRLF:
        case IDC_FILETYPE_CR_CRLF_FF:
            CheckRadioButton(dialog, IDC_FILETYPE_CR, IDC_FILETYPE_CR_CRLF_FF, id);
            return true;
        case IDC_FILETYPE_SAME_TYPE:
            CheckDlgButton(dialog, id,
                           Checked(dialog, id) ? BST_UNCHECKED : BST_CHECKED);
            return true;
        case IDC_FILETYPE_TRANSFER:
            TakeChoice(dialog);
            EndDialog(dialog, 1);
            return true;
        case IDC_FILETYPE_SKIP: EndDialog(dialog, FSE_SKIP_FILE); return true;
        case IDCANCEL: EndDialog(dialog, FSE_STOPPED); return true;
        case IDC_FILETYPE_HELP: RequestHelp(dialog); return true;
        default: return false;
    }
}

}  // namespace

// The dialog's creation parameter is a FileTypeQuestion; the window keeps its state record.
// Ends with 1 (Transfer), FSE_SKIP_FILE (Skip This File) or FSE_STOPPED (Cancel).
extern "C" TVFTP_EXPORT INT_PTR CALLBACK FileTypeProc(HWND dialog, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            Initialise(dialog, reinterpret_cast<const FileTypeQuestion*>(lParam));
            return TRUE;
        case WM_COMMAND: return Command(dialog, LOWORD(wParam)) ? TRUE : FALSE;
        default: return FALSE;
    }
}

int32_t AskFileTypeDialog(FtpConnection* connection, const char* fileName,
                          FsStateRecord* record) {
    FileTypeQuestion question{record, fileName};
    return static_cast<int32_t>(RunModuleDialog(FILE_TYPE_TEMPLATE, connection->ownerWindow,
                                                 FileTypeProc,
                                                 reinterpret_cast<LPARAM>(&question)));
}
