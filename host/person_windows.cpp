// Playing the user on Windows: real controls read and acted on with the window messages
// that a keyboard and a mouse would cause.
#include <algorithm>

#include "host/person.h"

namespace ftpsh {

namespace {

bool ClassIs(HWND control, const char* name) {
    char className[64] = {};
    GetClassNameA(control, className, sizeof className);
    return lstrcmpiA(className, name) == 0;
}

LONG StyleOf(HWND control) { return GetWindowLongA(control, GWL_STYLE); }

}  // namespace

ControlKind KindOf(HWND control) {
    if (ClassIs(control, "Static")) return ControlKind::Static;
    if (ClassIs(control, "Edit")) return ControlKind::Edit;
    if (ClassIs(control, "ListBox")) return ControlKind::ListBox;
    if (ClassIs(control, "ComboBox")) return ControlKind::ComboBox;
    if (!ClassIs(control, "Button")) return ControlKind::Other;
    switch (StyleOf(control) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE: return ControlKind::CheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return ControlKind::RadioButton;
        case BS_GROUPBOX: return ControlKind::GroupBox;
        default: return ControlKind::PushButton;
    }
}

std::string ShownText(HWND control) {
    std::string text = TextOf(control);
    if (KindOf(control) == ControlKind::Edit && (StyleOf(control) & ES_PASSWORD)) {
        auto mask = static_cast<char>(SendMessageA(control, EM_GETPASSWORDCHAR, 0, 0));
        text.assign(text.size(), mask != 0 ? mask : '*');
    }
    return text;
}

bool TypeInto(HWND control, const std::string& text) {
    if (KindOf(control) != ControlKind::Edit || !Reachable(control) ||
        (StyleOf(control) & ES_READONLY)) {
        return false;
    }
    // A keyboard stops at the edit's limit.
    auto limit = static_cast<size_t>(SendMessageA(control, EM_GETLIMITTEXT, 0, 0));
    std::string typed = text.substr(0, std::min(text.size(), limit));
    SetFocus(control);
    // A single-line edit tells its dialog EN_CHANGE for the new text.
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    return true;
}

bool Click(HWND control) {
    ControlKind kind = KindOf(control);
    if (kind != ControlKind::PushButton && kind != ControlKind::CheckBox &&
        kind != ControlKind::RadioButton) {
        return false;
    }
    if (!Reachable(control)) return false;
    // A button clicks only in the active window.
    SetActiveWindow(GetAncestor(control, GA_ROOT));
    SendMessageA(control, BM_CLICK, 0, 0);
    return true;
}

bool ChooseItem(HWND control, int index) {
    ControlKind kind = KindOf(control);
    if ((kind != ControlKind::ListBox && kind != ControlKind::ComboBox) || !Reachable(control))
        return false;
    const bool combo = kind == ControlKind::ComboBox;
    LRESULT count = SendMessageA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    if (index < 0 || index >= count) return false;
    WORD notice;
    if (combo) {
        SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        notice = CBN_SELCHANGE;
    } else {
        if (StyleOf(control) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
            SendMessageA(control, LB_SETSEL, FALSE, -1);
            SendMessageA(control, LB_SETSEL, TRUE, index);
        } else {
            SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
        if (!(StyleOf(control) & LBS_NOTIFY)) return true;
        notice = LBN_SELCHANGE;
    }
    SendMessageA(GetParent(control), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), notice),
                 reinterpret_cast<LPARAM>(control));
    return true;
}

}  // namespace ftpsh
