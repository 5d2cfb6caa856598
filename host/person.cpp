// The parts of playing the user that read controls the same way on every platform.
#include "host/person.h"

#include <algorithm>
#include <cstdio>

namespace ftpsh {

std::string TextOf(HWND control) {
    int length = GetWindowTextLengthA(control);
    if (length <= 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(control, text.data(), length + 1)));
    return text;
}

std::vector<HWND> ChildrenOf(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

std::vector<std::string> ItemsOf(HWND control) {
    const bool combo = KindOf(control) == ControlKind::ComboBox;
    std::vector<std::string> items;
    LRESULT count = SendMessageA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageA(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN,
                                      static_cast<WPARAM>(i), 0);
        if (length < 0) length = 0;
        std::string item(static_cast<size_t>(length) + 1, '\0');
        LRESULT got = SendMessageA(control, combo ? CB_GETLBTEXT : LB_GETTEXT,
                                   static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(got < 0 ? 0 : std::min(static_cast<size_t>(got), static_cast<size_t>(length)));
        items.push_back(item);
    }
    return items;
}

bool Reachable(HWND control) {
    return IsWindowVisible(control) != FALSE && IsWindowEnabled(control) != FALSE;
}

namespace {

// A text in double quotes on one line: line ends and other control characters as escapes.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

const char* KindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Static: return "static";
        case ControlKind::Edit: return "edit";
        case ControlKind::PushButton: return "button";
        case ControlKind::CheckBox: return "check";
        case ControlKind::RadioButton: return "radio";
        case ControlKind::GroupBox: return "group";
        case ControlKind::ListBox: return "list";
        case ControlKind::ComboBox: return "combo";
        case ControlKind::Other: break;
    }
    return "other";
}

}  // namespace

std::string ControlRecord(HWND dialog) {
    std::string record = Quoted(TextOf(dialog)) + "\n";
    for (HWND control : ChildrenOf(dialog)) {
        const ControlKind kind = KindOf(control);
        // Ids are words in a template: the unnamed id -1 reads as 65535 on Windows.
        const unsigned id = static_cast<unsigned short>(GetDlgCtrlID(control));
        std::string line = std::to_string(id) + " " + KindName(kind) + " " + Quoted(TextOf(control));
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        if (kind == ControlKind::PushButton && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            line += " default";
        if (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton)
            line += SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? " checked" : " unchecked";
        if (kind == ControlKind::Edit && (style & ES_PASSWORD) != 0) line += " password";
        if (kind == ControlKind::ListBox || kind == ControlKind::ComboBox) {
            // The chosen items (a list's selection, which LB_GETSEL tells for lists of one
            // choice and of many alike; LB_GETCURSEL would give a many-choice list's caret).
            const LRESULT chosen = kind == ControlKind::ComboBox ? SendMessageA(control, CB_GETCURSEL, 0, 0) : -1;
            const std::vector<std::string> items = ItemsOf(control);
            line += " items";
            for (size_t i = 0; i < items.size(); ++i) {
                const bool selected = kind == ControlKind::ComboBox
                                          ? static_cast<LRESULT>(i) == chosen
                                          : SendMessageA(control, LB_GETSEL, i, 0) > 0;
                line += " " + Quoted(items[i]) + (selected ? "*" : "");
            }
        }
        if (IsWindowEnabled(control) == FALSE) line += " disabled";
        if (IsWindowVisible(control) == FALSE) line += " hidden";
        record += line + "\n";
    }
    return record;
}

std::string SaveControlRecord(const std::string& folder, int number, const std::string& name,
                              HWND dialog) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "/%02d-", number);
    const std::string path = folder + prefix + name + ".txt";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return "";
    const std::string record = ControlRecord(dialog);
    const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    return std::fclose(file) == 0 && written ? path : "";
}

std::string WithoutMnemonic(const std::string& label) {
    std::string plain;
    for (size_t i = 0; i < label.size(); ++i) {
        // The mark is dropped and the character after it kept, which for "&&" is the '&'.
        if (label[i] == '&') {
            if (i + 1 == label.size()) break;
            ++i;
        }
        plain += label[i];
    }
    return plain;
}

}  // namespace ftpsh
