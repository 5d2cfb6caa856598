// Dialogs built from templates: the dialog window (of the template's class, or the
// platform's dialog class), its controls, WM_INITDIALOG and the keyboard focus it asks
// for; modal dialogs that run until EndDialog and return its result, modeless ones that
// live until they are destroyed; the default dialog procedure and the dialog keys.
#include "platform/posix/controls.h"
#include "platform/posix/dialog_state.h"
#include "platform/posix/dialog_templates.h"

#include <cstring>

namespace tvplatform {

namespace {

// Dialog units are a quarter of the dialog font's average character width and an eighth
// of its height; the platform measures its stock dialog font for them.
SIZE DialogBaseUnits() {
    static const SIZE units = [] {
        static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        SIZE measured{8, 16};
        if (HDC dc = GetDC(nullptr)) {
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            SIZE extent{};
            if (GetTextExtentPointA(dc, kAlphabet, 52, &extent) && extent.cx > 0) {
                measured = SIZE{(extent.cx / 26 + 1) / 2, extent.cy};
            }
            ReleaseDC(nullptr, dc);
        }
        return measured;
    }();
    return units;
}

void ScaleDialogUnits(RECT& rect) {
    SIZE units = DialogBaseUnits();
    rect.left = rect.left * units.cx / 4;
    rect.right = rect.right * units.cx / 4;
    rect.top = rect.top * units.cy / 8;
    rect.bottom = rect.bottom * units.cy / 8;
}

RECT ToPixels(short x, short y, short cx, short cy) {
    RECT rect{x, y, x + cx, y + cy};
    ScaleDialogUnits(rect);
    return rect;
}

// The control that gets the focus by default: the first enabled, visible control that is
// a tab stop.
HWND FirstTabStop(HWND dialog) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(dialog);
    if (object == nullptr) return nullptr;
    for (HWND child : object->children) {
        auto control = FindWindowLocked(child);
        if (control != nullptr && (control->style & WS_TABSTOP) && control->enabled &&
            control->visible) {
            return child;
        }
    }
    return nullptr;
}

HWND BuildDialog(HINSTANCE instance, const DialogTemplateRecord& dialogTemplate, HWND owner,
                 DLGPROC proc, LPARAM param, bool modal) {
    if (owner != nullptr && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto state = std::make_unique<DialogState>();
    state->proc = proc;
    state->templateName = dialogTemplate.name;
    state->modal = modal;
    const DLGTEMPLATE& head = dialogTemplate.head;
    RECT frame = ToPixels(head.x, head.y, head.cx, head.cy);
    // A dialog is shown only once it is initialised: a modal one always, a modeless one
    // when its template asks for WS_VISIBLE.
    const DWORD style = head.style & ~static_cast<DWORD>(WS_VISIBLE);
    const char* className =
        dialogTemplate.className.empty() ? kDialogClass : dialogTemplate.className.c_str();
    HWND dialog = CreateWindowWithState(
        head.dwExtendedStyle, className, dialogTemplate.caption.c_str(), style, frame.left,
        frame.top, frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance,
        reinterpret_cast<LPVOID>(param), std::move(state));
    if (dialog == nullptr) return nullptr;

    HGDIOBJ font = (head.style & DS_SETFONT) ? GetStockObject(DEFAULT_GUI_FONT) : nullptr;
    if (font != nullptr) SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const DialogControlRecord& control : dialogTemplate.controls) {
        RECT rect = ToPixels(control.x, control.y, control.cx, control.cy);
        HWND child = CreateWindowExA(
            control.exStyle | WS_EX_NOPARENTNOTIFY, control.className.c_str(), control.text.c_str(),
            control.style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
            rect.bottom - rect.top, dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        if (child == nullptr || !IsWindow(dialog)) {
            DWORD error = GetLastError();
            if (IsWindow(dialog)) DestroyWindow(dialog);
            SetLastError(error);
            return nullptr;
        }
        if (font != nullptr) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }

    HWND focus = FirstTabStop(dialog);
    LRESULT wantsDefaultFocus =
        SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);
    if (!IsWindow(dialog)) return nullptr;
    if (wantsDefaultFocus && focus != nullptr && IsWindow(focus)) SetFocus(focus);
    INT_PTR ignored;
    if (modal ? !DialogEnded(dialog, ignored) : (head.style & WS_VISIBLE) != 0) {
        ShowWindow(dialog, SW_SHOW);
    }
    return dialog;
}

INT_PTR RunModal(HINSTANCE instance, const DialogTemplateRecord& dialogTemplate, HWND owner,
                 DLGPROC proc, LPARAM param) {
    HWND previousActive = GetActiveWindow();
    HWND previousFocus = GetFocus();
    HWND dialog = BuildDialog(instance, dialogTemplate, owner, proc, param, true);
    if (dialog == nullptr) return -1;
    // The owner takes no input while its modal dialog runs.
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner) EnableWindow(owner, FALSE);
    INT_PTR result;
    if (!DialogEnded(dialog, result)) {
        SetActiveWindow(dialog);
        DriveModalDialog(dialog, dialogTemplate.name);
        DialogEnded(dialog, result);
    }
    if (disableOwner && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) DestroyWindow(dialog);
    // The window that was active before gets the activation and the keyboard focus back.
    if (previousActive != nullptr && IsWindow(previousActive)) SetActiveWindow(previousActive);
    if (previousFocus != nullptr && IsWindow(previousFocus)) SetFocus(previousFocus);
    return result;
}

// The messages whose answer is the dialog procedure's own return value rather than the
// DWL_MSGRESULT it set.
bool AnswersDirectly(UINT message) {
    constexpr UINT kCompareItem = 0x0039;
    constexpr UINT kVKeyToItem = 0x002E;
    constexpr UINT kCharToItem = 0x002F;
    constexpr UINT kQueryDragIcon = 0x0037;
    constexpr UINT kFirstColorMessage = 0x0132;  // WM_CTLCOLORMSGBOX ... WM_CTLCOLORSTATIC
    constexpr UINT kLastColorMessage = 0x0138;
    return message == WM_INITDIALOG || message == kCompareItem || message == kVKeyToItem ||
           message == kCharToItem || message == kQueryDragIcon ||
           (message >= kFirstColorMessage && message <= kLastColorMessage);
}

// The default button's id: the one DM_SETDEFID set, else the first control styled
// BS_DEFPUSHBUTTON; 0 when there is none.
int DefaultButtonId(HWND dialog) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(dialog);
    auto* state = StateOfLocked<DialogState>(dialog);
    if (object == nullptr) return 0;
    if (state != nullptr && state->defaultId != 0) return state->defaultId;
    for (HWND child : object->children) {
        auto control = FindWindowLocked(child);
        if (control != nullptr && IsOfClassLocked(*control, kButtonClass) &&
            (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            return control->controlId;
        }
    }
    return 0;
}

// What Enter does in a dialog: the default button's command (IDOK when there is none),
// unless that button is disabled.
void PressEnter(HWND dialog) {
    int id = DefaultButtonId(dialog);
    if (id == 0) id = IDOK;
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr && !IsWindowEnabled(button)) return;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace

bool DialogEnded(HWND dialog, INT_PTR& result) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto* state = StateOfLocked<DialogState>(dialog);
    result = state == nullptr ? 0 : state->result;
    return state == nullptr || state->ended;
}

void PressEscape(HWND dialog) {
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    if (cancel != nullptr && !IsWindowEnabled(cancel)) return;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel));
}

}  // namespace tvplatform

using namespace tvplatform;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                               LPARAM param) {
    auto dialogTemplate = FindDialogTemplate(instance, templateName);
    if (dialogTemplate == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    return RunModal(instance, *dialogTemplate, owner, proc, param);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate,
                                       HWND owner, DLGPROC proc, LPARAM param) {
    auto record = DialogTemplateAt(dialogTemplate);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return RunModal(instance, *record, owner, proc, param);
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                               LPARAM param) {
    auto dialogTemplate = FindDialogTemplate(instance, templateName);
    if (dialogTemplate == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return BuildDialog(instance, *dialogTemplate, owner, proc, param, false);
}

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate,
                                       HWND owner, DLGPROC proc, LPARAM param) {
    auto record = DialogTemplateAt(dialogTemplate);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return BuildDialog(instance, *record, owner, proc, param, false);
}

// Marks the dialog ended with its result and hides it; a modal dialog's loop then returns
// the result, a modeless dialog stays until it is destroyed.
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto* state = StateOfLocked<DialogState>(dialog);
        if (state == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        state->ended = true;
        state->result = result;
    }
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        if (auto* state = StateOfLocked<DialogState>(dialog)) proc = state->proc;
    }
    if (proc != nullptr) {
        INT_PTR handled = proc(dialog, message, wParam, lParam);
        if (AnswersDirectly(message)) return handled;
        if (handled) {
            std::lock_guard<std::mutex> lock(User().mutex);
            auto object = FindWindowLocked(dialog);
            LONG answer = 0;
            if (object != nullptr && object->extraBytes.size() >= sizeof(LONG))
                std::memcpy(&answer, object->extraBytes.data() + DWL_MSGRESULT, sizeof(answer));
            return answer;
        }
    }
    LRESULT result;
    if (HandleFontMessage(dialog, message, wParam, result)) return result;
    switch (message) {
        // Without a procedure the dialog takes the default focus.
        case WM_INITDIALOG: return TRUE;
        case WM_CLOSE: PressEscape(dialog); return 0;
        case DM_GETDEFID: {
            int id = DefaultButtonId(dialog);
            return id == 0 ? 0 : MAKELRESULT(id, DC_HASDEFID);
        }
        case DM_SETDEFID: {
            std::lock_guard<std::mutex> lock(User().mutex);
            if (auto* state = StateOfLocked<DialogState>(dialog))
                state->defaultId = static_cast<int>(wParam);
            return TRUE;
        }
        default: return DefWindowProcA(dialog, message, wParam, lParam);
    }
}

// The keys a dialog handles itself (Escape cancels, Enter presses the default button);
// every other message of the dialog or its controls is dispatched. FALSE for a message of
// another window, which the caller dispatches.
BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (msg == nullptr || dialog == nullptr) return FALSE;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        if (FindWindowLocked(dialog) == nullptr || msg->hwnd == nullptr ||
            !IsSelfOrDescendantLocked(dialog, msg->hwnd)) {
            return FALSE;
        }
    }
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        PressEscape(dialog);
        return TRUE;
    }
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
        PressEnter(dialog);
        return TRUE;
    }
    if (msg->message == WM_CHAR && (msg->wParam == '\r' || msg->wParam == 0x1B)) return TRUE;
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    if (rect == nullptr || !IsWindow(dialog)) {
        SetLastError(rect == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ScaleDialogUnits(*rect);
    return TRUE;
}
