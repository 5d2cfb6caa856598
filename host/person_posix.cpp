// Playing the user on the POSIX platform: its headless controls are read and acted on
// through the platform's own person calls.
#include "host/person.h"
#include "platform/posix/hooks.h"

namespace ftpsh {

ControlKind KindOf(HWND control) {
    switch (TvGetControlKind(control)) {
        case TV_CONTROL_STATIC: return ControlKind::Static;
        case TV_CONTROL_EDIT: return ControlKind::Edit;
        case TV_CONTROL_PUSH_BUTTON: return ControlKind::PushButton;
        case TV_CONTROL_CHECK_BOX: return ControlKind::CheckBox;
        case TV_CONTROL_RADIO_BUTTON: return ControlKind::RadioButton;
        case TV_CONTROL_GROUP_BOX: return ControlKind::GroupBox;
        case TV_CONTROL_LIST_BOX: return ControlKind::ListBox;
        case TV_CONTROL_COMBO_BOX: return ControlKind::ComboBox;
        default: return ControlKind::Other;
    }
}

std::string ShownText(HWND control) {
    int length = GetWindowTextLengthA(control);
    if (length <= 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(TvGetControlDisplayText(control, text.data(), length + 1)));
    return text;
}

bool TypeInto(HWND control, const std::string& text) {
    return TvTypeText(control, text.c_str()) != FALSE;
}

bool Click(HWND control) { return TvClickControl(control) != FALSE; }

bool ChooseItem(HWND control, int index) {
    return TvChooseListItem(control, index, FALSE) != FALSE;
}

}  // namespace ftpsh
