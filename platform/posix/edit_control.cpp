// Single-line edits. The program sets and reads the text freely (WM_SETTEXT is not held to
// the limit, as on Windows); what a person types stops at the limit that EM_LIMITTEXT set.
// A password edit (ES_PASSWORD) keeps its real text for the program and shows only its
// password character on the screen.
#include "platform/posix/controls.h"

#include "platform/posix/ansi_case.h"

#include <algorithm>

namespace tvplatform {

namespace {

// Clamps the selection to the text; a start of -1 means no selection (the caret at the
// end), an end of -1 the end of the text.
void SetSelectionLocked(EditState& state, size_t length, LONG_PTR start, LONG_PTR end) {
    if (start == -1) {
        state.selectionStart = state.selectionEnd = static_cast<DWORD>(length);
        return;
    }
    auto clamp = [length](LONG_PTR value) {
        if (value < 0 || static_cast<size_t>(value) > length) return static_cast<DWORD>(length);
        return static_cast<DWORD>(value);
    };
    DWORD a = clamp(start);
    DWORD b = clamp(end);
    state.selectionStart = std::min(a, b);
    state.selectionEnd = std::max(a, b);
}

// Replaces the selection with `text`, cut so that the whole stays within the limit. The
// result is whether all of `text` went in.
bool ReplaceSelection(HWND window, const char* text, bool byPerson) {
    std::string typed = text == nullptr ? "" : text;
    bool complete;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        auto* state =
            object == nullptr ? nullptr : dynamic_cast<EditState*>(object->controlState.get());
        if (state == nullptr) return false;
        if (byPerson) {
            std::string kept;
            for (char c : typed) {
                auto u = static_cast<unsigned char>(c);
                if ((object->style & ES_NUMBER) && (u < '0' || u > '9')) continue;
                if (object->style & ES_UPPERCASE) u = AnsiToUpper(u);
                if (object->style & ES_LOWERCASE) u = AnsiToLower(u);
                kept += static_cast<char>(u);
            }
            typed = kept;
        }
        std::string& current = object->text;
        size_t start = std::min<size_t>(state->selectionStart, current.size());
        size_t end = std::clamp<size_t>(state->selectionEnd, start, current.size());
        size_t remaining = current.size() - (end - start);
        size_t room = state->limit > remaining ? state->limit - remaining : 0;
        complete = typed.size() <= room;
        if (!complete) typed.resize(room);
        current.replace(start, end - start, typed);
        state->selectionStart = state->selectionEnd = static_cast<DWORD>(start + typed.size());
        if (byPerson) state->modified = true;
    }
    if (!complete) NotifyParent(window, EN_MAXTEXT);
    NotifyParent(window, EN_UPDATE);
    NotifyParent(window, EN_CHANGE);
    return complete;
}

}  // namespace

bool TypeIntoEdit(HWND edit, const char* text) {
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(edit);
        auto* state =
            object == nullptr ? nullptr : dynamic_cast<EditState*>(object->controlState.get());
        if (state == nullptr || (object->style & ES_READONLY)) return false;
        SetSelectionLocked(*state, object->text.size(), 0, -1);
    }
    ReplaceSelection(edit, text, true);
    return true;
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (HandleFontMessage(window, message, wParam, result)) return result;
    switch (message) {
        case WM_NCCREATE:
            AttachState<EditState>(window);
            {
                std::lock_guard<std::mutex> lock(User().mutex);
                auto object = FindWindowLocked(window);
                auto* state = StateOfLocked<EditState>(window);
                if (object != nullptr && state != nullptr && (object->style & ES_PASSWORD))
                    state->passwordChar = '*';
            }
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_SETTEXT: {
            if (!DefWindowProcA(window, message, wParam, lParam)) return FALSE;
            {
                std::lock_guard<std::mutex> lock(User().mutex);
                if (auto* state = StateOfLocked<EditState>(window)) {
                    state->modified = false;
                    state->selectionStart = state->selectionEnd = 0;
                }
            }
            NotifyParent(window, EN_UPDATE);
            NotifyParent(window, EN_CHANGE);
            return TRUE;
        }
        case EM_REPLACESEL:
            ReplaceSelection(window, reinterpret_cast<const char*>(lParam), false);
            return 0;
        case EM_LIMITTEXT:
        case EM_GETLIMITTEXT:
        case EM_SETPASSWORDCHAR:
        case EM_GETPASSWORDCHAR:
        case EM_SETREADONLY:
        case EM_GETMODIFY:
        case EM_SETMODIFY:
        case EM_SETSEL:
        case EM_GETSEL: break;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    auto* state =
        object == nullptr ? nullptr : dynamic_cast<EditState*>(object->controlState.get());
    if (state == nullptr) return 0;
    switch (message) {
        case EM_LIMITTEXT: state->limit = wParam == 0 ? kLargestEditLimit : wParam; return 0;
        case EM_GETLIMITTEXT: return static_cast<LRESULT>(state->limit);
        case EM_SETPASSWORDCHAR:
            state->passwordChar = static_cast<char>(wParam);
            if (wParam != 0) {
                object->style |= ES_PASSWORD;
            } else {
                object->style &= ~static_cast<DWORD>(ES_PASSWORD);
            }
            return 0;
        case EM_GETPASSWORDCHAR: return static_cast<unsigned char>(state->passwordChar);
        case EM_SETREADONLY:
            if (wParam != 0) {
                object->style |= ES_READONLY;
            } else {
                object->style &= ~static_cast<DWORD>(ES_READONLY);
            }
            return TRUE;
        case EM_GETMODIFY: return state->modified;
        case EM_SETMODIFY: state->modified = wParam != 0; return 0;
        case EM_SETSEL:
            SetSelectionLocked(*state, object->text.size(), static_cast<LONG_PTR>(wParam), lParam);
            return 0;
        case EM_GETSEL:
            if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = state->selectionStart;
            if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = state->selectionEnd;
            return MAKELRESULT(state->selectionStart, state->selectionEnd);
        default: return 0;
    }
}

}  // namespace tvplatform
