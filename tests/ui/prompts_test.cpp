// The user-name and password prompts shown from the resource module: what lands in the
// shared answer buffer on OK (an empty answer too, a long one cut to 319 characters), that
// Cancel leaves it alone, password edits that hide what is typed, the focus in the edit
// and the prompt on top.
#include <gtest/gtest.h>

#include <string>

#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

class Prompts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.attached());
        lstrcpyA(gPromptAnswer, "previous");
    }
    AttachedModule module_;
};

}  // namespace

TEST_F(Prompts, OkCopiesTheAnswerCancelKeepsThePreviousOne) {
    DialogScript person;
    person.Expect(USER_NAME_PROMPT).Click(IDCANCEL);
    person.Expect(USER_NAME_PROMPT).Type(IDC_PROMPT_USERNAME, "alice").Click(IDCANCEL);
    person.Expect(USER_NAME_PROMPT).Click(IDOK);
    person.Expect(USER_NAME_PROMPT).Type(IDC_PROMPT_USERNAME, std::string(400, 'u')).Click(IDOK);
    person.Expect(USER_NAME_PROMPT).Type(IDC_PROMPT_USERNAME, "bob").Click(IDOK);

    EXPECT_EQ(RunDialog(USER_NAME_PROMPT, nullptr, UserNamePromptProc), 0);
    EXPECT_STREQ(gPromptAnswer, "previous");
    EXPECT_FALSE(AskUser(USER_NAME_PROMPT));
    EXPECT_STREQ(gPromptAnswer, "previous");
    // An empty edit confirmed is an empty answer.
    EXPECT_EQ(RunDialog(USER_NAME_PROMPT, nullptr, UserNamePromptProc), 1);
    EXPECT_STREQ(gPromptAnswer, "");
    EXPECT_TRUE(AskUser(USER_NAME_PROMPT));
    EXPECT_EQ(std::string(gPromptAnswer), std::string(PROMPT_ANSWER_SIZE - 1, 'u'));
    EXPECT_TRUE(AskUser(USER_NAME_PROMPT));
    EXPECT_STREQ(gPromptAnswer, "bob");
    EXPECT_TRUE(person.finished());
    EXPECT_TRUE(person.problems().empty()) << person.problems()[0];
    EXPECT_EQ(RunDialog("NO_SUCH_DLG", nullptr, FTPChdirProc), -1);
}

TEST_F(Prompts, PasswordPromptsHideTheAnswerAndComeUpFocusedOnTop) {
    for (const char* prompt : {USER_PASSWORD_PROMPT, ACCOUNT_PASSWORD_PROMPT, USER_NAME_PROMPT}) {
        SCOPED_TRACE(prompt);
        const bool password = std::string(prompt) != USER_NAME_PROMPT;
        const int edit = password ? IDC_PROMPT_PASSWORD : IDC_PROMPT_USERNAME;
        DialogScript person;
        person.Expect(prompt).Type(edit, "s3cret").Inspect([&](HWND dialog) {
            HWND control = GetDlgItem(dialog, edit);
            EXPECT_EQ(GetFocus(), control);
            EXPECT_NE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
            std::vector<ControlView> controls = ReadControls(dialog);
            const ControlView* view = FindControl(controls, edit);
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(view->shown, password ? "******" : "s3cret");
        }).Click(IDOK);
        EXPECT_TRUE(AskUser(prompt));
        EXPECT_STREQ(gPromptAnswer, "s3cret");
        EXPECT_TRUE(person.problems().empty());
    }
    // Messages the prompts do not handle are left to the dialog's default handling.
    EXPECT_EQ(FTPChdirProc(nullptr, WM_COMMAND, 300, 0), FALSE);
    EXPECT_EQ(FTPChdirProc(nullptr, WM_TIMER, 0, 0), FALSE);
}
