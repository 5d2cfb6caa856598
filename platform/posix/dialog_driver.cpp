// Whoever plays the user: the dialog driver that answers modal dialogs, the observer of
// list-box lines, and what a person sees of a control and does to it (click, type,
// choose a list item). A modal dialog runs its messages and the driver's rounds here
// until it ends.
#include "platform/posix/controls.h"
#include "platform/posix/dialog_state.h"
#include "platform/posix/hooks.h"

namespace tvplatform {

namespace {

struct PersonHooks {
    std::mutex mutex;
    TvDialogDriverHook driver{nullptr, nullptr};
    TvListBoxObserverHook observer{nullptr, nullptr};
};

PersonHooks& Hooks() {
    static PersonHooks* hooks = new PersonHooks;
    return *hooks;
}

TvDialogDriverHook CurrentDriver() {
    std::lock_guard<std::mutex> lock(Hooks().mutex);
    return Hooks().driver;
}

// A window that keeps posting to itself must not hold a dialog forever, so one pass takes
// at most this many messages.
constexpr int kMessagesPerPass = 1000;

// Dispatches what waits in the thread's queue, the dialog's keys through the dialog, as a
// modal loop does. A quit request ends the pass and is posted again for the caller's loop.
void PumpDialogMessages(HWND dialog) {
    MSG msg;
    INT_PTR ignored;
    for (int taken = 0; taken < kMessagesPerPass && !DialogEnded(dialog, ignored); ++taken) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// A person can act on a control only while it and every window above it are shown and
// enabled.
bool Reachable(HWND control) {
    if (!IsWindowVisible(control)) return false;
    for (HWND window = control; window != nullptr; window = GetParent(window)) {
        if (!IsWindowEnabled(window)) return false;
        if (!(StyleOf(window) & WS_CHILD)) break;
    }
    return true;
}

}  // namespace

void DriveModalDialog(HWND dialog, const std::string& templateName) {
    INT_PTR ignored;
    for (int round = 0;; ++round) {
        PumpDialogMessages(dialog);
        if (DialogEnded(dialog, ignored)) return;
        TvDialogDriverHook hook = CurrentDriver();
        bool acted = hook.driver != nullptr && round < TV_DIALOG_DRIVER_ROUNDS &&
                     hook.driver(dialog, templateName.c_str(), hook.context);
        if (acted) continue;
        PressEscape(dialog);
        PumpDialogMessages(dialog);
        // A procedure that ignores Cancel would hold the caller forever without a person.
        if (!DialogEnded(dialog, ignored)) EndDialog(dialog, IDCANCEL);
        return;
    }
}

void ReportListLine(HWND listBox, int index, const char* text) {
    TvListBoxObserverHook hook;
    {
        std::lock_guard<std::mutex> lock(Hooks().mutex);
        hook = Hooks().observer;
    }
    if (hook.observer != nullptr) hook.observer(listBox, index, text, hook.context);
}

}  // namespace tvplatform

using namespace tvplatform;

TvDialogDriverHook TvSetDialogDriver(TvDialogDriverHook hook) {
    std::lock_guard<std::mutex> lock(Hooks().mutex);
    TvDialogDriverHook previous = Hooks().driver;
    Hooks().driver = hook.driver == nullptr ? TvDialogDriverHook{nullptr, nullptr} : hook;
    return previous;
}

TvListBoxObserverHook TvSetListBoxObserver(TvListBoxObserverHook hook) {
    std::lock_guard<std::mutex> lock(Hooks().mutex);
    TvListBoxObserverHook previous = Hooks().observer;
    Hooks().observer = hook.observer == nullptr ? TvListBoxObserverHook{nullptr, nullptr} : hook;
    return previous;
}

TvControlKind TvGetControlKind(HWND control) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(control);
    if (object == nullptr) return TV_CONTROL_OTHER;
    if (IsOfClassLocked(*object, kStaticClass)) return TV_CONTROL_STATIC;
    if (IsOfClassLocked(*object, kEditClass)) return TV_CONTROL_EDIT;
    if (IsOfClassLocked(*object, kListBoxClass)) return TV_CONTROL_LIST_BOX;
    if (IsOfClassLocked(*object, kComboBoxClass)) return TV_CONTROL_COMBO_BOX;
    if (!IsOfClassLocked(*object, kButtonClass)) return TV_CONTROL_OTHER;
    switch (object->style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE: return TV_CONTROL_CHECK_BOX;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return TV_CONTROL_RADIO_BUTTON;
        case BS_GROUPBOX: return TV_CONTROL_GROUP_BOX;
        default: return TV_CONTROL_PUSH_BUTTON;
    }
}

int TvGetControlDisplayText(HWND control, LPSTR out, int max) {
    if (out == nullptr || max <= 0) return 0;
    out[0] = '\0';
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(control);
        if (object == nullptr) return 0;
        auto* edit = dynamic_cast<EditState*>(object->controlState.get());
        if (edit != nullptr && edit->passwordChar != 0) {
            size_t shown = std::min(object->text.size(), static_cast<size_t>(max - 1));
            std::fill(out, out + shown, edit->passwordChar);
            out[shown] = '\0';
            return static_cast<int>(shown);
        }
    }
    return GetWindowTextA(control, out, max);
}

BOOL TvClickControl(HWND control) {
    switch (TvGetControlKind(control)) {
        case TV_CONTROL_PUSH_BUTTON:
        case TV_CONTROL_CHECK_BOX:
        case TV_CONTROL_RADIO_BUTTON: break;
        default: return FALSE;
    }
    if (!Reachable(control)) return FALSE;
    SendMessageA(control, BM_CLICK, 0, 0);
    return TRUE;
}

BOOL TvTypeText(HWND control, LPCSTR text) {
    TvControlKind kind = TvGetControlKind(control);
    if ((kind != TV_CONTROL_EDIT && kind != TV_CONTROL_COMBO_BOX) || !Reachable(control))
        return FALSE;
    SetFocus(control);
    return kind == TV_CONTROL_EDIT ? TypeIntoEdit(control, text) : TypeIntoCombo(control, text);
}

BOOL TvChooseListItem(HWND control, int index, BOOL extend) {
    TvControlKind kind = TvGetControlKind(control);
    if ((kind != TV_CONTROL_LIST_BOX && kind != TV_CONTROL_COMBO_BOX) || !Reachable(control))
        return FALSE;
    return ChooseListItem(control, index, extend != FALSE);
}
