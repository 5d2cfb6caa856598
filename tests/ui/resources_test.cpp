// The resource module QUENTL32, loaded by name as the module's start-up loads it: its
// string table holds every text of the module at its id, and its dialog templates build
// the user-name and password prompts and the system-type question with their ids,
// captions, labels and kinds of control.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/hooks.h"
#include "tests/support/dialog_script.h"
#include "ui/resources/resource_ids.h"

namespace {

class ResourceModule : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA("QUENTL32.DLL");
        ASSERT_NE(module_, nullptr) << "libquentl32.so is not beside the test program";
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    std::string String(UINT id, int size = 256) {
        std::vector<char> text(static_cast<size_t>(size));
        int length = LoadStringA(module_, id, text.data(), size);
        return length == 0 ? "<none>" : std::string(text.data(), static_cast<size_t>(length));
    }
    HMODULE module_ = nullptr;
};

TEST_F(ResourceModule, StringTableHoldsEveryTextAtItsId) {
    // The name of HostType n is string n - 1.
    const char* const hostNames[] = {"OTHER",
                                     "DOS",
                                     "Macintosh",
                                     "MVS",
                                     "Brannock",
                                     "OS/2",
                                     "UNIX",
                                     "VM",
                                     "VMS",
                                     "MS-Windows NT Dos",
                                     "MS-Windows NT Unix",
                                     "MS-Windows 95",
                                     "Other"};
    for (UINT id = 0; id < std::size(hostNames); ++id) {
        EXPECT_EQ(String(id, 32), hostNames[id]) << "string " << id;
    }
    EXPECT_EQ(String(13), "<none>");
    EXPECT_EQ(String(IDS_OPTION_ERROR_CAPTION, 64), "FTP Protocol - Error Setting Option");
    EXPECT_EQ(String(15, 128), "The Remote Host Does Not Support Binary File Type.");
    EXPECT_EQ(String(16, 128), "The Remote Host Does Not Support Ascii File Type.");
    EXPECT_EQ(String(17, 128), "The Remote Host Does Not Support File Structure.");
    EXPECT_EQ(String(18, 128), "The Remote Host Does Not Support Record Structure.");
    EXPECT_EQ(String(19, 128), "The Remote Host Does Not Support Local Byte File Type.");
    EXPECT_EQ(String(20, 64), "Not enough memory for a complete listing.");
    EXPECT_EQ(String(21, 128),
              "Tarvo FTP could not automatically detect the Remote File System type. Please "
              "choose one from the pulldown menu.");
    EXPECT_EQ(String(22), "<none>");
}

// Ends on OK with 1 and keeps what the prompt's edit held, on Cancel with 0.
std::string gAnswer;
INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) {
        char text[64] = "";
        HWND edit = GetDlgItem(dialog, IDC_PROMPT_PASSWORD);
        if (edit == nullptr) edit = GetDlgItem(dialog, IDC_PROMPT_USERNAME);
        GetWindowTextA(edit, text, sizeof(text));
        gAnswer = text;
        EndDialog(dialog, 1);
    } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return TRUE;
}

struct Seen {
    std::string caption;
    std::vector<tvtest::ControlView> controls;
};

TEST_F(ResourceModule, PromptsHaveTheirCaptionLabelEditAndButtons) {
    struct Prompt {
        const char* name;
        const char* caption;
        const char* label;
        int edit;
        bool hidden;
    };
    const Prompt prompts[] = {
        {"FTP_UN_DLG", "Username Required", "Please Enter Your &Username:", 501, false},
        {"USER_PASSWORD", "Password Required", "Please Enter Your User &Password:", 500, true},
        {"FTP_CD_DLG", "Password Required", "Please Enter Your Account &Password:", 500, true},
    };
    for (const Prompt& prompt : prompts) {
        SCOPED_TRACE(prompt.name);
        Seen seen;
        tvtest::DialogScript script;
        script.Expect(prompt.name)
            .Type(prompt.edit, "bob")
            .Inspect([&](HWND dialog) {
                char caption[64];
                GetWindowTextA(dialog, caption, sizeof(caption));
                seen.caption = caption;
                seen.controls = tvtest::ReadControls(dialog);
            })
            .Click(IDOK);
        gAnswer.clear();
        EXPECT_EQ(DialogBoxParamA(module_, prompt.name, nullptr, PromptProc, 0), 1);
        EXPECT_TRUE(script.problems().empty());
        EXPECT_EQ(gAnswer, "bob");
        EXPECT_EQ(seen.caption, prompt.caption);
        ASSERT_EQ(seen.controls.size(), 4u);
        EXPECT_EQ(seen.controls[0].kind, TV_CONTROL_STATIC);
        EXPECT_EQ(seen.controls[0].text, prompt.label);
        const tvtest::ControlView& edit = seen.controls[1];
        EXPECT_EQ(edit.id, prompt.edit);
        EXPECT_EQ(edit.kind, TV_CONTROL_EDIT);
        EXPECT_EQ((edit.style & ES_PASSWORD) != 0, prompt.hidden);
        EXPECT_EQ(edit.shown, prompt.hidden ? "***" : "bob");
        EXPECT_EQ(seen.controls[2].id, IDOK);
        EXPECT_EQ(seen.controls[2].text, "OK");
        EXPECT_EQ(seen.controls[2].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
        EXPECT_EQ(seen.controls[3].id, IDCANCEL);
        EXPECT_EQ(seen.controls[3].text, "Cancel");
    }

    // Escape without a person: Cancel.
    gAnswer = "kept";
    EXPECT_EQ(DialogBoxParamA(module_, "FTP_UN_DLG", nullptr, PromptProc, 0), 0);
    EXPECT_EQ(gAnswer, "kept");
}

TEST_F(ResourceModule, SystemTypeQuestionHasItsTextListAndButtons) {
    HWND dialog = CreateDialogParamA(module_, "AUTODETECT_DLG", nullptr, PromptProc, 0);
    ASSERT_NE(dialog, nullptr);
    char caption[64];
    GetWindowTextA(dialog, caption, sizeof(caption));
    EXPECT_STREQ(caption, "File System Auto Detect");
    std::vector<tvtest::ControlView> controls = tvtest::ReadControls(dialog);
    auto kindOf = [&](int id) {
        const tvtest::ControlView* control = tvtest::FindControl(controls, id);
        return control == nullptr ? TV_CONTROL_OTHER : control->kind;
    };
    auto textOf = [&](int id) {
        const tvtest::ControlView* control = tvtest::FindControl(controls, id);
        return control == nullptr ? std::string("<missing>") : control->text;
    };
    EXPECT_EQ(controls.size(), 5u);
    EXPECT_EQ(kindOf(IDC_AUTODETECT_TEXT), TV_CONTROL_STATIC);
    EXPECT_EQ(kindOf(IDC_AUTODETECT_LIST), TV_CONTROL_LIST_BOX);
    EXPECT_EQ(kindOf(IDOK), TV_CONTROL_PUSH_BUTTON);
    EXPECT_EQ(textOf(IDOK), "OK");
    EXPECT_EQ(textOf(IDCANCEL), "Cancel");
    EXPECT_EQ(textOf(IDHELP), "Help");
    EXPECT_EQ(IDHELP, 9);
    // The list tells its dialog when the person picks a system.
    EXPECT_NE(tvtest::FindControl(controls, IDC_AUTODETECT_LIST)->style & LBS_NOTIFY, 0u);
    DestroyWindow(dialog);
}

TEST_F(ResourceModule, UnloadingTheModuleTakesItsTextsAndDialogsAway) {
    HMODULE module = module_;
    FreeLibrary(module_);
    module_ = nullptr;
    if (GetModuleHandleA("QUENTL32.DLL") != nullptr) GTEST_SKIP() << "still loaded elsewhere";
    char text[16];
    EXPECT_EQ(LoadStringA(module, IDS_HOST_DOS, text, sizeof(text)), 0);
    EXPECT_EQ(FindResourceA(module, "FTP_UN_DLG", RT_DIALOG), nullptr);
    // Loading it again brings them back.
    module_ = LoadLibraryA("QUENTL32.DLL");
    ASSERT_NE(module_, nullptr);
    EXPECT_EQ(LoadStringA(module_, IDS_HOST_DOS, text, sizeof(text)), 3);
    EXPECT_NE(FindResourceA(module_, "FTP_UN_DLG", RT_DIALOG), nullptr);
}

}  // namespace
