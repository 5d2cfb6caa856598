// A dialog read out as text: what ftpsh prints for the status command, and for any dialog
// an answer asks to print.
#include "host/answers.h"
#include "host/handed_text.h"
#include "host/person.h"

namespace ftpsh {

std::string DialogContent(HWND dialog) {
    std::string content;
    std::string label;  // a text ending in ':' that waits for the value after it
    auto line = [&](const std::string& text) {
        if (!label.empty()) {
            content += label + (text.empty() ? "" : " " + text) + "\n";
            label.clear();
        } else if (!text.empty()) {
            content += text + "\n";
        }
    };
    for (HWND control : ChildrenOf(dialog)) {
        if (!IsWindowVisible(control)) continue;
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        const bool checked = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        const std::string off = Reachable(control) ? "" : " (disabled)";
        switch (KindOf(control)) {
            case ControlKind::Static: {
                if ((style & SS_TYPEMASK) == SS_ICON) break;
                // Server text (a host name, a system name) is shown as it is, '&' included.
                const std::string text = std::string(
                    ShownText((style & SS_NOPREFIX) ? TextOf(control)
                                                    : WithoutMnemonic(TextOf(control))));
                if (label.empty() && !text.empty() && text.back() == ':') label = text;
                else line(text);
                break;
            }
            case ControlKind::Edit: line(ShownText(ShownText(control))); break;
            case ControlKind::CheckBox:
                line("");
                line((checked ? "[x] " : "[ ] ") + WithoutMnemonic(TextOf(control)) + off);
                break;
            case ControlKind::RadioButton:
                line("");
                line((checked ? "(*) " : "( ) ") + WithoutMnemonic(TextOf(control)) + off);
                break;
            case ControlKind::GroupBox:
                line("");
                line("-- " + WithoutMnemonic(TextOf(control)) + " --");
                break;
            case ControlKind::ListBox:
            case ControlKind::ComboBox:
                line("");
                for (const std::string& item : ItemsOf(control)) content += "  " + ShownText(item) + "\n";
                break;
            default: break;
        }
    }
    line("");
    return content;
}

}  // namespace ftpsh
