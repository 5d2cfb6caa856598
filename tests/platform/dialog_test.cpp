// Dialogs and controls of the POSIX platform: dialogs built from registered templates,
// modal runs driven by a scripted person or cancelled without one, WM_INITDIALOG and the
// focus, the controls' messages and notifications, dialogs of registered classes, and the
// resource calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/hooks.h"
#include "tests/support/dialog_script.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x7100000);

constexpr int kName = 101;
constexpr int kSecret = 102;
constexpr int kAgree = 103;
constexpr int kRadioA = 104;
constexpr int kRadioB = 105;
constexpr int kRadioC = 106;
constexpr int kList = 107;
constexpr int kSorted = 201;
constexpr int kMulti = 202;
constexpr int kDropList = 203;
constexpr int kDropDown = 204;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const TvDialogControlTemplate kFormControls[] = {
    {"Static", "&Name:", -1, kChild | SS_LEFT | WS_GROUP, 0, 4, 4, 60, 10},
    {"Edit", "", kName, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 4, 16, 100, 12},
    {"Edit", "", kSecret, kChild | WS_BORDER | WS_TABSTOP | ES_PASSWORD, 0, 4, 30, 100, 12},
    {"Button", "&Agree", kAgree, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 4, 44, 60, 10},
    {"Button", "A", kRadioA, kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, 4, 56, 30, 10},
    {"Button", "B", kRadioB, kChild | BS_AUTORADIOBUTTON, 0, 40, 56, 30, 10},
    {"Button", "C", kRadioC, kChild | BS_AUTORADIOBUTTON | WS_GROUP, 0, 80, 56, 30, 10},
    {"ListBox", "", kList, kChild | LBS_NOTIFY | WS_BORDER | WS_TABSTOP, 0, 110, 4, 80, 60},
    {"Button", "OK", IDOK, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 40, 100, 50, 14},
    {"Button", "Cancel", IDCANCEL, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 100, 100, 50, 14},
};
const TvDialogControlTemplate kNumberedControls[] = {
    {"Button", "OK", IDOK, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 4, 4, 50, 14},
};
const TvDialogControlTemplate kListControls[] = {
    {"ListBox", "", kSorted, kChild | LBS_SORT | LBS_NOTIFY, 0, 0, 0, 80, 60},
    {"ListBox", "", kMulti, kChild | LBS_EXTENDEDSEL | LBS_NOTIFY, 0, 90, 0, 80, 60},
    {"ComboBox", "", kDropList, kChild | CBS_DROPDOWNLIST, 0, 0, 70, 80, 60},
    {"ComboBox", "", kDropDown, kChild | CBS_DROPDOWN, 0, 90, 70, 80, 60},
};
const TvDialogTemplate kTemplates[] = {
    {"TEST_FORM_DLG", DS_MODALFRAME | WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 10, 10, 200, 120,
     "Form", nullptr, "MS Sans Serif", 8, kFormControls, std::size(kFormControls)},
    {"#120", WS_POPUP | WS_CAPTION, 0, 0, 0, 100, 40, "Numbered", nullptr, nullptr, 0,
     kNumberedControls, std::size(kNumberedControls)},
    {"TEST_LISTS_DLG", WS_POPUP, 0, 0, 0, 200, 150, "Lists", nullptr, nullptr, 0, kListControls,
     std::size(kListControls)},
    {"TEST_CLASS_DLG", WS_POPUP | WS_VISIBLE, 0, 0, 0, 100, 40, "Class", "TvTestClassDialog",
     nullptr, 0, nullptr, 0},
};

// What the form's procedure saw and read.
struct FormRun {
    LPARAM initParam = 0;
    int initFocusId = 0;
    INT_PTR initAnswer = FALSE;
    bool ignoreCancel = false;
    std::string name;
    std::string secret;
    UINT agree = 0, radioA = 0, radioB = 0, radioC = 0;
    LRESULT listSelection = LB_ERR;
    std::vector<std::pair<int, int>> commands;  // id, notification code
    bool saw(int id, int code) const {
        for (auto& command : commands)
            if (command == std::make_pair(id, code)) return true;
        return false;
    }
};
FormRun gForm;

std::string ItemText(HWND dialog, int id) {
    char text[256];
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

INT_PTR CALLBACK FormProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            gForm.initParam = lParam;
            gForm.initFocusId = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
            SendDlgItemMessageA(dialog, kName, EM_LIMITTEXT, 5, 0);
            for (const char* item : {"gamma", "alpha", "beta"})
                SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
            CheckRadioButton(dialog, kRadioA, kRadioB, kRadioA);
            CheckDlgButton(dialog, kRadioC, BST_CHECKED);
            SetFocus(GetDlgItem(dialog, kSecret));
            SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return gForm.initAnswer;
        case WM_COMMAND:
            gForm.commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
            if (LOWORD(wParam) == IDOK) {
                gForm.name = ItemText(dialog, kName);
                gForm.secret = ItemText(dialog, kSecret);
                gForm.agree = IsDlgButtonChecked(dialog, kAgree);
                gForm.radioA = IsDlgButtonChecked(dialog, kRadioA);
                gForm.radioB = IsDlgButtonChecked(dialog, kRadioB);
                gForm.radioC = IsDlgButtonChecked(dialog, kRadioC);
                gForm.listSelection = SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0);
                EndDialog(dialog, 77);
            } else if (LOWORD(wParam) == IDCANCEL && !gForm.ignoreCancel) {
                EndDialog(dialog, 5);
            }
            return TRUE;
        default: return FALSE;
    }
}

// Opens the form inside itself: the numbered dialog's OK runs the form as a nested modal
// dialog owned by it.
INT_PTR CALLBACK NestingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        INT_PTR inner = DialogBoxParamA(kInstance, "TEST_FORM_DLG", dialog, FormProc, 0);
        EndDialog(dialog, 1000 + inner);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gForm = FormRun{};
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
    HWND secretEdit = nullptr;
    HWND focusAtStart = nullptr;
    bool topmost = false;
    bool ownerEnabled = true;
    std::vector<tvtest::ControlView> typed;
    tvtest::DialogScript script;
    script.Expect("TEST_FORM_DLG")
        .Inspect([&](HWND d) {
            dialog = d;
            secretEdit = GetDlgItem(d, kSecret);
            focusAtStart = GetFocus();
            topmost = (GetWindowLongA(d, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            ownerEnabled = IsWindowEnabled(owner_);
        })
        .Type(kName, "abcdefgh")
        .Type(kSecret, "s3cret")
        .Click(kAgree)
        .Click(kRadioB)
        .Choose(kList, "beta")
        .Inspect([&](HWND d) { typed = tvtest::ReadControls(d); })
        .Click(IDOK);

    EXPECT_EQ(RunForm(0x1234), 77);
    EXPECT_TRUE(script.problems().empty()) << script.problems().front();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(gForm.initParam, 0x1234);
    // WM_INITDIALOG answered FALSE after setting the focus itself: the focus stays there.
    EXPECT_EQ(focusAtStart, secretEdit);
    EXPECT_NE(secretEdit, nullptr);
    EXPECT_TRUE(topmost);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindow(dialog));

    // Typing stops at the limit of 5; the password edit keeps its real text.
    EXPECT_EQ(gForm.name, "abcde");
    EXPECT_EQ(gForm.secret, "s3cret");
    EXPECT_EQ(gForm.agree, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(gForm.radioA, static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(gForm.radioB, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(gForm.radioC, static_cast<UINT>(BST_CHECKED));  // a group of its own
    EXPECT_EQ(gForm.listSelection, 2);
    EXPECT_TRUE(gForm.saw(kName, EN_CHANGE));
    EXPECT_TRUE(gForm.saw(kName, EN_MAXTEXT));
    EXPECT_TRUE(gForm.saw(kList, LBN_SELCHANGE));
    EXPECT_TRUE(gForm.saw(kAgree, BN_CLICKED));

    // What a person sees: the controls of the template with their kinds, the password
    // hidden.
    ASSERT_EQ(typed.size(), std::size(kFormControls));
    EXPECT_EQ(typed[0].kind, TV_CONTROL_STATIC);
    EXPECT_EQ(typed[0].text, "&Name:");
    const tvtest::ControlView* secret = tvtest::FindControl(typed, kSecret);
    ASSERT_NE(secret, nullptr);
    EXPECT_EQ(secret->kind, TV_CONTROL_EDIT);
    EXPECT_EQ(secret->text, "s3cret");
    EXPECT_EQ(secret->shown, "******");
    EXPECT_EQ(tvtest::FindControl(typed, kName)->shown, "abcde");
    EXPECT_EQ(tvtest::FindControl(typed, kRadioA)->kind, TV_CONTROL_RADIO_BUTTON);
    EXPECT_EQ(tvtest::FindControl(typed, kAgree)->kind, TV_CONTROL_CHECK_BOX);
    EXPECT_EQ(tvtest::FindControl(typed, kList)->items,
              (std::vector<std::string>{"gamma", "alpha", "beta"}));
    EXPECT_EQ(tvtest::FindControl(typed, kList)->selected, std::vector<int>{2});
    const tvtest::ControlView* ok = tvtest::FindControl(typed, IDOK);
    EXPECT_EQ(ok->kind, TV_CONTROL_PUSH_BUTTON);
    EXPECT_EQ(ok->style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
}

TEST_F(DialogTest, WithoutAPersonTheDialogIsCancelledAsByEscape) {
    // The procedure ends the dialog on Cancel with its own value.
    gForm.initAnswer = TRUE;
    EXPECT_EQ(RunForm(), 5);
    ASSERT_EQ(gForm.commands.size(), 1u);
    EXPECT_TRUE(gForm.saw(IDCANCEL, BN_CLICKED));
    // WM_INITDIALOG answered TRUE: the default focus is the first tab stop, the name edit.
    EXPECT_EQ(gForm.initFocusId, kName);

    // A procedure that ignores Cancel cannot hold the caller: the dialog ends with IDCANCEL.
    gForm = FormRun{};
    gForm.ignoreCancel = true;
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(gForm.commands.size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

namespace {
int gDriverCalls = 0;
BOOL IdleDriver(HWND, LPCSTR, void*) {
    ++gDriverCalls;
    return TRUE;
}
BOOL GivingUpDriver(HWND, LPCSTR, void*) {
    ++gDriverCalls;
    return FALSE;
}
BOOL TwoStepDriver(HWND dialog, LPCSTR name, void*) {
    ++gDriverCalls;
    EXPECT_STREQ(name, "TEST_FORM_DLG");
    if (gDriverCalls == 1) return TvTypeText(GetDlgItem(dialog, kName), "x");
    return TvClickControl(GetDlgItem(dialog, IDOK));
}
}  // namespace

TEST_F(DialogTest, DriverIsCalledWhileTheDialogStaysOpenUpToTheRoundLimit) {
    TvDialogDriverHook previous = TvSetDialogDriver({TwoStepDriver, nullptr});
    gDriverCalls = 0;
    EXPECT_EQ(RunForm(), 77);
    EXPECT_EQ(gDriverCalls, 2);
    EXPECT_EQ(gForm.name, "x");

    TvSetDialogDriver({IdleDriver, nullptr});
    gDriverCalls = 0;
    gForm = FormRun{};
    EXPECT_EQ(RunForm(), 5);
    EXPECT_EQ(gDriverCalls, TV_DIALOG_DRIVER_ROUNDS);
    EXPECT_TRUE(gForm.saw(IDCANCEL, BN_CLICKED));

    TvSetDialogDriver({GivingUpDriver, nullptr});
    gDriverCalls = 0;
    EXPECT_EQ(RunForm(), 5);
    EXPECT_EQ(gDriverCalls, 1);

    TvDialogDriverHook mine = TvSetDialogDriver(previous);
    EXPECT_EQ(mine.driver, GivingUpDriver);
}

TEST_F(DialogTest, NestedDialogsAreDrivenInTurnAndScriptMistakesCancel) {
    {
        tvtest::DialogScript script;
        script.Expect("#120").Click(IDOK);
        script.Expect("TEST_FORM_DLG").Type(kName, "in").Click(IDOK);
        EXPECT_EQ(DialogBoxParamA(kInstance, MAKEINTRESOURCEA(120), owner_, NestingProc, 0), 1077);
        EXPECT_TRUE(script.problems().empty());
        EXPECT_EQ(script.shown(), (std::vector<std::string>{"#120", "TEST_FORM_DLG"}));
        EXPECT_EQ(gForm.name, "in");
    }
    {
        // Another dialog than the script expects is cancelled and reported.
        tvtest::DialogScript script;
        script.Expect("OTHER_DLG").Click(IDOK);
        EXPECT_EQ(RunForm(), 5);
        ASSERT_EQ(script.problems().size(), 1u);
        EXPECT_EQ(script.problems()[0], "dialog TEST_FORM_DLG instead of OTHER_DLG");
    }
    {
        // A person cannot click a disabled button, nor type into a hidden edit.
        gForm = FormRun{};
        tvtest::DialogScript script;
        script.Expect("TEST_FORM_DLG")
            .Inspect([](HWND d) { EnableWindow(GetDlgItem(d, IDOK), FALSE); })
            .Click(IDOK);
        script.Expect("TEST_FORM_DLG")
            .Inspect([](HWND d) { ShowWindow(GetDlgItem(d, kName), SW_HIDE); })
            .Type(kName, "x");
        EXPECT_EQ(RunForm(), 5);
        EXPECT_FALSE(gForm.saw(IDOK, BN_CLICKED));
        EXPECT_EQ(RunForm(), 5);
        EXPECT_EQ(script.problems(),
                  (std::vector<std::string>{"TEST_FORM_DLG: cannot click 1",
                                            "TEST_FORM_DLG: cannot type into 101"}));
    }
}

TEST_F(DialogTest, MissingTemplatesAndBadArgumentsFailAndResourcesLeadToTheTemplate) {
    EXPECT_EQ(DialogBoxParamA(kInstance, "NO_SUCH_DLG", owner_, FormProc, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(DialogBoxParamA(reinterpret_cast<HINSTANCE>(0x7200000), "TEST_FORM_DLG", owner_,
                              FormProc, 0),
              -1);
    EXPECT_EQ(CreateDialogParamA(kInstance, "NO_SUCH_DLG", owner_, FormProc, 0), nullptr);
    EXPECT_EQ(DialogBoxParamA(kInstance, "TEST_FORM_DLG", reinterpret_cast<HWND>(0x4), FormProc, 0),
              -1);
    DLGTEMPLATE forged{};
    EXPECT_EQ(DialogBoxIndirectParamA(kInstance, &forged, owner_, FormProc, 0), -1);
    EXPECT_TRUE(gForm.commands.empty());

    // Names are found ignoring case; numbered templates by their id.
    HRSRC resource = FindResourceA(kInstance, "test_form_dlg", RT_DIALOG);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(FindResourceA(kInstance, "TEST_FORM_DLG", RT_DIALOG), resource);
    EXPECT_NE(FindResourceA(kInstance, MAKEINTRESOURCEA(120), RT_DIALOG), nullptr);
    EXPECT_EQ(SizeofResource(kInstance, resource), sizeof(DLGTEMPLATE));
    auto* head = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(kInstance, resource)));
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->style, static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | DS_SETFONT));
    EXPECT_EQ(head->cdit, std::size(kFormControls));
    EXPECT_EQ(head->cx, 200);

    tvtest::DialogScript script;
    script.Expect("TEST_FORM_DLG").Type(kName, "via").Click(IDOK);
    EXPECT_EQ(DialogBoxIndirectParamA(kInstance, head, owner_, FormProc, 0), 77);
    EXPECT_EQ(gForm.name, "via");
    EXPECT_FALSE(FreeResource(LoadResource(kInstance, resource)));
}

TEST_F(DialogTest, StringBundlesAreLaidOutAsInALibraryImage) {
    const TvStringTableEntry strings[] = {{16, "Hi"}, {18, "\x80"}};
    ASSERT_TRUE(TvRegisterStringTable(kInstance, strings, std::size(strings)));
    HRSRC bundle = FindResourceA(kInstance, MAKEINTRESOURCEA(2), RT_STRING);
    ASSERT_NE(bundle, nullptr);
    ASSERT_EQ(SizeofResource(kInstance, bundle), 19u * 2);
    auto* words = static_cast<const WORD*>(LockResource(LoadResource(kInstance, bundle)));
    EXPECT_EQ(words[0], 2);
    EXPECT_EQ(words[1], 'H');
    EXPECT_EQ(words[2], 'i');
    EXPECT_EQ(words[3], 0);
    EXPECT_EQ(words[4], 1);
    EXPECT_EQ(words[5], 0x20AC);  // the euro sign of the ANSI code page
    for (int i = 6; i < 19; ++i) EXPECT_EQ(words[i], 0) << i;

    EXPECT_EQ(FindResourceA(kInstance, MAKEINTRESOURCEA(1), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(kInstance, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(99)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(LoadResource(kInstance, reinterpret_cast<HRSRC>(&words)), nullptr);
    TvUnregisterStringTables(kInstance);
}

namespace {
std::vector<std::pair<int, int>> gListCommands;
std::vector<std::pair<int, std::string>> gObserved;
INT_PTR CALLBACK ListsProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) gListCommands.emplace_back(LOWORD(wParam), HIWORD(wParam));
    return message == WM_COMMAND;
}
void ObserveLine(HWND, int index, LPCSTR text, void* context) {
    *static_cast<int*>(context) += 1;
    gObserved.emplace_back(index, text);
}
std::string ListText(HWND list, int index) {
    char text[64] = "unchanged";
    LRESULT length = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
    return length == LB_ERR ? "LB_ERR" : text;
}
}  // namespace

TEST_F(DialogTest, ListAndComboBoxesKeepOrderSelectionAndSearch) {
    gListCommands.clear();
    gObserved.clear();
    HWND dialog = CreateDialogParamA(kInstance, "TEST_LISTS_DLG", owner_, ListsProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));  // the template does not ask to be shown
    HWND sorted = GetDlgItem(dialog, kSorted);
    int observedCalls = 0;
    TvListBoxObserverHook previous = TvSetListBoxObserver({ObserveLine, &observedCalls});
    for (const char* item : {"beta", "Alpha", "gamma", "alpha2"})
        SendMessageA(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(ListText(sorted, 0), "Alpha");
    EXPECT_EQ(ListText(sorted, 1), "alpha2");
    EXPECT_EQ(ListText(sorted, 3), "gamma");
    EXPECT_EQ(ListText(sorted, 4), "LB_ERR");
    EXPECT_EQ(observedCalls, 4);
    EXPECT_EQ(gObserved.back(), std::make_pair(1, std::string("alpha2")));

    auto find = [&](UINT message, int start, const char* text) {
        return SendMessageA(sorted, message, static_cast<WPARAM>(start),
                            reinterpret_cast<LPARAM>(text));
    };
    EXPECT_EQ(find(LB_FINDSTRING, -1, "AL"), 0);
    EXPECT_EQ(find(LB_FINDSTRING, 0, "al"), 1);  // searches after the start...
    EXPECT_EQ(find(LB_FINDSTRING, 1, "al"), 0);  // ...and goes round
    EXPECT_EQ(find(LB_FINDSTRINGEXACT, -1, "ALPHA"), 0);
    EXPECT_EQ(find(LB_FINDSTRINGEXACT, -1, "alp"), LB_ERR);
    EXPECT_EQ(find(LB_SELECTSTRING, -1, "g"), 3);
    EXPECT_EQ(SendMessageA(sorted, LB_GETCURSEL, 0, 0), 3);
    // An insertion before the selection moves the selection along with its item.
    EXPECT_EQ(SendMessageA(sorted, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>("zz")), 1);
    EXPECT_EQ(SendMessageA(sorted, LB_GETCURSEL, 0, 0), 4);
    EXPECT_EQ(SendMessageA(sorted, LB_INSERTSTRING, 9, reinterpret_cast<LPARAM>("far")), LB_ERR);
    EXPECT_EQ(SendMessageA(sorted, LB_DELETESTRING, 4, 0), 4);
    EXPECT_EQ(SendMessageA(sorted, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(sorted, LB_GETTEXTLEN, 1, 0), 2);
    EXPECT_EQ(SendMessageA(sorted, LB_SETCURSEL, 7, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(sorted, LB_SETCURSEL, 2, 0), 2);
    EXPECT_EQ(SendMessageA(sorted, LB_SETCURSEL, static_cast<WPARAM>(-1), 0), LB_ERR);
    EXPECT_EQ(SendMessageA(sorted, LB_GETCURSEL, 0, 0), LB_ERR);
    SendMessageA(sorted, LB_SETHORIZONTALEXTENT, 300, 0);
    EXPECT_EQ(SendMessageA(sorted, LB_GETHORIZONTALEXTENT, 0, 0), 300);
    EXPECT_EQ(SendMessageA(sorted, LB_SETTOPINDEX, 3, 0), 0);
    EXPECT_EQ(SendMessageA(sorted, LB_GETTOPINDEX, 0, 0), 3);
    SendMessageA(sorted, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(sorted, LB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(gListCommands.empty());  // nothing a person did

    HWND multi = GetDlgItem(dialog, kMulti);
    for (const char* item : {"a", "b", "c", "d", "e"})
        SendMessageA(multi, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(SendMessageA(multi, LB_SETCURSEL, 1, 0), LB_ERR);
    SendMessageA(multi, LB_SETSEL, TRUE, 1);
    SendMessageA(multi, LB_SETSEL, TRUE, 3);
    INT selected[4] = {-1, -1, -1, -1};
    EXPECT_EQ(SendMessageA(multi, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(selected)), 2);
    EXPECT_EQ(selected[0], 1);
    EXPECT_EQ(selected[1], 3);
    // A plain click selects only its item; a Ctrl+click adds one.
    ShowWindow(dialog, SW_SHOW);
    EXPECT_TRUE(TvChooseListItem(multi, 2, FALSE));
    EXPECT_TRUE(TvChooseListItem(multi, 4, TRUE));
    EXPECT_EQ(SendMessageA(multi, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(selected)), 2);
    EXPECT_EQ(selected[0], 2);
    EXPECT_EQ(selected[1], 4);
    EXPECT_FALSE(TvChooseListItem(multi, 5, FALSE));
    SendMessageA(multi, LB_SETSEL, FALSE, -1);
    EXPECT_EQ(SendMessageA(multi, LB_GETSELCOUNT, 0, 0), 0);
    EXPECT_EQ(gListCommands,
              (std::vector<std::pair<int, int>>{{kMulti, LBN_SELCHANGE}, {kMulti, LBN_SELCHANGE}}));
    TvSetListBoxObserver(previous);

    HWND dropList = GetDlgItem(dialog, kDropList);
    for (const char* item : {"one", "two", "three"})
        SendMessageA(dropList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(SendMessageA(dropList, CB_SETCURSEL, 1, 0), 1);
    EXPECT_EQ(ItemText(dialog, kDropList), "two");
    EXPECT_EQ(SendMessageA(dropList, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>("TH")),
              2);
    EXPECT_EQ(ItemText(dialog, kDropList), "three");
    EXPECT_FALSE(TvTypeText(dropList, "typed"));
    gListCommands.clear();
    EXPECT_TRUE(TvChooseListItem(dropList, 0, FALSE));
    EXPECT_EQ(ItemText(dialog, kDropList), "one");
    SendMessageA(dropList, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(ItemText(dialog, kDropList), "");

    HWND dropDown = GetDlgItem(dialog, kDropDown);
    SendMessageA(dropDown, CB_LIMITTEXT, 3, 0);
    EXPECT_TRUE(TvTypeText(dropDown, "abcdef"));
    EXPECT_EQ(ItemText(dialog, kDropDown), "abc");
    EXPECT_EQ(gListCommands, (std::vector<std::pair<int, int>>{{kDropList, CBN_SELCHANGE},
                                                               {kDropDown, CBN_EDITUPDATE},
                                                               {kDropDown, CBN_EDITCHANGE}}));
    EXPECT_TRUE(EndDialog(dialog, 3));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(DestroyWindow(dialog));
}

TEST_F(DialogTest, ButtonsEditsAndNumbersThroughTheDialogCalls) {
    HWND dialog = CreateDialogParamA(kInstance, "TEST_FORM_DLG", owner_, FormProc, 0);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    gForm.commands.clear();

    // Radio groups end where the next group starts.
    EXPECT_TRUE(CheckRadioButton(dialog, kRadioA, kRadioC, kRadioB));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioC), static_cast<UINT>(BST_UNCHECKED));
    CheckDlgButton(dialog, kRadioC, BST_CHECKED);
    EXPECT_TRUE(TvClickControl(GetDlgItem(dialog, kRadioA)));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioA), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioB), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioC), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kRadioA));
    CheckDlgButton(dialog, IDOK, BST_CHECKED);  // a push button holds no check
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDOK), static_cast<UINT>(BST_UNCHECKED));
    EnableWindow(GetDlgItem(dialog, kAgree), FALSE);
    EXPECT_FALSE(TvClickControl(GetDlgItem(dialog, kAgree)));
    SendDlgItemMessageA(dialog, kAgree, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kAgree), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_FALSE(TvClickControl(GetDlgItem(dialog, kList)));
    EXPECT_EQ(gForm.commands, (std::vector<std::pair<int, int>>{{kRadioA, BN_CLICKED}}));

    // The program's own text is not held to the limit; a person's typing is.
    HWND name = GetDlgItem(dialog, kName);
    EXPECT_TRUE(SetDlgItemTextA(dialog, kName, "longer than five"));
    EXPECT_EQ(ItemText(dialog, kName), "longer than five");
    char small[4];
    EXPECT_EQ(GetDlgItemTextA(dialog, kName, small, sizeof(small)), 3u);
    EXPECT_STREQ(small, "lon");
    SendMessageA(name, EM_LIMITTEXT, 0, 0);
    EXPECT_EQ(SendMessageA(name, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
    SendMessageA(name, EM_SETREADONLY, TRUE, 0);
    EXPECT_FALSE(TvTypeText(name, "no"));
    EXPECT_EQ(ItemText(dialog, kName), "longer than five");

    HWND secret = GetDlgItem(dialog, kSecret);
    EXPECT_EQ(SendMessageA(secret, EM_GETPASSWORDCHAR, 0, 0), '*');
    SetWindowTextA(secret, "hunter2");
    char shown[5];
    EXPECT_EQ(TvGetControlDisplayText(secret, shown, sizeof(shown)), 4);
    EXPECT_STREQ(shown, "****");
    SendMessageA(secret, EM_SETPASSWORDCHAR, 0, 0);
    EXPECT_EQ(TvGetControlDisplayText(secret, shown, sizeof(shown)), 4);
    EXPECT_STREQ(shown, "hunt");

    struct Case {
        const char* text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
    };
    const Case cases[] = {
        {"-42", TRUE, static_cast<UINT>(-42), TRUE},
        {"-42", FALSE, 0, FALSE},
        {" 17 ", FALSE, 17, TRUE},
        {"12abc", FALSE, 0, FALSE},
        {"", TRUE, 0, FALSE},
        {"4294967295", FALSE, UINT_MAX, TRUE},
        {"4294967296", FALSE, 0, FALSE},
        {"2147483648", TRUE, 0, FALSE},
        {"-2147483648", TRUE, static_cast<UINT>(INT_MIN), TRUE},
    };
    for (const Case& c : cases) {
        SetDlgItemTextA(dialog, kName, c.text);
        BOOL translated = -1;
        EXPECT_EQ(GetDlgItemInt(dialog, kName, &translated, c.isSigned), c.value) << c.text;
        EXPECT_EQ(translated, c.translated) << c.text;
    }
    SetDlgItemInt(dialog, kName, static_cast<UINT>(-7), TRUE);
    EXPECT_EQ(ItemText(dialog, kName), "-7");
    SetDlgItemInt(dialog, kName, static_cast<UINT>(-7), FALSE);
    EXPECT_EQ(ItemText(dialog, kName), "4294967289");

    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
    EXPECT_EQ(SendDlgItemMessageA(dialog, 999, LB_GETCOUNT, 0, 0), 0);
    DestroyWindow(dialog);
}

namespace {
std::vector<UINT> gClassMessages;
LPVOID gCreateParam = nullptr;
LRESULT CALLBACK ClassDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    gClassMessages.push_back(message);
    if (message == WM_CREATE)
        gCreateParam = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
    return DefDlgProcA(window, message, wParam, lParam);
}
INT_PTR CALLBACK ResultProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_USER + 5) return FALSE;
    SetWindowLongA(dialog, DWL_MSGRESULT, 99);
    return TRUE;
}
}  // namespace

TEST_F(DialogTest, DialogOfARegisteredClassRunsThroughItsWindowProcedure) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ClassDialogProc;
    windowClass.cbWndExtra = DLGWINDOWEXTRA + 8;
    windowClass.hInstance = kInstance;
    windowClass.lpszClassName = "TvTestClassDialog";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    gClassMessages.clear();

    tvtest::DialogScript script;  // no expectations: a modeless dialog has no driver
    HWND dialog = CreateDialogParamA(kInstance, "TEST_CLASS_DLG", owner_, ResultProc, 0x55);
    ASSERT_NE(dialog, nullptr);
    char className[64];
    GetClassNameA(dialog, className, sizeof(className));
    EXPECT_STREQ(className, "TvTestClassDialog");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(gCreateParam, reinterpret_cast<LPVOID>(0x55));
    EXPECT_NE(std::find(gClassMessages.begin(), gClassMessages.end(), WM_INITDIALOG),
              gClassMessages.end());
    // The window's own slots after the dialog's bytes.
    SetWindowLongA(dialog, DLGWINDOWEXTRA, 0x11223344);
    SetWindowLongA(dialog, DLGWINDOWEXTRA + 4, 0x55667788);
    EXPECT_EQ(GetWindowLongA(dialog, DLGWINDOWEXTRA), 0x11223344);
    EXPECT_EQ(GetWindowLongA(dialog, DLGWINDOWEXTRA + 4), 0x55667788);
    EXPECT_EQ(SetWindowLongA(dialog, DLGWINDOWEXTRA + 8, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    // A message the dialog procedure handles answers with DWL_MSGRESULT.
    EXPECT_EQ(SendMessageA(dialog, WM_USER + 5, 0, 0), 99);
    EXPECT_TRUE(script.shown().empty());
    DestroyWindow(dialog);
    EXPECT_TRUE(UnregisterClassA("TvTestClassDialog", kInstance));
}

}  // namespace
