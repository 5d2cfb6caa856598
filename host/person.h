// What a person sees of a dialog's controls and does with them: ftpsh plays the user in
// front of the module's dialogs and the protocol window this way, never by calling into
// the module. One implementation per platform: the POSIX platform's own person calls, or
// window messages to real Windows controls.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace ftpsh {

enum class ControlKind { Other, Static, Edit, PushButton, CheckBox, RadioButton, GroupBox, ListBox, ComboBox };

ControlKind KindOf(HWND control);
// The control's text as the screen shows it (a password edit shows one mask character per
// character it holds).
std::string ShownText(HWND control);
// The control's real text.
std::string TextOf(HWND control);
// Replaces an edit's text as typing after "select all" would, the dialog hearing of it.
bool TypeInto(HWND control, const std::string& text);
// A click on a button: the dialog hears of it as of a mouse click.
bool Click(HWND control);
// A click on item `index` of a list or combo box; the dialog hears of the new selection.
bool ChooseItem(HWND control, int index);

// The children of a window in their order.
std::vector<HWND> ChildrenOf(HWND window);
// The items of a list or combo box.
std::vector<std::string> ItemsOf(HWND control);
// Whether a person can act on the control: shown and enabled.
bool Reachable(HWND control);

// The dialog as a person finds it before touching anything: its title, then a line for
// each control in their order with its id, kind, text and what else shows (the default
// button, a check mark, a disabled or hidden control, a list's items with the chosen one
// marked). Windows and the POSIX stand-in give the same lines for the same template and
// initialisation, so that one record of each dialog holds for both.
std::string ControlRecord(HWND dialog);
// Writes ControlRecord(dialog) as FOLDER/NN-NAME.txt, NN the dialog's number in the run;
// returns the path, or "" when the file could not be written.
std::string SaveControlRecord(const std::string& folder, int number, const std::string& name,
                              HWND dialog);

// A control's label without its mnemonic marks ("&Save As Default" -> "Save As Default",
// "&&" -> "&").
std::string WithoutMnemonic(const std::string& label);

}  // namespace ftpsh
