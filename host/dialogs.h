// ftpsh as the person in front of the module's modal dialogs: a dialog is answered from
// the script's answers when one was given for it, shown to the user when there is one at
// the terminal (POSIX: as a terminal form; Windows: the real dialog), and otherwise
// cancelled, as a person who walks away would leave it.
#pragma once

#include <string>

#include "host/answers.h"

namespace ftpsh {

struct DialogChoices {
    bool interactive = false;       // a person can answer dialogs
    std::string screenshotFolder;   // Windows: a picture of each dialog before it is answered
};

void StartAnsweringDialogs(AnswerBook& answers, DialogChoices choices);
void StopAnsweringDialogs();

}  // namespace ftpsh
