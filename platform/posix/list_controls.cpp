// List boxes and combo boxes: ordered (or sorted) text items with item data, single,
// multiple or extended selection, the top index and horizontal extent a layout sets, and
// the searches by prefix or whole text, ignoring case. A combo box is the same list with
// an edit (its window text) that shows the chosen item.
#include "platform/posix/controls.h"

#include "platform/posix/ansi_case.h"

#include <cstring>
#include <new>

namespace tvplatform {

namespace {

bool IsMultiple(DWORD style) { return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        if (AnsiToLower(static_cast<unsigned char>(text[i])) !=
            AnsiToLower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The first item after `start` (from the first when `start` is -1 or out of range) whose
// text begins with (or, `exact`, equals) `text`, ignoring case, going round to the start;
// -1 when there is none.
int FindItem(const ListState& state, WPARAM start, const char* text, bool exact) {
    if (text == nullptr) text = "";
    int count = static_cast<int>(state.items.size());
    int from = static_cast<int>(static_cast<LONG_PTR>(start));
    if (from < -1 || from >= count) from = -1;
    for (int step = 1; step <= count; ++step) {
        int index = (from + step) % count;
        const std::string& item = state.items[static_cast<size_t>(index)].text;
        bool match =
            exact ? AnsiCompareNoCase(item.c_str(), text) == 0 : StartsWithNoCase(item, text);
        if (match) return index;
    }
    return -1;
}

// Inserts an item at `index` (-1: at the end, or in sorted place when `sorted`); the result
// is its index, LB_ERR for an index beyond the end, LB_ERRSPACE when memory runs out.
int InsertItem(ListState& state, int index, const char* text, bool sorted) {
    int count = static_cast<int>(state.items.size());
    std::string value = text == nullptr ? "" : text;
    if (sorted && index == -1) {
        index = 0;
        while (index < count &&
               AnsiCompareNoCase(state.items[static_cast<size_t>(index)].text.c_str(),
                                 value.c_str()) <= 0) {
            ++index;
        }
    } else if (index == -1) {
        index = count;
    } else if (index < 0 || index > count) {
        return LB_ERR;
    }
    try {
        state.items.insert(state.items.begin() + index, ListItem{std::move(value), 0, false});
    } catch (const std::bad_alloc&) {
        return LB_ERRSPACE;
    }
    if (state.current >= index) ++state.current;
    return index;
}

int DeleteItem(ListState& state, int index) {
    int count = static_cast<int>(state.items.size());
    if (index < 0 || index >= count) return LB_ERR;
    state.items.erase(state.items.begin() + index);
    if (state.current == index) {
        state.current = -1;
    } else if (state.current > index) {
        --state.current;
    }
    if (state.top >= count - 1) state.top = std::max(0, count - 2);
    return count - 1;
}

bool ValidIndex(const ListState& state, WPARAM index) {
    auto value = static_cast<LONG_PTR>(index);
    return value >= 0 && static_cast<size_t>(value) < state.items.size();
}

const ListItem* ItemAt(const ListState& state, WPARAM index) {
    return ValidIndex(state, index) ? &state.items[index] : nullptr;
}

// The messages list boxes and combo boxes answer alike (the LB_ numbers are used for both).
LRESULT CommonListMessage(ListState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case LB_GETCOUNT: return static_cast<LRESULT>(state.items.size());
        case LB_GETTEXT: {
            const ListItem* item = ItemAt(state, wParam);
            if (item == nullptr || lParam == 0) return LB_ERR;
            std::memcpy(reinterpret_cast<char*>(lParam), item->text.c_str(), item->text.size() + 1);
            return static_cast<LRESULT>(item->text.size());
        }
        case LB_GETTEXTLEN: {
            const ListItem* item = ItemAt(state, wParam);
            return item == nullptr ? LB_ERR : static_cast<LRESULT>(item->text.size());
        }
        case LB_FINDSTRING:
        case LB_FINDSTRINGEXACT: {
            int found = FindItem(state, wParam, reinterpret_cast<const char*>(lParam),
                                 message == LB_FINDSTRINGEXACT);
            return found < 0 ? LB_ERR : found;
        }
        case LB_GETITEMDATA: {
            const ListItem* item = ItemAt(state, wParam);
            return item == nullptr ? LB_ERR : item->data;
        }
        case LB_SETITEMDATA:
            if (!ValidIndex(state, wParam)) return LB_ERR;
            state.items[wParam].data = lParam;
            return 0;
        default: return LB_ERR;
    }
}

// Runs `body` on the window's list state with the lock held; LB_ERR without one.
template <typename Body>
LRESULT WithList(HWND window, Body body) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    auto* state =
        object == nullptr ? nullptr : dynamic_cast<ListState*>(object->controlState.get());
    if (state == nullptr) return LB_ERR;
    return body(*object, *state);
}

LRESULT ListBoxMessage(WindowObject& object, ListState& state, UINT message, WPARAM wParam,
                       LPARAM lParam) {
    const bool multiple = IsMultiple(object.style);
    switch (message) {
        case LB_DELETESTRING:
            return DeleteItem(state, static_cast<int>(static_cast<LONG_PTR>(wParam)));
        case LB_RESETCONTENT:
            state.items.clear();
            state.current = -1;
            state.top = 0;
            return 0;
        case LB_GETCURSEL: return state.current;
        case LB_SETCURSEL: {
            if (multiple) return LB_ERR;
            auto index = static_cast<LONG_PTR>(wParam);
            if (index == -1) {
                state.current = -1;
                return LB_ERR;
            }
            if (!ValidIndex(state, wParam)) return LB_ERR;
            state.current = static_cast<int>(index);
            return state.current;
        }
        case LB_GETSEL: {
            if (!ValidIndex(state, wParam)) return LB_ERR;
            if (!multiple) return static_cast<int>(wParam) == state.current;
            return state.items[wParam].selected;
        }
        case LB_SETSEL: {
            if (!multiple) return LB_ERR;
            auto index = static_cast<LONG_PTR>(lParam);
            if (index == -1) {
                for (ListItem& item : state.items) item.selected = wParam != 0;
                return 0;
            }
            if (!ValidIndex(state, static_cast<WPARAM>(index))) return LB_ERR;
            state.items[static_cast<size_t>(index)].selected = wParam != 0;
            state.current = static_cast<int>(index);
            return 0;
        }
        case LB_GETSELCOUNT: {
            if (!multiple) return LB_ERR;
            int count = 0;
            for (const ListItem& item : state.items) count += item.selected ? 1 : 0;
            return count;
        }
        case LB_GETSELITEMS: {
            if (!multiple) return LB_ERR;
            auto* out = reinterpret_cast<INT*>(lParam);
            auto room = static_cast<size_t>(wParam);
            size_t filled = 0;
            for (size_t i = 0; i < state.items.size() && filled < room && out != nullptr; ++i) {
                if (state.items[i].selected) out[filled++] = static_cast<INT>(i);
            }
            return static_cast<LRESULT>(filled);
        }
        case LB_SELECTSTRING: {
            if (multiple) return LB_ERR;
            int found = FindItem(state, wParam, reinterpret_cast<const char*>(lParam), false);
            if (found < 0) return LB_ERR;
            state.current = found;
            return found;
        }
        case LB_GETTOPINDEX: return state.top;
        case LB_SETTOPINDEX:
            if (!ValidIndex(state, wParam)) return LB_ERR;
            state.top = static_cast<int>(wParam);
            return 0;
        case LB_GETHORIZONTALEXTENT: return state.horizontalExtent;
        case LB_SETHORIZONTALEXTENT: state.horizontalExtent = static_cast<int>(wParam); return 0;
        case LB_GETCARETINDEX: return state.current < 0 ? 0 : state.current;
        case LB_SETCARETINDEX:
            if (!ValidIndex(state, wParam)) return LB_ERR;
            state.current = static_cast<int>(wParam);
            return 0;
        default: return CommonListMessage(state, message, wParam, lParam);
    }
}

LRESULT ComboBoxMessage(WindowObject& object, ListState& state, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    switch (message) {
        case CB_DELETESTRING:
            return DeleteItem(state, static_cast<int>(static_cast<LONG_PTR>(wParam)));
        case CB_RESETCONTENT:
            state.items.clear();
            state.current = -1;
            object.text.clear();
            return CB_OKAY;
        case CB_GETCURSEL: return state.current;
        case CB_SETCURSEL:
            if (!ValidIndex(state, wParam)) {
                state.current = -1;
                object.text.clear();
                return CB_ERR;
            }
            state.current = static_cast<int>(wParam);
            object.text = state.items[wParam].text;
            return state.current;
        case CB_SELECTSTRING: {
            int found = FindItem(state, wParam, reinterpret_cast<const char*>(lParam), false);
            if (found < 0) return CB_ERR;
            state.current = found;
            object.text = state.items[static_cast<size_t>(found)].text;
            return found;
        }
        case CB_LIMITTEXT: state.editLimit = wParam == 0 ? kLargestEditLimit : wParam; return TRUE;
        case CB_GETCOUNT: return CommonListMessage(state, LB_GETCOUNT, wParam, lParam);
        case CB_GETLBTEXT: return CommonListMessage(state, LB_GETTEXT, wParam, lParam);
        case CB_GETLBTEXTLEN: return CommonListMessage(state, LB_GETTEXTLEN, wParam, lParam);
        case CB_FINDSTRING: return CommonListMessage(state, LB_FINDSTRING, wParam, lParam);
        case CB_FINDSTRINGEXACT:
            return CommonListMessage(state, LB_FINDSTRINGEXACT, wParam, lParam);
        case CB_GETITEMDATA: return CommonListMessage(state, LB_GETITEMDATA, wParam, lParam);
        case CB_SETITEMDATA: return CommonListMessage(state, LB_SETITEMDATA, wParam, lParam);
        default: return CB_ERR;
    }
}

bool IsListBoxMessage(UINT message) {
    return message >= LB_ADDSTRING && message <= LB_FINDSTRINGEXACT;
}
bool IsComboBoxMessage(UINT message) {
    return message >= CB_LIMITTEXT && message <= CB_FINDSTRINGEXACT;
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (HandleFontMessage(window, message, wParam, result)) return result;
    if (message == WM_NCCREATE) {
        AttachState<ListState>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == LB_ADDSTRING || message == LB_INSERTSTRING) {
        const char* text = reinterpret_cast<const char*>(lParam);
        LRESULT index = WithList(window, [&](WindowObject& object, ListState& state) -> LRESULT {
            if (message == LB_ADDSTRING)
                return InsertItem(state, -1, text, (object.style & LBS_SORT) != 0);
            // -1 asks for the end; any other index must lie within the list.
            int at = static_cast<int>(static_cast<LONG_PTR>(wParam));
            return at == -1 ? InsertItem(state, -1, text, false)
                            : (at < -1 ? LB_ERR : InsertItem(state, at, text, false));
        });
        if (index >= 0)
            ReportListLine(window, static_cast<int>(index), text == nullptr ? "" : text);
        return index;
    }
    if (!IsListBoxMessage(message)) return DefWindowProcA(window, message, wParam, lParam);
    return WithList(window, [&](WindowObject& object, ListState& state) {
        return ListBoxMessage(object, state, message, wParam, lParam);
    });
}

LRESULT CALLBACK ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (HandleFontMessage(window, message, wParam, result)) return result;
    if (message == WM_NCCREATE) {
        AttachState<ListState>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == CB_ADDSTRING || message == CB_INSERTSTRING) {
        const char* text = reinterpret_cast<const char*>(lParam);
        return WithList(window, [&](WindowObject& object, ListState& state) -> LRESULT {
            if (message == CB_ADDSTRING)
                return InsertItem(state, -1, text, (object.style & CBS_SORT) != 0);
            int at = static_cast<int>(static_cast<LONG_PTR>(wParam));
            return at < -1 ? CB_ERR : InsertItem(state, at, text, false);
        });
    }
    if (!IsComboBoxMessage(message)) return DefWindowProcA(window, message, wParam, lParam);
    return WithList(window, [&](WindowObject& object, ListState& state) {
        return ComboBoxMessage(object, state, message, wParam, lParam);
    });
}

bool ChooseListItem(HWND control, int index, bool extend) {
    bool isCombo = false;
    bool notify = false;
    LRESULT chosen = WithList(control, [&](WindowObject& object, ListState& state) -> LRESULT {
        if (index < 0 || static_cast<size_t>(index) >= state.items.size()) return LB_ERR;
        isCombo = IsOfClassLocked(object, kComboBoxClass);
        if (isCombo) {
            state.current = index;
            object.text = state.items[static_cast<size_t>(index)].text;
            notify = true;
            return index;
        }
        if (object.style & LBS_NOSEL) return LB_ERR;
        if (object.style & LBS_MULTIPLESEL) {
            state.items[static_cast<size_t>(index)].selected ^= true;
        } else if (object.style & LBS_EXTENDEDSEL) {
            if (extend) {
                state.items[static_cast<size_t>(index)].selected ^= true;
            } else {
                for (ListItem& item : state.items) item.selected = false;
                state.items[static_cast<size_t>(index)].selected = true;
            }
        }
        state.current = index;
        notify = (object.style & LBS_NOTIFY) != 0;
        return index;
    });
    if (chosen < 0) return false;
    SetFocus(control);
    if (notify) NotifyParent(control, isCombo ? CBN_SELCHANGE : LBN_SELCHANGE);
    return true;
}

bool TypeIntoCombo(HWND combo, const char* text) {
    LRESULT typed = WithList(combo, [&](WindowObject& object, ListState& state) -> LRESULT {
        if (!IsOfClassLocked(object, kComboBoxClass) || (object.style & 3) == CBS_DROPDOWNLIST)
            return LB_ERR;
        std::string value = text == nullptr ? "" : text;
        if (value.size() > state.editLimit) value.resize(state.editLimit);
        object.text = value;
        state.current = -1;
        return 0;
    });
    if (typed < 0) return false;
    NotifyParent(combo, CBN_EDITUPDATE);
    NotifyParent(combo, CBN_EDITCHANGE);
    return true;
}

}  // namespace tvplatform
