// The parts of playing the user that read controls the same way on every platform.
#include "host/person.h"

#include <algorithm>

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
