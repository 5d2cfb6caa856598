// The module's modal dialogs on the POSIX platform, where they have no screen: the
// platform hands each one to ftpsh's dialog driver, which answers it from the script or
// shows it on the terminal as a form. A form lists the dialog's texts and controls; the
// user fills in its edits (password edits without echo), then picks controls by number
// (check boxes and radio buttons toggle, lists offer their items, buttons click) or
// presses Enter for the default button.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "host/dialogs.h"
#include "host/console.h"
#include "host/person.h"
#include "platform/posix/hooks.h"

namespace ftpsh {

namespace {

struct Person {
    AnswerBook* answers = nullptr;
    DialogChoices choices;
    std::set<HWND> answered;
    int recorded = 0;
};

Person gPerson;

void Say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

bool IsSecret(HWND edit) { return (GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD) != 0; }

bool IsDefaultButton(HWND button) {
    return KindOf(button) == ControlKind::PushButton &&
           (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// A label read the way a person reads it: without its mnemonic, without a closing colon.
std::string Label(HWND control) {
    std::string label = WithoutMnemonic(TextOf(control));
    while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.pop_back();
    return label;
}

bool Actionable(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::PushButton ||
           kind == ControlKind::CheckBox || kind == ControlKind::RadioButton ||
           kind == ControlKind::ListBox || kind == ControlKind::ComboBox;
}

class Form {
public:
    explicit Form(HWND dialog) : dialog_(dialog) {
        for (HWND child : ChildrenOf(dialog)) {
            if (IsWindowVisible(child)) controls_.push_back(child);
        }
    }

    // Plays the dialog once: TRUE when the user acted, FALSE when they cancelled.
    BOOL Play() {
        Say("\n== " + TextOf(dialog_) + " ==\n");
        // A prompt is answered by filling its edits and pressing Enter.
        if (!FillEdits()) return FALSE;
        if (IsSimplePrompt()) {
            HWND button = DefaultButton();
            if (button != nullptr && Click(button)) return TRUE;
        }
        for (;;) {
            if (!IsWindow(dialog_) || !IsWindowVisible(dialog_)) return TRUE;
            Show();
            HWND button = DefaultButton();
            std::string prompt = "Choose a number";
            if (button != nullptr) prompt += ", or Enter for " + Label(button);
            auto choice = ReadFormAnswer(prompt + ": ", false, "");
            if (!choice) return FALSE;
            if (choice->empty()) {
                if (button != nullptr && Click(button)) return TRUE;
                continue;
            }
            HWND control = Chosen(*choice);
            if (control == nullptr) {
                Say("No such choice: " + *choice + "\n");
                continue;
            }
            if (!Reachable(control)) {
                Say(Label(control) + " is disabled\n");
                continue;
            }
            switch (KindOf(control)) {
                case ControlKind::PushButton:
                    Click(control);
                    return TRUE;
                case ControlKind::Edit:
                    if (!FillEdit(control, Label(LabelOf(control)))) return FALSE;
                    break;
                case ControlKind::ListBox:
                case ControlKind::ComboBox:
                    if (!ChooseFrom(control)) return FALSE;
                    break;
                default: Click(control); break;
            }
        }
    }

private:
    // The static text just before a control names it.
    HWND LabelOf(HWND control) const {
        HWND label = nullptr;
        for (HWND child : controls_) {
            if (child == control) return label;
            label = KindOf(child) == ControlKind::Static ? child : nullptr;
        }
        return nullptr;
    }

    bool FillEdits() {
        for (HWND control : controls_) {
            if (KindOf(control) != ControlKind::Edit || !Reachable(control)) continue;
            if (GetWindowLongA(control, GWL_STYLE) & ES_READONLY) continue;
            HWND label = LabelOf(control);
            if (!FillEdit(control, label != nullptr ? Label(label) : "Text")) return false;
        }
        return true;
    }

    bool FillEdit(HWND edit, const std::string& label) {
        bool secret = IsSecret(edit);
        auto text = ReadFormAnswer(label + ": ", secret, TextOf(edit));
        if (!text) return false;
        TypeInto(edit, *text);
        return true;
    }

    bool ChooseFrom(HWND list) {
        std::vector<std::string> items = ItemsOf(list);
        for (size_t i = 0; i < items.size(); ++i)
            Say("    " + std::to_string(i + 1) + ") " + items[i] + "\n");
        auto choice = ReadFormAnswer("Item number: ", false, "");
        if (!choice) return false;
        size_t index = 0;
        try {
            index = std::stoul(*choice);
        } catch (...) {
            index = 0;
        }
        if (index >= 1 && index <= items.size()) ChooseItem(list, static_cast<int>(index - 1));
        return true;
    }

    // Only edits and buttons, with a default button: Enter after the last edit confirms.
    bool IsSimplePrompt() const {
        for (HWND control : controls_) {
            ControlKind kind = KindOf(control);
            if (kind != ControlKind::Edit && kind != ControlKind::PushButton &&
                kind != ControlKind::Static) {
                return false;
            }
        }
        return DefaultButton() != nullptr;
    }

    HWND DefaultButton() const {
        for (HWND control : controls_) {
            if (IsDefaultButton(control) && Reachable(control)) return control;
        }
        return nullptr;
    }

    // A number from the form, or a button's label.
    HWND Chosen(const std::string& choice) const {
        int number = 0;
        for (HWND control : controls_) {
            if (!Actionable(KindOf(control))) continue;
            ++number;
            if (choice == std::to_string(number)) return control;
        }
        for (HWND control : controls_) {
            if (KindOf(control) != ControlKind::PushButton) continue;
            std::string label = Label(control);
            if (label.size() == choice.size() &&
                std::equal(label.begin(), label.end(), choice.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                })) {
                return control;
            }
        }
        return nullptr;
    }

    void Show() const {
        int number = 0;
        std::string buttons;
        for (HWND control : controls_) {
            ControlKind kind = KindOf(control);
            std::string line;
            std::string tag = Actionable(kind) ? std::to_string(++number) + ") " : "";
            std::string off = Reachable(control) ? "" : " (disabled)";
            switch (kind) {
                case ControlKind::Static: {
                    // An icon's text names its picture; there is nothing to read.
                    if ((GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) break;
                    // A text shown as it is (a file name) keeps its '&'.
                    const bool asItIs = (GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX) != 0;
                    std::string text = asItIs ? TextOf(control) : WithoutMnemonic(TextOf(control));
                    if (!text.empty()) line = "  " + text;
                    break;
                }
                case ControlKind::GroupBox: line = "  -- " + Label(control) + " --"; break;
                case ControlKind::Edit:
                    line = "  " + tag + "[" + ShownText(control) + "]" + off;
                    break;
                case ControlKind::CheckBox:
                    line = "  " + tag +
                           (SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "[x] " : "[ ] ") +
                           Label(control) + off;
                    break;
                case ControlKind::RadioButton:
                    line = "  " + tag +
                           (SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "(*) " : "( ) ") +
                           Label(control) + off;
                    break;
                case ControlKind::ListBox:
                case ControlKind::ComboBox: {
                    line = "  " + tag + "list" + off + ":";
                    std::vector<std::string> items = ItemsOf(control);
                    for (size_t i = 0; i < items.size(); ++i) {
                        bool selected =
                            KindOf(control) == ControlKind::ComboBox
                                ? SendMessageA(control, CB_GETCURSEL, 0, 0) == static_cast<LRESULT>(i)
                                : SendMessageA(control, LB_GETSEL, i, 0) > 0;
                        line += "\n      " + std::string(selected ? "> " : "  ") + items[i];
                    }
                    break;
                }
                case ControlKind::PushButton:
                    buttons += "  " + tag + "<" + Label(control) + ">" +
                               (IsDefaultButton(control) ? "*" : "") + off;
                    break;
                default: break;
            }
            if (!line.empty()) Say(line + "\n");
        }
        if (!buttons.empty()) Say(buttons + "\n");
    }

    HWND dialog_;
    std::vector<HWND> controls_;
};

BOOL Drive(HWND dialog, LPCSTR templateName, void*) {
    const std::string name = templateName != nullptr ? templateName : "";
    // The dialog is still open after its answer: the answer did not end it.
    if (gPerson.answered.count(dialog) != 0) {
        Say("ftpsh: dialog " + name + " is still open after its answer; cancelled\n");
        return FALSE;
    }
    RecordWindow(dialog, name);
    if (auto answer = gPerson.answers->Take(name)) {
        gPerson.answered.insert(dialog);
        if (!answer->quiet)
            Say("[dialog " + name + " \"" + TextOf(dialog) + "\" answered from the script]\n");
        std::string problem = ApplyAnswer(dialog, *answer);
        if (!problem.empty()) {
            Say("ftpsh: " + problem + "; dialog cancelled\n");
            return FALSE;
        }
        return TRUE;
    }
    if (gPerson.choices.interactive) return Form(dialog).Play();
    Say("[dialog " + name + " \"" + TextOf(dialog) + "\" cancelled: no answer given]\n");
    return FALSE;
}

// Message boxes have no template; they are told on the terminal and, with a person
// there, asked; without one they get the answer of a person dismissing them.
int AnswerMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    struct Choice {
        const char* label;
        int result;
    };
    std::vector<Choice> choices;
    int dismissed = IDOK;
    switch (type & 0x0F) {
        case MB_OKCANCEL: choices = {{"OK", IDOK}, {"Cancel", IDCANCEL}}; dismissed = IDCANCEL; break;
        case MB_ABORTRETRYIGNORE:
            choices = {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
            dismissed = IDABORT;
            break;
        case MB_YESNOCANCEL:
            choices = {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
            dismissed = IDCANCEL;
            break;
        case MB_YESNO: choices = {{"Yes", IDYES}, {"No", IDNO}}; dismissed = IDNO; break;
        case MB_RETRYCANCEL: choices = {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}}; dismissed = IDCANCEL; break;
        default: choices = {{"OK", IDOK}}; break;
    }
    Say(std::string("[") + (caption != nullptr ? caption : "") + "] " + (text != nullptr ? text : "") + "\n");
    if (!gPerson.choices.interactive || choices.size() == 1) return dismissed;
    std::string prompt;
    for (const Choice& choice : choices) prompt += std::string(prompt.empty() ? "" : " / ") + choice.label;
    for (;;) {
        auto answer = ReadFormAnswer(prompt + "? ", false, "");
        if (!answer) return dismissed;
        for (const Choice& choice : choices) {
            std::string label = choice.label;
            if (!answer->empty() && label.size() >= answer->size() &&
                std::equal(answer->begin(), answer->end(), label.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                })) {
                return choice.result;
            }
        }
    }
}

}  // namespace

// No screen to take a picture of: the record of the controls only.
void RecordWindow(HWND window, const std::string& name) {
    if (gPerson.choices.screenshotFolder.empty()) return;
    SaveControlRecord(gPerson.choices.screenshotFolder, ++gPerson.recorded, name, window);
}

void StartAnsweringDialogs(AnswerBook& answers, DialogChoices choices) {
    gPerson.answers = &answers;
    gPerson.choices = std::move(choices);
    TvSetDialogDriver({&Drive, nullptr});
    TvSetMessageBoxHook(&AnswerMessageBox);
}

void StopAnsweringDialogs() {
    TvSetDialogDriver({nullptr, nullptr});
    TvSetMessageBoxHook(nullptr);
}

}  // namespace ftpsh
