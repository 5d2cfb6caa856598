// A scripted person in front of the platform's modal dialogs, for tests: it expects
// dialogs by template name in the order they appear and, in each, does what the script
// says (types into edits, clicks buttons, chooses list items), as the dialog driver of
// the POSIX platform. Whatever goes against the script (another dialog, a missing or
// disabled control, a dialog still open after its steps) is recorded as a problem and the
// dialog is cancelled.
//
//   tvtest::DialogScript script;
//   script.Expect("FTP_UN_DLG").Type(501, "bob").Click(IDOK);
//   ... code that shows the dialog ...
//   EXPECT_TRUE(script.problems().empty());
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/hooks.h"

namespace tvtest {

// One control of a dialog as a person sees it.
struct ControlView {
    HWND window = nullptr;
    int id = 0;
    TvControlKind kind = TV_CONTROL_OTHER;
    std::string text;   // the real text
    std::string shown;  // what the screen shows (a password edit shows '*')
    DWORD style = 0;
    bool enabled = false;
    UINT check = BST_UNCHECKED;
    std::vector<std::string> items;  // list and combo boxes
    std::vector<int> selected;       // selected item indices
};

// The dialog's controls in their order.
std::vector<ControlView> ReadControls(HWND dialog);
// The control with `id` among them, or null.
const ControlView* FindControl(const std::vector<ControlView>& controls, int id);

class DialogScript {
public:
    DialogScript();
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // The next dialog to be shown; the steps that follow act in it.
    DialogScript& Expect(const std::string& templateName);
    DialogScript& Type(int id, const std::string& text);
    DialogScript& Click(int id);
    // Chooses the item whose whole text is `item` (ignoring case, as lists compare).
    DialogScript& Choose(int id, const std::string& item);
    // Types `text` into an edit, or chooses the list item of that text (none for "").
    DialogScript& Enter(int id, const std::string& text);
    // The control's text must be `expected`; a list's items, parted by '|', '*' before a
    // selected one.
    DialogScript& Check(int id, const std::string& expected);
    // Looks at the dialog at this point of the script.
    DialogScript& Inspect(std::function<void(HWND dialog)> look);

    const std::vector<std::string>& problems() const { return problems_; }
    // Whether every expected dialog has been shown.
    bool finished() const { return next_ == dialogs_.size(); }

private:
    using Step = std::function<std::string(HWND dialog)>;  // an empty result: done
    struct ExpectedDialog {
        std::string name;
        std::vector<Step> steps;
    };

    static BOOL Drive(HWND dialog, LPCSTR templateName, void* context);
    BOOL Act(HWND dialog, const std::string& templateName);
    DialogScript& AddStep(Step step);

    std::vector<ExpectedDialog> dialogs_;
    size_t next_ = 0;
    std::set<HWND> handled_;
    std::vector<std::string> problems_;
    TvDialogDriverHook previous_;
};

}  // namespace tvtest
