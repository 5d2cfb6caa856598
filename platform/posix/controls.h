// The controls that dialogs are built of, without a screen: buttons, static texts, edits,
// list boxes and combo boxes. Each keeps its state in a record hung on its window; their
// window procedures answer the messages dialog procedures send them and tell the parent
// what a person did to them. Internal to the platform.
#pragma once

#include "platform/posix/window_object.h"

#include <string>
#include <vector>

namespace tvplatform {

// The class names of the platform's own windows, registered as global classes.
constexpr const char* kButtonClass = "Button";
constexpr const char* kStaticClass = "Static";
constexpr const char* kEditClass = "Edit";
constexpr const char* kListBoxClass = "ListBox";
constexpr const char* kComboBoxClass = "ComboBox";
constexpr const char* kDialogClass = "#32770";

// A single-line edit takes this many characters until EM_LIMITTEXT says otherwise.
constexpr size_t kDefaultEditLimit = 0x7FFE;
// What EM_LIMITTEXT 0 means: as much as a single-line edit can hold.
constexpr size_t kLargestEditLimit = 0x7FFFFFFE;

struct ButtonState : WindowExtension {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
};

struct EditState : WindowExtension {
    size_t limit = kDefaultEditLimit;
    char passwordChar = 0;
    bool modified = false;
    DWORD selectionStart = 0;
    DWORD selectionEnd = 0;
};

struct ListItem {
    std::string text;
    LPARAM data = 0;
    bool selected = false;  // multiple- and extended-selection lists
};

// The items of a list box, or of a combo box's list, with what selection and scrolling
// they have.
struct ListState : WindowExtension {
    std::vector<ListItem> items;
    int current = -1;  // the selection of a single-selection list; the caret of the others
    int top = 0;
    int horizontalExtent = 0;
    size_t editLimit = kDefaultEditLimit;  // combo boxes: the limit of their edit
};

// Window procedures of the control classes.
LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Hangs a fresh state record of type State on a window being created, unless it has one.
template <typename State>
void AttachState(HWND window) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object != nullptr && dynamic_cast<State*>(object->controlState.get()) == nullptr) {
        object->controlState = std::make_unique<State>();
    }
}

// The style bits of a window as created (without WS_VISIBLE and WS_DISABLED); 0 for an
// unknown window.
DWORD StyleOf(HWND window);

// Whether the window is of the class `className` (lock held).
bool IsOfClassLocked(const WindowObject& object, const char* className);

// Sends the parent of a control WM_COMMAND with the control's id and `code`, as controls
// tell their dialog what happened to them.
void NotifyParent(HWND control, WORD code);

// Stores and answers WM_SETFONT and WM_GETFONT; true when `message` was one of them.
bool HandleFontMessage(HWND window, UINT message, WPARAM wParam, LRESULT& result);

// What a person typing does to an edit after selecting all of its text (TvTypeText);
// false for an edit that is read-only.
bool TypeIntoEdit(HWND edit, const char* text);

// What a person does to a list box or combo box by clicking item `index` (TvChooseListItem).
bool ChooseListItem(HWND control, int index, bool extend);

// What a person typing into a combo box's edit does (TvTypeText).
bool TypeIntoCombo(HWND combo, const char* text);

// Hands a line that a list box accepted to the observer of list-box lines, if any.
void ReportListLine(HWND listBox, int index, const char* text);

}  // namespace tvplatform
