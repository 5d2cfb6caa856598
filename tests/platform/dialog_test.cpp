// Dialogs and controls of the POSIX platform as the module's dialogs and the host's person
// use them: dialogs built from registered templates, modal runs driven by a scripted person
// or cancelled without one, WM_INITDIALOG and the focus, and the controls' messages and
// notifications. (A dialog of a registered class is the protocol window, tested with it;
// what a person sees of each control is compared with the dialog records.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/hooks.h"
#include "tests/support/dialog_script.h"

namespace {

using Commands = std::vector<std::pair<int, int>>;  // control id, notification code

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x7100000);

constexpr int kName = 101;
constexpr int kSecret = 102;
constexpr int kAgree = 103;
constexpr int kList = 107;
constexpr int kMulti = 202;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const TvDialogControlTemplate kFormControls[] = {
    {"Static", "&Name:", -1, kChild | SS_LEFT | WS_GROUP, 0, 4, 4, 60, 10},
    {"Edit", "", kName, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 4, 16, 100, 12},
    {"Edit", "", kSecret, kChild | WS_BORDER | WS_TABSTOP | ES_PASSWORD, 0, 4, 30, 100, 12},
    {"Button", "&Agree", kAgree, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 4, 44, 60, 10},
    {"ListBox", "", kList, kChild | LBS_NOTIFY | WS_BORDER | WS_TABSTOP, 0, 110, 4, 80, 60},
    {"Button", "OK", IDOK, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 40, 100, 50, 14},
    {"Button", "Cancel", IDCANCEL, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 100, 100, 50, 14},
};
const TvDialogControlTemplate kListControls[] = {
    {"ListBox", "", kMulti, kChild | LBS_EXTENDEDSEL | LBS_NOTIFY, 0, 90, 0, 80, 60},
};
const TvDialogTemplate kTemplates[] = {
    {"TEST_FORM_DLG", DS_MODALFRAME | WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 10, 10, 200, 120,
     "Form", nullptr, "MS Sans Serif", 8, kFormControls, std::size(kFormControls)},
    {"TEST_LISTS_DLG", WS_POPUP, 0, 0, 0, 200, 150, "Lists", nullptr, nullptr, 0, kListControls,
     std::size(kListControls)},
};

// What the form's procedure saw and read.
struct FormRun {
    LPARAM initParam = 0;
    int initFocusId = 0;
    INT_PTR initAnswer = FALSE;
    bool ignoreCancel = false;
    std::string name, secret;
    UINT agreed = 99;
    LRESULT listSelection = LB_ERR;
    Commands commands;
    bool saw(int id, int code) const {
        return std::find(commands.begin(), commands.end(), std::make_pair(id, code)) !=
               commands.end();
    }
};
FormRun gForm;

std::string ItemText(HWND dialog, int id) {
    char text[256];
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

INT_PTR CALLBACK FormProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        gForm.initParam = lParam;
        gForm.initFocusId = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
        SendDlgItemMessageA(dialog, kName, EM_LIMITTEXT, 5, 0);
        for (const char* item : {"gamma", "alpha", "beta"})
            SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SetFocus(GetDlgItem(dialog, kSecret));
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return gForm.initAnswer;
    }
    if (message != WM_COMMAND) return FALSE;
    gForm.commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
    if (LOWORD(wParam) == IDOK) {
        gForm.name = ItemText(dialog, kName);
        gForm.secret = ItemText(dialog, kSecret);
        gForm.agreed = IsDlgButtonChecked(dialog, kAgree);
        gForm.listSelection = SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0);
        EndDialog(dialog, 77);
    } else if (LOWORD(wParam) == IDCANCEL && !gForm.ignoreCancel) {
        EndDialog(dialog, 5);
    }
    return TRUE;
}

// Records the notifications of the lists dialog.
Commands gListCommands;
INT_PTR CALLBACK RecordingProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) gListCommands.emplace_back(LOWORD(wParam), HIWORD(wParam));
    return message == WM_COMMAND;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gForm = FormRun{};
        gListCommands.clear();
        ASSERT_TRUE(TvRegisterDialogTemplates(kInstance, kTemplates, std::size(kTemplates)));
        owner_ = CreateWindowExA(0, "Static", "owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                 kInstance, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner_);
        TvUnregisterDialogTemplates(kInstance);
    }
    INT_PTR RunForm(LPARAM param = 0) {
        return DialogBoxParamA(kInstance, "TEST_FORM_DLG", owner_, FormProc, param);
    }
    HWND owner_ = nullptr;
};

TEST_F(DialogTest, ModalFormRunsThePersonsScriptAndReturnsTheEndDialogValue) {
    HWND dialog = nullptr;
    bool focusOnSecret = false, topmost = false, ownerEnabled = true;
    tvtest::DialogScript script;
    script.Expect("TEST_FORM_DLG")
        .Inspect([&](HWND d) {
            dialog = d;
            focusOnSecret = GetFocus() == GetDlgItem(d, kSecret);
            topmost = (GetWindowLongA(d, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            ownerEnabled = IsWindowEnabled(owner_);
        })
        .Type(kName, "abcdefgh")
        .Type(kSecret, "s3cret")
        .Click(kAgree)
        .Choose(kList, "beta")
        .Click(IDOK);

    EXPECT_EQ(RunForm(0x1234), 77);
    EXPECT_TRUE(script.problems().empty()) << script.problems().front();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(gForm.initParam, 0x1234);
    // WM_INITDIALOG answered FALSE after setting the focus itself: the focus stays there.
    EXPECT_TRUE(focusOnSecret);
    EXPECT_TRUE(topmost);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindow(dialog));

    // Typing stops at the limit of 5; the password edit keeps its real text.
    EXPECT_EQ(gForm.name, "abcde");
    EXPECT_EQ(gForm.secret, "s3cret");
    EXPECT_EQ(gForm.agreed, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(gForm.listSelection, 2);
    for (auto [id, code] : Commands{{kName, EN_CHANGE}, {kName, EN_MAXTEXT},
                                    {kList, LBN_SELCHANGE}, {kAgree, BN_CLICKED}}) {
        EXPECT_TRUE(gForm.saw(id, code)) << id << " " << code;
    }
}

TEST_F(DialogTest, WithoutAPersonTheDialogIsCancelledAndMissingTemplatesFail) {
    gForm.initAnswer = TRUE;
    EXPECT_EQ(RunForm(), 5);
    EXPECT_EQ(gForm.commands, (Commands{{IDCANCEL, BN_CLICKED}}));
    // WM_INITDIALOG answered TRUE: the default focus is the first tab stop, the name edit.
    EXPECT_EQ(gForm.initFocusId, kName);

    // A procedure that ignores Cancel cannot hold the caller: the dialog ends with IDCANCEL.
    gForm = FormRun{};
    gForm.ignoreCancel = true;
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(gForm.commands.size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(owner_));

    gForm = FormRun{};
    EXPECT_EQ(DialogBoxParamA(kInstance, "NO_SUCH_DLG", owner_, FormProc, 0), -1);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(DialogBoxParamA(reinterpret_cast<HINSTANCE>(0x7200000), "TEST_FORM_DLG", owner_,
                              FormProc, 0),
              -1);
    EXPECT_EQ(CreateDialogParamA(kInstance, "NO_SUCH_DLG", owner_, FormProc, 0), nullptr);
    EXPECT_EQ(DialogBoxParamA(kInstance, "TEST_FORM_DLG", reinterpret_cast<HWND>(0x4), FormProc, 0),
              -1);
    EXPECT_TRUE(gForm.commands.empty());
}

TEST_F(DialogTest, DriverIsCalledWhileTheDialogStaysOpenUpToTheRoundLimit) {
    int calls = 0;
    auto idle = [](HWND, LPCSTR, void* count) -> BOOL { return ++*static_cast<int*>(count) > 0; };
    auto givingUp = [](HWND, LPCSTR, void* count) -> BOOL {
        return ++*static_cast<int*>(count) < 0;
    };
    auto twoSteps = [](HWND dialog, LPCSTR name, void* count) -> BOOL {
        EXPECT_STREQ(name, "TEST_FORM_DLG");
        if (++*static_cast<int*>(count) == 1) return TvTypeText(GetDlgItem(dialog, kName), "x");
        return TvClickControl(GetDlgItem(dialog, IDOK));
    };
    TvDialogDriverHook previous = TvSetDialogDriver({twoSteps, &calls});
    EXPECT_EQ(RunForm(), 77);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(gForm.name, "x");
    const std::pair<TvDialogDriver, int> drivers[] = {{idle, TV_DIALOG_DRIVER_ROUNDS},
                                                      {givingUp, 1}};
    for (auto [driver, rounds] : drivers) {
        TvSetDialogDriver({driver, &calls});
        calls = 0;
        EXPECT_EQ(RunForm(), 5);
        EXPECT_EQ(calls, rounds);
        EXPECT_TRUE(gForm.saw(IDCANCEL, BN_CLICKED));
    }
    EXPECT_EQ(TvSetDialogDriver(previous).context, &calls);
}

std::vector<std::pair<int, std::string>> gObserved;
void ObserveLine(HWND, int index, LPCSTR text, void* context) {
    *static_cast<int*>(context) += 1;
    gObserved.emplace_back(index, text);
}
std::string ListText(HWND list, int index) {
    char text[64] = "unchanged";
    LRESULT length = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
    return length == LB_ERR ? "LB_ERR" : text;
}

TEST_F(DialogTest, ListBoxesKeepOrderSelectionAndSearch) {
    gObserved.clear();
    HWND dialog = CreateDialogParamA(kInstance, "TEST_FORM_DLG", owner_, FormProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));  // the template does not ask to be shown
    HWND list = GetDlgItem(dialog, kList);
    auto send = [](HWND control, UINT message, WPARAM wParam, const char* text = nullptr) {
        return SendMessageA(control, message, wParam, reinterpret_cast<LPARAM>(text));
    };
    int observedCalls = 0;
    TvListBoxObserverHook previous = TvSetListBoxObserver({ObserveLine, &observedCalls});
    send(list, LB_ADDSTRING, 0, "alpha2");  // after gamma, alpha, beta
    EXPECT_EQ(ListText(list, 0), "gamma");
    EXPECT_EQ(ListText(list, 3), "alpha2");
    EXPECT_EQ(ListText(list, 4), "LB_ERR");
    EXPECT_EQ(observedCalls, 1);
    EXPECT_EQ(gObserved.back(), std::make_pair(3, std::string("alpha2")));

    // The search ignores case, starts after the item given and goes round.
    EXPECT_EQ(send(list, LB_FINDSTRING, -1, "AL"), 1);
    EXPECT_EQ(send(list, LB_FINDSTRING, 1, "al"), 3);
    EXPECT_EQ(send(list, LB_FINDSTRING, 3, "al"), 1);
    EXPECT_EQ(send(list, LB_FINDSTRING, -1, "delta"), LB_ERR);
    EXPECT_EQ(send(list, LB_GETTEXTLEN, 3), 6);
    gForm.commands.clear();
    EXPECT_EQ(send(list, LB_SETCURSEL, 3), 3);
    EXPECT_EQ(send(list, LB_GETCURSEL, 0), 3);
    EXPECT_EQ(send(list, LB_SETCURSEL, 7), LB_ERR);
    EXPECT_EQ(send(list, LB_SETCURSEL, static_cast<WPARAM>(-1)), LB_ERR);
    EXPECT_EQ(send(list, LB_GETCURSEL, 0), LB_ERR);
    EXPECT_TRUE(gForm.commands.empty());  // nothing a person did
    DestroyWindow(dialog);

    // In a multiple-selection list a plain click selects only its item, a Ctrl+click adds
    // one, and each tells the dialog; there is no single current selection to set.
    dialog = CreateDialogParamA(kInstance, "TEST_LISTS_DLG", owner_, RecordingProc, 0);
    HWND multi = GetDlgItem(dialog, kMulti);
    for (const char* item : {"a", "b", "c", "d", "e"}) send(multi, LB_ADDSTRING, 0, item);
    EXPECT_EQ(send(multi, LB_SETCURSEL, 1), LB_ERR);
    SendMessageA(multi, LB_SETSEL, TRUE, 1);
    EXPECT_FALSE(TvChooseListItem(multi, 2, FALSE));  // hidden
    ShowWindow(dialog, SW_SHOW);
    EXPECT_TRUE(TvChooseListItem(multi, 2, FALSE));
    EXPECT_TRUE(TvChooseListItem(multi, 4, TRUE));
    EXPECT_FALSE(TvChooseListItem(multi, 5, FALSE));
    INT selected[4] = {-1, -1, -1, -1};
    EXPECT_EQ(SendMessageA(multi, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(selected)), 2);
    EXPECT_EQ(std::vector<int>(selected, selected + 3), (std::vector<int>{2, 4, -1}));
    EXPECT_EQ(send(multi, LB_GETSELCOUNT, 0), 2);
    EXPECT_EQ(gListCommands, (Commands{{kMulti, LBN_SELCHANGE}, {kMulti, LBN_SELCHANGE}}));
    TvSetListBoxObserver(previous);

    EXPECT_TRUE(EndDialog(dialog, 3));  // a modeless dialog is only hidden
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(DestroyWindow(dialog));
}

TEST_F(DialogTest, ButtonsAndEditsThroughTheDialogCalls) {
    HWND dialog = CreateDialogParamA(kInstance, "TEST_FORM_DLG", owner_, FormProc, 0);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    gForm.commands.clear();
    auto checked = [&](int id) { return IsDlgButtonChecked(dialog, id); };

    EXPECT_TRUE(TvClickControl(GetDlgItem(dialog, kAgree)));
    EXPECT_EQ(checked(kAgree), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kAgree));
    CheckDlgButton(dialog, kAgree, BST_UNCHECKED);
    EXPECT_EQ(checked(kAgree), static_cast<UINT>(BST_UNCHECKED));
    CheckDlgButton(dialog, IDOK, BST_CHECKED);  // a push button holds no check
    EXPECT_EQ(checked(IDOK), static_cast<UINT>(BST_UNCHECKED));
    // A disabled button takes no click, a hidden edit no typing, a list no click.
    EnableWindow(GetDlgItem(dialog, kAgree), FALSE);
    EXPECT_FALSE(TvClickControl(GetDlgItem(dialog, kAgree)));
    SendDlgItemMessageA(dialog, kAgree, BM_CLICK, 0, 0);
    EXPECT_EQ(checked(kAgree), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_FALSE(TvClickControl(GetDlgItem(dialog, kList)));
    ShowWindow(GetDlgItem(dialog, kName), SW_HIDE);
    EXPECT_FALSE(TvTypeText(GetDlgItem(dialog, kName), "x"));
    EXPECT_EQ(gForm.commands, (Commands{{kAgree, BN_CLICKED}}));

    // The program's own text is not held to the limit of 5 that typing is.
    EXPECT_EQ(SendDlgItemMessageA(dialog, kName, EM_GETLIMITTEXT, 0, 0), 5);
    EXPECT_TRUE(SetDlgItemTextA(dialog, kName, "longer than five"));
    EXPECT_EQ(ItemText(dialog, kName), "longer than five");
    char small[4];
    EXPECT_EQ(GetDlgItemTextA(dialog, kName, small, sizeof(small)), 3u);
    EXPECT_STREQ(small, "lon");

    // What a password edit shows, cut to the buffer.
    HWND secret = GetDlgItem(dialog, kSecret);
    SetWindowTextA(secret, "hunter2");
    char shown[5];
    EXPECT_EQ(TvGetControlDisplayText(secret, shown, sizeof(shown)), 4);
    EXPECT_STREQ(shown, "****");

    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 999, LB_GETCOUNT, 0, 0), 0);
    DestroyWindow(dialog);
}

}  // namespace
