// ftpsh as the person in front of the module's modal dialogs: a dialog is answered from
// the script's answers when one was given for it, shown to the user when there is one at
// the terminal (POSIX: as a terminal form; Windows: the real dialog), and otherwise
// cancelled, as a person who walks away would leave it.
#pragma once

#include <string>

#include "host/answers.h"
#include "platform/platform.h"

namespace ftpsh {

struct DialogChoices {
    bool interactive = false;       // a person can answer dialogs
    // A record of the controls of each dialog before it is answered (NN-NAME.txt) and, on
    // Windows, its picture (NN-NAME.bmp).
    std::string screenshotFolder;
};

void StartAnsweringDialogs(AnswerBook& answers, DialogChoices choices);
void StopAnsweringDialogs();
// Saves the window's record (and picture) as the next dialog's, when there is a folder.
void RecordWindow(HWND window, const std::string& name);

}  // namespace ftpsh
