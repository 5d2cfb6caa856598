// POSIX-only entry points of the platform, with no Windows counterpart: what a host, a
// test or a generated resource table uses to stand where Windows' own machinery stands
// (the resource loader, the person in front of a message box or a dialog). Module code
// never calls these; it uses the Win32 calls, which consult them.
#pragma once

#include "platform/posix/win32.h"

// C names, so that a host written in any language can find them with dlsym.
extern "C" {

// The module handle of the loaded library (or program) that contains `address`: the same
// handle LoadLibraryA and GetModuleHandleA give for that library. A library finds its own
// instance with TvModuleInstanceOf(reinterpret_cast<const void*>(&SomeFunctionOfIt)).
HINSTANCE TvModuleInstanceOf(const void* address);

// String tables. A table generated from a resource script registers its texts for the
// instance of the library it is linked into; LoadStringA then finds them by instance and
// id. Registering again for the same instance adds to (and overrides) what is there. The
// texts are copied. The tables of a library go when FreeLibrary unloads it.
struct TvStringTableEntry {
    UINT id;
    const char* text;
};
BOOL TvRegisterStringTable(HINSTANCE instance, const TvStringTableEntry* entries, size_t count);
void TvUnregisterStringTables(HINSTANCE instance);

// Message boxes. Without a hook MessageBoxA answers at once with the button a person who
// dismisses the box would choose: IDOK for a box with only OK, IDCANCEL where there is a
// Cancel button, IDNO for Yes/No and IDABORT for Abort/Retry/Ignore. A hook answers in
// their place (it returns an ID* value). The previous hook is returned; null removes it.
typedef int (*TvMessageBoxHook)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
TvMessageBoxHook TvSetMessageBoxHook(TvMessageBoxHook hook);

// Dialog templates. The tables generated from a resource script register the templates
// of the library they are linked into, as string tables do; FindResourceA (RT_DIALOG),
// DialogBoxParamA and CreateDialogParamA then find them by instance and name. A template
// with a numeric id is named "#" and the id in decimal ("#120"). Names are not
// case-sensitive. Coordinates are dialog units; styles are complete (a control's style
// holds WS_CHILD, WS_VISIBLE and its defaults). The templates are copied; registering a
// name again for the same instance replaces it. A library's templates go when FreeLibrary
// unloads it.
struct TvDialogControlTemplate {
    // "Button", "Edit", "Static", "ListBox", "ComboBox" or a registered class.
    const char* className;
    const char* text;
    int id;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};
struct TvDialogTemplate {
    const char* name;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    const char* caption;
    const char* className;  // null or empty: the platform's dialog class
    const char* fontName;   // null or empty: no FONT statement
    WORD fontSize;
    const TvDialogControlTemplate* controls;
    size_t controlCount;
};
BOOL TvRegisterDialogTemplates(HINSTANCE instance, const TvDialogTemplate* templates, size_t count);
void TvUnregisterDialogTemplates(HINSTANCE instance);

// The dialog driver: whoever plays the user in front of modal dialogs. Once a modal dialog
// has handled WM_INITDIALOG and is shown, the driver is called with the dialog window and
// its template name. It reads the controls (GetDlgItem, GetWindow, GetWindowTextA,
// TvGetControlKind, TvGetControlDisplayText, BM_GETCHECK, LB_GETTEXT...) and acts as a
// person would (TvClickControl, TvTypeText, TvChooseListItem, or WM_COMMAND), then returns
// TRUE. While the dialog stays open the driver is called again, at most
// TV_DIALOG_DRIVER_ROUNDS times for one dialog. A driver that returns FALSE gives up.
//
// A dialog is cancelled as a person pressing Escape would cancel it (WM_COMMAND IDCANCEL)
// when no driver is installed, when the driver gives up and when the rounds are used up;
// a dialog whose procedure does not end it on Cancel is then ended with IDCANCEL, so that
// a modal dialog always returns. The previous hook is returned; a null driver removes it.
typedef BOOL (*TvDialogDriver)(HWND dialog, LPCSTR templateName, void* context);
struct TvDialogDriverHook {
    TvDialogDriver driver;
    void* context;
};
TvDialogDriverHook TvSetDialogDriver(TvDialogDriverHook hook);
#define TV_DIALOG_DRIVER_ROUNDS 32

// What a person sees of a control and what they do with it.
enum TvControlKind {
    TV_CONTROL_OTHER = 0,
    TV_CONTROL_STATIC,
    TV_CONTROL_EDIT,
    TV_CONTROL_PUSH_BUTTON,  // BS_DEFPUSHBUTTON in the style marks the default button
    TV_CONTROL_CHECK_BOX,
    TV_CONTROL_RADIO_BUTTON,
    TV_CONTROL_GROUP_BOX,
    TV_CONTROL_LIST_BOX,
    TV_CONTROL_COMBO_BOX
};
enum TvControlKind TvGetControlKind(HWND control);
// The text as the screen shows it: a password edit shows its password character once for
// each character it holds, never the text itself. Result and cutting as GetWindowTextA.
int TvGetControlDisplayText(HWND control, LPSTR out, int max);
// A click on a button: auto check boxes toggle, auto radio buttons take the check from the
// rest of their group, and the dialog hears BN_CLICKED. FALSE (and nothing happens) for a
// control that is not a button, is disabled or is hidden, as a person cannot click it.
BOOL TvClickControl(HWND control);
// Typing into an edit (or the edit of a combo box) after selecting all of its text: the
// text is replaced, cut at the edit's limit as a keyboard would stop there, and the dialog
// hears EN_CHANGE (CBN_EDITCHANGE). FALSE for a read-only, disabled or hidden control.
BOOL TvTypeText(HWND control, LPCSTR text);
// A click on list item `index` of a list box or combo box: it becomes the selection (in a
// multiple-selection list it is toggled; in an extended-selection list `extend` toggles
// it as a Ctrl+click would, else it becomes the only selected item); the dialog hears
// LBN_SELCHANGE (list boxes with LBS_NOTIFY) or CBN_SELCHANGE. FALSE for a bad index or a
// disabled or hidden control.
BOOL TvChooseListItem(HWND control, int index, BOOL extend);

// Lines added to list boxes: an observer hears every string a list box accepts
// (LB_ADDSTRING, LB_INSERTSTRING) with the index it got, after it was added. A host that
// shows modeless windows, such as a protocol log, follows their lines this way. The
// previous hook is returned; a null observer removes it.
typedef void (*TvListBoxObserver)(HWND listBox, int index, LPCSTR text, void* context);
struct TvListBoxObserverHook {
    TvListBoxObserver observer;
    void* context;
};
TvListBoxObserverHook TvSetListBoxObserver(TvListBoxObserverHook hook);

// How much global (and local) memory is alive: the blocks, the bytes they hold, and the
// most bytes held at once since the process started or since the last query that asked for
// the peak to start over. For measurements and leak checks; the heap is not touched.
struct TvGlobalMemoryUsage {
    SIZE_T liveBlocks;
    SIZE_T liveBytes;
    SIZE_T peakBytes;
};
void TvQueryGlobalMemory(struct TvGlobalMemoryUsage* usage, BOOL restartPeak);

}  // extern "C"
