// The small modal prompts that ask the user for a missing user name, password or account,
// the one module-wide buffer their answers land in, and the plain runner that shows these
// and the module's other modal dialogs from the resource module.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The answer buffer: at most 319 characters and a NUL.
constexpr int PROMPT_ANSWER_SIZE = 320;

// The templates of the prompts.
constexpr const char* USER_NAME_PROMPT = "FTP_UN_DLG";
constexpr const char* USER_PASSWORD_PROMPT = "USER_PASSWORD";
constexpr const char* ACCOUNT_PASSWORD_PROMPT = "FTP_CD_DLG";

// What the user typed into the last prompt confirmed with OK. A cancelled prompt leaves it
// as it was; the file type question also puts the file name here before it asks.
extern char gPromptAnswer[PROMPT_ANSWER_SIZE];

// The dialog procedure of FTP_UN_DLG (edit 501); FTPChdirProc serves the password prompts
// (edit 500). Both end the dialog with 1 on OK, after copying the edit's text into the
// answer buffer, and with 0 on Cancel.
INT_PTR CALLBACK UserNamePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the template of the resource module as a modal dialog with `procedure`: the
// dialog's result, or -1 when it could not be shown.
INT_PTR RunDialog(const char* templateName, HWND owner, DLGPROC procedure);

// Shows one of the three prompts (without an owner window, as logon asks): true when the
// user confirmed it, with the answer in gPromptAnswer. A prompt that cannot be shown counts
// as cancelled.
bool AskUser(const char* promptTemplate);
