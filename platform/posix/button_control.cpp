// Buttons: push buttons, check boxes, radio buttons and group boxes. They keep their check
// state, and a click (BM_CLICK) does what a mouse click does: auto check boxes toggle,
// auto radio buttons take the check from the other radio buttons of their group, and the
// parent hears BN_CLICKED.
#include "platform/posix/controls.h"

#include <algorithm>

namespace tvplatform {

namespace {

DWORD ButtonType(DWORD style) { return style & BS_TYPEMASK; }

bool HoldsCheck(DWORD style) {
    switch (ButtonType(style)) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE: return true;
        default: return false;
    }
}

bool IsRadio(DWORD style) {
    return ButtonType(style) == BS_RADIOBUTTON || ButtonType(style) == BS_AUTORADIOBUTTON;
}

// Unchecks the other radio buttons of the group `button` belongs to: the siblings from the
// nearest one at or before it that starts a group (WS_GROUP) up to the next that does.
void UncheckGroupLocked(const WindowObject& button) {
    auto parent = FindWindowLocked(button.parent);
    if (parent == nullptr) return;
    const std::vector<HWND>& siblings = parent->children;
    auto at = std::find(siblings.begin(), siblings.end(), button.handle);
    if (at == siblings.end()) return;
    auto first = at;
    while (first != siblings.begin()) {
        auto object = FindWindowLocked(*first);
        if (object != nullptr && (object->style & WS_GROUP)) break;
        --first;
    }
    for (auto it = first; it != siblings.end(); ++it) {
        auto object = FindWindowLocked(*it);
        if (object == nullptr) continue;
        if (it != first && (object->style & WS_GROUP)) break;
        if (*it == button.handle || !IsOfClassLocked(*object, kButtonClass) ||
            !IsRadio(object->style)) {
            continue;
        }
        if (auto* state = dynamic_cast<ButtonState*>(object->controlState.get()))
            state->check = BST_UNCHECKED;
    }
}

void Click(HWND window) {
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        if (object == nullptr || !object->enabled) return;
        auto* state = dynamic_cast<ButtonState*>(object->controlState.get());
        if (state == nullptr || ButtonType(object->style) == BS_GROUPBOX) return;
        switch (ButtonType(object->style)) {
            case BS_AUTOCHECKBOX:
                state->check = state->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
                break;
            case BS_AUTO3STATE: state->check = (state->check + 1) % 3; break;
            case BS_AUTORADIOBUTTON:
                state->check = BST_CHECKED;
                UncheckGroupLocked(*object);
                break;
            default: break;
        }
    }
    // A click also gives the button the keyboard focus.
    SetFocus(window);
    NotifyParent(window, BN_CLICKED);
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (HandleFontMessage(window, message, wParam, result)) return result;
    switch (message) {
        case WM_NCCREATE:
            AttachState<ButtonState>(window);
            return DefWindowProcA(window, message, wParam, lParam);
        case BM_CLICK: Click(window); return 0;
        case BM_GETCHECK:
        case BM_SETCHECK:
        case BM_GETSTATE:
        case BM_SETSTATE:
        case BM_SETSTYLE: break;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    auto* state =
        object == nullptr ? nullptr : dynamic_cast<ButtonState*>(object->controlState.get());
    if (state == nullptr) return 0;
    switch (message) {
        case BM_GETCHECK: return HoldsCheck(object->style) ? state->check : BST_UNCHECKED;
        case BM_SETCHECK: {
            if (!HoldsCheck(object->style)) return 0;
            bool threeState = ButtonType(object->style) == BS_3STATE ||
                              ButtonType(object->style) == BS_AUTO3STATE;
            if (wParam == BST_INDETERMINATE && threeState) {
                state->check = BST_INDETERMINATE;
            } else {
                state->check = wParam != BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
            }
            return 0;
        }
        case BM_GETSTATE:
            return (HoldsCheck(object->style) ? state->check : 0) |
                   (state->pushed ? BST_PUSHED : 0);
        case BM_SETSTATE: state->pushed = wParam != 0; return 0;
        case BM_SETSTYLE: object->style = (object->style & 0xFFFF0000u) | LOWORD(wParam); return 0;
        default: return 0;
    }
}

}  // namespace tvplatform
