// The scripted person of dialog_script.h.
#include "tests/support/dialog_script.h"

#include <algorithm>

namespace tvtest {

namespace {

// The window's text as GetWindowTextA reads it, or as TvGetControlDisplayText shows it.
std::string TextOf(HWND window, bool shown = false) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>((shown ? TvGetControlDisplayText : GetWindowTextA)(window, text.data(), length + 1)));
    return text;
}

void ReadItems(ControlView& view) {
    const bool combo = view.kind == TV_CONTROL_COMBO_BOX;
    auto count = SendMessageA(view.window, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        auto length = SendMessageA(view.window, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
        std::string item(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(view.window, combo ? CB_GETLBTEXT : LB_GETTEXT, i,
                     reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<size_t>(length));
        view.items.push_back(item);
        bool selected = combo ? SendMessageA(view.window, CB_GETCURSEL, 0, 0) == i
                              : SendMessageA(view.window, LB_GETSEL, i, 0) > 0;
        if (selected) view.selected.push_back(static_cast<int>(i));
    }
}

std::string TypeInto(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return "no control " + std::to_string(id) + " to type into";
    if (!TvTypeText(control, text.c_str())) return "cannot type into " + std::to_string(id);
    return "";
}

bool IsList(HWND control) {
    const TvControlKind kind = TvGetControlKind(control);
    return kind == TV_CONTROL_LIST_BOX || kind == TV_CONTROL_COMBO_BOX;
}

std::string ChooseIn(HWND dialog, int id, const std::string& item) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr || !IsList(control)) return "no list " + std::to_string(id);
    bool combo = TvGetControlKind(control) == TV_CONTROL_COMBO_BOX;
    if (item.empty()) {
        SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return "";
    }
    auto index = SendMessageA(control, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT,
                              static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()));
    if (index < 0) return "no item \"" + item + "\" in " + std::to_string(id);
    if (!TvChooseListItem(control, static_cast<int>(index), FALSE))
        return "cannot choose in " + std::to_string(id);
    return "";
}

}  // namespace

std::vector<ControlView> ReadControls(HWND dialog) {
    std::vector<ControlView> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ControlView view;
        view.window = child;
        view.id = GetDlgCtrlID(child);
        view.kind = TvGetControlKind(child);
        view.text = TextOf(child);
        view.shown = TextOf(child, true);
        view.style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        view.enabled = IsWindowEnabled(child) != FALSE;
        if (view.kind == TV_CONTROL_CHECK_BOX || view.kind == TV_CONTROL_RADIO_BUTTON)
            view.check = static_cast<UINT>(SendMessageA(child, BM_GETCHECK, 0, 0));
        if (IsList(child)) ReadItems(view);
        controls.push_back(std::move(view));
    }
    return controls;
}

const ControlView* FindControl(const std::vector<ControlView>& controls, int id) {
    for (const ControlView& control : controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

DialogScript::DialogScript() { previous_ = TvSetDialogDriver({&DialogScript::Drive, this}); }

DialogScript::~DialogScript() { TvSetDialogDriver(previous_); }

DialogScript& DialogScript::Expect(const std::string& templateName) {
    dialogs_.push_back({templateName, {}});
    return *this;
}

DialogScript& DialogScript::AddStep(Step step) {
    if (dialogs_.empty()) {
        problems_.push_back("a step before any Expect");
    } else {
        dialogs_.back().steps.push_back(std::move(step));
    }
    return *this;
}

DialogScript& DialogScript::Type(int id, const std::string& text) {
    return AddStep([id, text](HWND dialog) { return TypeInto(dialog, id, text); });
}

DialogScript& DialogScript::Click(int id) {
    return AddStep([id](HWND dialog) -> std::string {
        HWND control = GetDlgItem(dialog, id);
        if (control == nullptr) return "no button " + std::to_string(id);
        if (!TvClickControl(control)) return "cannot click " + std::to_string(id);
        return "";
    });
}

DialogScript& DialogScript::Choose(int id, const std::string& item) {
    return AddStep([id, item](HWND dialog) { return ChooseIn(dialog, id, item); });
}

DialogScript& DialogScript::Enter(int id, const std::string& text) {
    return AddStep([id, text](HWND dialog) {
        return IsList(GetDlgItem(dialog, id)) ? ChooseIn(dialog, id, text)
                                              : TypeInto(dialog, id, text);
    });
}

DialogScript& DialogScript::Check(int id, const std::string& expected) {
    return AddStep([id, expected](HWND dialog) -> std::string {
        const auto controls = ReadControls(dialog);
        const ControlView* control = FindControl(controls, id);
        if (control == nullptr) return "no control " + std::to_string(id);
        std::string shown = control->text;
        if (!control->items.empty()) {
            shown.clear();
            for (size_t i = 0; i < control->items.size(); ++i) {
                const bool selected = std::find(control->selected.begin(), control->selected.end(),
                                                static_cast<int>(i)) != control->selected.end();
                shown += (i == 0 ? "" : "|") + std::string(selected ? "*" : "") + control->items[i];
            }
        }
        return shown == expected ? "" : std::to_string(id) + " shows \"" + shown + "\"";
    });
}

DialogScript& DialogScript::Inspect(std::function<void(HWND dialog)> look) {
    return AddStep([look = std::move(look)](HWND dialog) -> std::string {
        look(dialog);
        return "";
    });
}

BOOL DialogScript::Drive(HWND dialog, LPCSTR templateName, void* context) {
    return static_cast<DialogScript*>(context)->Act(dialog, templateName);
}

BOOL DialogScript::Act(HWND dialog, const std::string& templateName) {
    if (handled_.count(dialog)) {
        problems_.push_back(templateName + " is still open after its steps");
        return FALSE;
    }
    handled_.insert(dialog);
    if (next_ >= dialogs_.size()) {
        problems_.push_back("unexpected dialog " + templateName);
        return FALSE;
    }
    // Copied: a step may open a nested dialog, which takes the next expected entry.
    ExpectedDialog expected = dialogs_[next_++];
    if (expected.name != templateName) {
        problems_.push_back("dialog " + templateName + " instead of " + expected.name);
        return FALSE;
    }
    for (size_t i = 0; i < expected.steps.size(); ++i) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog)) {
            problems_.push_back(templateName + " closed before step " + std::to_string(i + 1));
            return FALSE;
        }
        std::string problem = expected.steps[i](dialog);
        if (!problem.empty()) {
            problems_.push_back(templateName + ": " + problem);
            return FALSE;
        }
    }
    return TRUE;
}

}  // namespace tvtest
