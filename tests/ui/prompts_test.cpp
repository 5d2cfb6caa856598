// The user-name and password prompts shown from the resource module: what lands in the
// asker's answer buffer on OK (an empty answer too, a long one cut to 319 characters), that
// Cancel leaves it alone, password edits that hide what is typed, the focus in the edit and
// the prompt on top. (Their templates' controls are compared with the dialog records.)
#include <gtest/gtest.h>

#include <string>

#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "connection/ftp_connection.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

class Prompts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.attached());
        lstrcpyA(answer_, "previous");
    }
    INT_PTR Run() {
        return RunModuleDialog(USER_NAME_PROMPT, nullptr, UserNamePromptProc,
                         reinterpret_cast<LPARAM>(answer_));
    }
    AttachedModule module_;
    FtpConnection connection_{};
    char answer_[QUESTION_ANSWER_SIZE];
};

}  // namespace

TEST_F(Prompts, OkCopiesTheAnswerCancelKeepsThePreviousOne) {
    DialogScript person;
    person.Expect(USER_NAME_PROMPT).Click(IDCANCEL);
    person.Expect(USER_NAME_PROMPT).Type(IDC_PROMPT_USERNAME, "alice").Click(IDCANCEL);
    person.Expect(USER_NAME_PROMPT).Click(IDOK);
    person.Expect(USER_NAME_PROMPT).Type(IDC_PROMPT_USERNAME, std::string(400, 'u')).Click(IDOK);

    EXPECT_EQ(Run(), 0);
    EXPECT_STREQ(answer_, "previous");
    EXPECT_FALSE(AskQuestion(&connection_, Question::UserName, answer_));
    EXPECT_STREQ(answer_, "previous");
    // An empty edit confirmed is an empty answer.
    EXPECT_EQ(Run(), 1);
    EXPECT_STREQ(answer_, "");
    EXPECT_TRUE(AskQuestion(&connection_, Question::UserName, answer_));
    EXPECT_EQ(std::string(answer_), std::string(QUESTION_ANSWER_SIZE - 1, 'u'));
    EXPECT_TRUE(person.finished());
    EXPECT_TRUE(person.problems().empty()) << person.problems()[0];
    // Messages the prompts do not handle are left to the dialog's default handling.
    EXPECT_EQ(FTPChdirProc(nullptr, WM_COMMAND, 300, 0), FALSE);
    EXPECT_EQ(FTPChdirProc(nullptr, WM_TIMER, 0, 0), FALSE);
}

TEST_F(Prompts, EachQuestionHidesPasswordsAndComesUpFocusedOnTop) {
    const std::pair<Question, const char*> prompts[] = {
        {Question::UserName, USER_NAME_PROMPT},
        {Question::Password, USER_PASSWORD_PROMPT},
        {Question::Account, ACCOUNT_PASSWORD_PROMPT},
    };
    for (const auto& [question, name] : prompts) {
        SCOPED_TRACE(name);
        const int edit = question == Question::UserName ? IDC_PROMPT_USERNAME : IDC_PROMPT_PASSWORD;
        DialogScript person;
        person.Expect(name).Type(edit, "s3cret").Inspect([&](HWND dialog) {
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, edit));
            EXPECT_NE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
            EXPECT_EQ(FindControl(ReadControls(dialog), edit)->shown,
                      question == Question::UserName ? "s3cret" : "******");
        }).Click(IDOK);
        EXPECT_TRUE(AskQuestion(&connection_, question, answer_));
        EXPECT_STREQ(answer_, "s3cret");
        EXPECT_TRUE(person.problems().empty());
    }
}
