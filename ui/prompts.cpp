// The user-name and password prompts: their dialog procedures and the questions they
// answer.
#include "ui/prompts.h"

#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "records/tarvoftp.h"
#include "ui/module_dialogs.h"
#include "ui/resources/resource_ids.h"

namespace {

// The two prompt procedures differ only in the id of their edit.
template <int kEditId>
INT_PTR PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
            SetFocus(GetDlgItem(dialog, kEditId));
            // The prompt comes up during a connection open that the user may have started
            // and then turned away from; it must not end up behind other windows.
            SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (auto* answer = reinterpret_cast<char*>(
                            GetWindowLongPtrA(dialog, GWLP_USERDATA))) {
                        GetDlgItemTextA(dialog, kEditId, answer, QUESTION_ANSWER_SIZE);
                    }
                    EndDialog(dialog, 1);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, 0);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}


}  // namespace

INT_PTR CALLBACK UserNamePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return PromptProc<IDC_PROMPT_USERNAME>(dialog, message, wParam, lParam);
}

extern "C" TVFTP_EXPORT INT_PTR CALLBACK FTPChdirProc(HWND dialog, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
    return PromptProc<IDC_PROMPT_PASSWORD>(dialog, message, wParam, lParam);
}

bool AskQuestion(FtpConnection* connection, Question question, char* answer) {
    const auto parameter = reinterpret_cast<LPARAM>(answer);
    // The account a change of directory needs is asked over the connection's window and
    // only an OK confirms it.
    if (question == Question::AccountForDirectory) {
        return RunModuleDialog(ACCOUNT_PASSWORD_PROMPT, connection->ownerWindow, FTPChdirProc,
                         parameter) == 1;
    }
    // At logon any result but 0 confirms, except the -1 of a dialog that could not be
    // created: taken as an answer, it would have the logon resend the old text, be refused
    // again and ask again, without end, whenever the resource module lacks the template.
    INT_PTR result =
        question == Question::UserName
            ? RunModuleDialog(USER_NAME_PROMPT, nullptr, UserNamePromptProc, parameter)
            : RunModuleDialog(question == Question::Password ? USER_PASSWORD_PROMPT
                                                       : ACCOUNT_PASSWORD_PROMPT,
                        nullptr, FTPChdirProc, parameter);
    return result != 0 && result != -1;
}
