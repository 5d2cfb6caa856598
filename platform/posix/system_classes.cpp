// The window classes the platform brings along, as Windows does: the dialog class and the
// control classes that dialog templates name. They are global classes, registered when
// the platform library is loaded, so every instance finds them. Also the few helpers the
// control procedures share.
#include "platform/posix/ansi_case.h"
#include "platform/posix/controls.h"

namespace tvplatform {

namespace {

bool RegisterSystemClass(const char* name, WNDPROC proc, int windowExtraBytes) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS | CS_DBLCLKS;
    windowClass.lpfnWndProc = proc;
    windowClass.cbWndExtra = windowExtraBytes;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

bool RegisterSystemClasses() {
    bool ok = RegisterSystemClass(kDialogClass, DefDlgProcA, DLGWINDOWEXTRA);
    ok = RegisterSystemClass(kButtonClass, ButtonProc, 0) && ok;
    ok = RegisterSystemClass(kStaticClass, StaticProc, 0) && ok;
    ok = RegisterSystemClass(kEditClass, EditProc, 0) && ok;
    ok = RegisterSystemClass(kListBoxClass, ListBoxProc, 0) && ok;
    ok = RegisterSystemClass(kComboBoxClass, ComboBoxProc, 0) && ok;
    return ok;
}

[[maybe_unused]] const bool gSystemClassesRegistered = RegisterSystemClasses();

}  // namespace

DWORD StyleOf(HWND window) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    return object == nullptr ? 0 : object->style;
}

bool IsOfClassLocked(const WindowObject& object, const char* className) {
    return AnsiCompareNoCase(object.windowClass->name.c_str(), className) == 0;
}

void NotifyParent(HWND control, WORD code) {
    HWND parent;
    int id;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(control);
        if (object == nullptr || object->parent == nullptr) return;
        parent = object->parent;
        id = object->controlId;
    }
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

bool HandleFontMessage(HWND window, UINT message, WPARAM wParam, LRESULT& result) {
    if (message != WM_SETFONT && message != WM_GETFONT) return false;
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    result = 0;
    if (object == nullptr) return true;
    if (message == WM_SETFONT) {
        object->font = reinterpret_cast<HFONT>(wParam);
    } else {
        result = reinterpret_cast<LRESULT>(object->font);
    }
    return true;
}

}  // namespace tvplatform
