// The question AUTODETECT_DLG: when the module could not tell which system the server
// runs, the user chooses one from the list of system names; UNIX is chosen to begin with.
#include "connection/detection.h"
#include "ui/prompts.h"
#include "records/module_state.h"
#include "records/tarvoftp.h"
#include "ui/resources/resource_ids.h"

namespace {

// The question that asks the user for the remote system when nothing else settled it.
constexpr const char* kAutodetectTemplate = "AUTODETECT_DLG";

// The question is read with room for 128 characters.
constexpr int kQuestionSize = 128 + 1;
// OK without a system that can be used.
constexpr INT_PTR kNoSystemChosen = 0;
constexpr INT_PTR kCancelled = -1;

void FillDialog(HWND dialog) {
    char question[kQuestionSize];
    LoadStringA(ResourceInstance(), IDS_AUTODETECT_QUESTION, question, kQuestionSize);
    SetDlgItemTextA(dialog, IDC_AUTODETECT_TEXT, question);
    for (int entry = FIRST_NAMED_ENTRY; entry <= LAST_NAMED_ENTRY; ++entry) {
        char name[HOST_TYPE_NAME_SIZE];
        LoadStringA(ResourceInstance(), static_cast<UINT>(entry), name, HOST_TYPE_NAME_SIZE);
        SendDlgItemMessageA(dialog, IDC_AUTODETECT_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(name));
    }
    // Most servers run UNIX, so its name is chosen unless the user chooses another. The
    // list's search finds the first item that begins with the name.
    char unixName[HOST_TYPE_NAME_SIZE];
    LoadStringA(ResourceInstance(), IDS_HOST_UNIX, unixName, HOST_TYPE_NAME_SIZE);
    LRESULT found = SendDlgItemMessageA(dialog, IDC_AUTODETECT_LIST, LB_FINDSTRING,
                                        static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(unixName));
    if (found != LB_ERR) {
        SendDlgItemMessageA(dialog, IDC_AUTODETECT_LIST, LB_SETCURSEL,
                            static_cast<WPARAM>(found), 0);
    }
}

// The host type of the chosen item, its text compared with the names as they are spelt.
INT_PTR ChosenHostType(HWND dialog) {
    LRESULT chosen = SendDlgItemMessageA(dialog, IDC_AUTODETECT_LIST, LB_GETCURSEL, 0, 0);
    if (chosen == LB_ERR) return kNoSystemChosen;
    // An item longer than any name cannot be one, and must not overrun the text's room.
    LRESULT length = SendDlgItemMessageA(dialog, IDC_AUTODETECT_LIST, LB_GETTEXTLEN,
                                         static_cast<WPARAM>(chosen), 0);
    if (length < 0 || length >= HOST_TYPE_NAME_SIZE) return kNoSystemChosen;
    char text[HOST_TYPE_NAME_SIZE] = {};
    if (SendDlgItemMessageA(dialog, IDC_AUTODETECT_LIST, LB_GETTEXT, static_cast<WPARAM>(chosen),
                            reinterpret_cast<LPARAM>(text)) == LB_ERR) {
        return kNoSystemChosen;
    }
    return HostTypeOfName(text, NameCase::Matters);
}

}  // namespace

// Ends with the HostType chosen (2 to 13), 0 when OK found no usable choice, -1 on Cancel.
// Help and every other command are left alone.
extern "C" TVFTP_EXPORT INT_PTR CALLBACK FTPAutoDetect(HWND dialog, UINT message, WPARAM wParam,
                                                       LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            FillDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    EndDialog(dialog, ChosenHostType(dialog));
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, kCancelled);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

int32_t AskRemoteSystemDialog(FtpConnection*) {
    // A question that cannot be shown at all gives -1 too: the open cannot go on without
    // an answer.
    return static_cast<int32_t>(RunModuleDialog(kAutodetectTemplate, nullptr, FTPAutoDetect));
}
