// The resource module QUENTL32, loaded by name as the module's start-up loads it: its
// string table holds every text of the module at its id, its system-type question has its
// text, list and buttons, and unloading it takes them away. The prompts' templates are
// checked where the prompts run.
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
    HMODULE module_ = nullptr;
};

TEST_F(ResourceModule, StringTableHoldsEveryTextAtItsId) {
    // The name of HostType n is string n - 1.
    const std::vector<std::string> texts = {
        "OTHER", "DOS", "Macintosh", "MVS", "Brannock", "OS/2", "UNIX", "VM", "VMS",
        "MS-Windows NT Dos", "MS-Windows NT Unix", "MS-Windows 95", "Other", "<none>",
        "FTP Protocol - Error Setting Option",
        "The Remote Host Does Not Support Binary File Type.",
        "The Remote Host Does Not Support Ascii File Type.",
        "The Remote Host Does Not Support File Structure.",
        "The Remote Host Does Not Support Record Structure.",
        "The Remote Host Does Not Support Local Byte File Type.",
        "Not enough memory for a complete listing.",
        "Tarvo FTP could not automatically detect the Remote File System type. Please "
        "choose one from the pulldown menu.",
        "<none>"};
    for (UINT id = 0; id < texts.size(); ++id) {
        char text[256];
        int length = LoadStringA(module_, id, text, sizeof text);
        EXPECT_EQ(length == 0 ? "<none>" : std::string(text, length), texts[id]) << "string " << id;
    }
}

TEST_F(ResourceModule, SystemTypeQuestionHasItsTextListAndButtons) {
    auto ignoring = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; };
    HWND dialog = CreateDialogParamA(module_, "AUTODETECT_DLG", nullptr, ignoring, 0);
    ASSERT_NE(dialog, nullptr);
    char caption[64];
    GetWindowTextA(dialog, caption, sizeof(caption));
    EXPECT_STREQ(caption, "File System Auto Detect");
    const std::vector<tvtest::ControlView> controls = tvtest::ReadControls(dialog);
    const struct {
        int id;
        TvControlKind kind;
        const char* text;
    } expected[] = {{IDC_AUTODETECT_TEXT, TV_CONTROL_STATIC, ""},
                    {IDC_AUTODETECT_LIST, TV_CONTROL_LIST_BOX, ""},
                    {IDOK, TV_CONTROL_PUSH_BUTTON, "OK"},
                    {IDCANCEL, TV_CONTROL_PUSH_BUTTON, "Cancel"},
                    {IDHELP, TV_CONTROL_PUSH_BUTTON, "Help"}};
    ASSERT_EQ(controls.size(), std::size(expected));
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].id, expected[i].id) << i;
        EXPECT_EQ(controls[i].kind, expected[i].kind) << i;
        EXPECT_EQ(controls[i].text, expected[i].text) << i;
    }
    // The list tells its dialog when the person picks a system; OK is the default button.
    EXPECT_NE(controls[1].style & LBS_NOTIFY, 0u);
    EXPECT_EQ(controls[2].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
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
