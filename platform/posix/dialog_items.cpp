// The calls that reach a dialog's controls by id: texts and numbers in them, messages to
// them, and the check state of buttons.
#include "platform/posix/controls.h"

#include <climits>
#include <string>

using namespace tvplatform;

// The first child of the dialog with that id (children only, not their children).
HWND WINAPI GetDlgItem(HWND dialog, int id) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(dialog);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : object->children) {
        auto control = FindWindowLocked(child);
        if (control != nullptr && control->controlId == id) return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND control) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(control);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return object->controlId;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && SetWindowTextA(control, text);
}

// Copies at most max - 1 characters and a NUL, and returns how many it copied.
UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR out, int max) {
    if (out == nullptr || max <= 0) return 0;
    out[0] = '\0';
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return 0;
    return static_cast<UINT>(GetWindowTextA(control, out, max));
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    std::string text = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    return SetDlgItemTextA(dialog, id, text.c_str());
}

// Leading and trailing blanks are allowed around the number, and a '-' before it when
// `isSigned`. Anything else, no digit at all, or a value beyond the range gives 0 with
// *translated FALSE, so that a caller never takes "12abc" for 12.
UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated != nullptr) *translated = FALSE;
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return 0;
    int length = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(control, text.data(), length + 1)));

    size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    };
    skipBlanks();
    bool negative = false;
    if (isSigned && at < text.size() && text[at] == '-') {
        negative = true;
        ++at;
    }
    const unsigned long long limit =
        isSigned ? (negative ? static_cast<unsigned long long>(INT_MAX) + 1 : INT_MAX) : UINT_MAX;
    unsigned long long value = 0;
    size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        value = value * 10 + static_cast<unsigned>(text[at] - '0');
        if (value > limit) return 0;
    }
    skipBlanks();
    if (digits == 0 || at != text.size()) return 0;
    if (translated != nullptr) *translated = TRUE;
    if (negative) return static_cast<UINT>(-static_cast<long long>(value));
    return static_cast<UINT>(value);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? 0 : SendMessageA(control, message, wParam, lParam);
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

// Checks `checkId` and unchecks every other control of the dialog whose id lies in the
// range.
BOOL WINAPI CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    std::vector<std::pair<HWND, int>> inRange;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(dialog);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        for (HWND child : object->children) {
            auto control = FindWindowLocked(child);
            if (control != nullptr && control->controlId >= firstId && control->controlId <= lastId)
                inRange.emplace_back(child, control->controlId);
        }
    }
    for (auto& [control, id] : inRange) {
        SendMessageA(control, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}
