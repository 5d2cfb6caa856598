// The user-name and password prompts: their dialog procedures, the answer buffer they
// fill, and the runner that shows a dialog template of the resource module.
#include "ui/prompts.h"

#include "driver/module_state.h"
#include "driver/tarvoftp.h"
#include "ui/resources/resource_ids.h"

char gPromptAnswer[PROMPT_ANSWER_SIZE];

namespace {

// The two prompt procedures differ only in the id of their edit.
template <int kEditId>
INT_PTR PromptProc(HWND dialog, UINT message, WPARAM wParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetFocus(GetDlgItem(dialog, kEditId));
            // The prompt comes up during a connection open that the user may have started
            // and then turned away from; it must not end up behind other windows.
            SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    GetDlgItemTextA(dialog, kEditId, gPromptAnswer, PROMPT_ANSWER_SIZE);
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

DLGPROC ProcedureOf(const char* promptTemplate) {
    return lstrcmpiA(promptTemplate, USER_NAME_PROMPT) == 0 ? UserNamePromptProc
                                                             : FTPChdirProc;
}

}  // namespace

INT_PTR CALLBACK UserNamePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return PromptProc<IDC_PROMPT_USERNAME>(dialog, message, wParam);
}

extern "C" TVFTP_EXPORT INT_PTR CALLBACK FTPChdirProc(HWND dialog, UINT message, WPARAM wParam,
                                                      LPARAM) {
    return PromptProc<IDC_PROMPT_PASSWORD>(dialog, message, wParam);
}

INT_PTR RunDialog(const char* templateName, HWND owner, DLGPROC procedure) {
    return DialogBoxParamA(gModule.resourceInstance, templateName, owner, procedure, 0);
}

// Any result but 0 confirms, except the -1 of a dialog that could not be created: taken as
// an answer, it would have the caller resend the old text, be refused again and ask again,
// without end, whenever the resource module lacks the template.
bool AskUser(const char* promptTemplate) {
    INT_PTR result = RunDialog(promptTemplate, nullptr, ProcedureOf(promptTemplate));
    return result != 0 && result != -1;
}
