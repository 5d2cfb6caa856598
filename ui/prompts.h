// The small modal prompts that ask the user for a missing user name, password or account
// (each writes its answer into the asker's buffer) and the AUTODETECT_DLG question, shown
// through the module's dialog loader (ui/module_dialogs.h).

#pragma once

#include <cstdint>

#include "connection/connection_hooks.h"
#include "platform/platform.h"
#include "ui/module_dialogs.h"

// The templates of the prompts.
constexpr const char* USER_NAME_PROMPT = "FTP_UN_DLG";
constexpr const char* USER_PASSWORD_PROMPT = "USER_PASSWORD";
constexpr const char* ACCOUNT_PASSWORD_PROMPT = "FTP_CD_DLG";


// The dialog procedure of FTP_UN_DLG (edit 501); FTPChdirProc serves the password prompts
// (edit 500). Both are shown with the answer buffer (QUESTION_ANSWER_SIZE bytes) as their
// parameter, and end the dialog with 1 on OK, after copying the edit's text into it, and with
// 0 on Cancel, leaving it as it was.
INT_PTR CALLBACK UserNamePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the prompt of a question (the logon prompts without an owner window, the account
// a change of directory needs over the connection's window): true when the user confirmed
// it, with the answer in `answer`. A prompt that cannot be shown counts as cancelled.
bool AskQuestion(FtpConnection* connection, Question question, char* answer);

// Shows AUTODETECT_DLG without an owner window: 2 to 13 for the system chosen, 0 for OK
// without one, -1 for Cancel or a question that cannot be shown.
int32_t AskRemoteSystemDialog(FtpConnection* connection);
