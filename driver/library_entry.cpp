// The module's library entry: the attach count, the one-time start-up at the first attach,
// the window classes, and their end at the last detach together with WEP, which releases
// the code-set library.
//
// Where the platform calls the entry:
//   Windows: DllMain, the DLL entry point, with the loader's instance and reason;
//   POSIX:   the shared object's constructor and destructor, as a process attach and
//            detach, with the instance the platform knows the library by. When the module's
//            code is linked into a program (the tests) rather than loaded as a library of
//            its own, the constructor leaves start-up to that program, which calls
//            ModuleAttach and ModuleDetach itself. A constructor cannot refuse the load, so
//            a failed start-up there leaves the library loaded without its window classes.
#include "driver/library_entry.h"

#include "codeset/binding.h"
#include "codeset/code_set_state.h"
#include "records/module_state.h"
#include "records/tarvoftp.h"
#include "ui/protocol_window.h"
#include "util/orr.h"

namespace {

// Both classes: the arrow cursor, no icon, no menu, this background.
const HBRUSH kClassBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(6));

constexpr UINT kProtocolWindowStyle = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
constexpr UINT kFileTypeDialogStyle = CS_HREDRAW | CS_VREDRAW;
// The file type dialog keeps its state record after the dialog's own bytes.
constexpr int kFileTypeDialogExtra = DLGWINDOWEXTRA + int(sizeof(void*));

// Registers a class unless the platform knows it already. True when it is available.
bool RegisterIfUnknown(HINSTANCE instance, const char* name, UINT style, WNDPROC procedure,
                       int classExtra, int windowExtra) {
    WNDCLASSA known;
    if (GetClassInfoA(instance, name, &known)) return true;
    WNDCLASSA windowClass{};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.cbClsExtra = classExtra;
    windowClass.cbWndExtra = windowExtra;
    windowClass.hInstance = instance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = kClassBackground;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

BinaryByteSet BinaryByteSetFor(const CodeSetTableRecord* table) {
    return table->needsSystemFixedFont != 0 ? BinaryByteSet::First : BinaryByteSet::Second;
}

}  // namespace

BOOL StartUp(HINSTANCE instance) {
    // The resource module and the code-set library are loaded at their first use
    // (ResourceInstance, CodeSets), not here inside the loader's entry point.
    gModule.moduleInstance = instance;
    gModule.resourceInstance = nullptr;
    OrrGetSettingsPath(gModule.settingsPath, SETTINGS_PATH_SIZE);
    gModule.peekInterval = ReadSetting("PeekInterval", PEEK_INTERVAL_DEFAULT);
    gModule.timeoutSeconds = ReadSetting("TimeoutSeconds", TIMEOUT_SECONDS_DEFAULT);
    // No host has opened a connection yet, so none has an idle callback to be asked.
    gModule.idleCallback = nullptr;
    gModule.protocolFont = GetStockObject(ANSI_FIXED_FONT);
    // Chosen before the code-set library is bound, so by the built-in table record: the
    // second set. The bound code set's record is not consulted later either.
    gModule.binaryByteSet = BinaryByteSetFor(gCodeSet.codeSetTable);
    BindCodeSetLibraryOnFirstUse(gModule.codeSetLibraryName);

    if (!RegisterIfUnknown(instance, PROTOCOL_WINDOW_CLASS, kProtocolWindowStyle,
                           ProtocolWindowProc, PROTOCOL_WINDOW_CLASS_EXTRA,
                           PROTOCOL_WINDOW_EXTRA)) {
        return FALSE;
    }
    return RegisterIfUnknown(instance, FILE_TYPE_DIALOG_CLASS, kFileTypeDialogStyle, DefDlgProcA,
                             0, kFileTypeDialogExtra)
               ? TRUE
               : FALSE;
}

BOOL ModuleAttach(HINSTANCE instance) {
    if (++gModule.attachCount <= 1) return StartUp(instance);
    return TRUE;
}

BOOL ModuleDetach(HINSTANCE instance) {
    if (--gModule.attachCount == 0) {
        UnregisterClassA(PROTOCOL_WINDOW_CLASS, instance);
        UnregisterClassA(FILE_TYPE_DIALOG_CLASS, instance);
        WEP(0);
    }
    return TRUE;
}

BOOL LibraryEntry(HINSTANCE instance, DWORD reason) {
    switch (reason) {
        case ENTRY_PROCESS_ATTACH: return ModuleAttach(instance);
        case ENTRY_PROCESS_DETACH: return ModuleDetach(instance);
        case ENTRY_THREAD_ATTACH:
        case ENTRY_THREAD_DETACH: return TRUE;
        default: return FALSE;
    }
}

extern "C" TVFTP_EXPORT LONG WINAPI WEP(LONG) {
    UnbindCodeSetLibrary();
    return 1;
}

#if defined(_WIN32)

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    return LibraryEntry(instance, reason);
}

#else

#include "platform/posix/hooks.h"

namespace {

// The module's code is part of the program itself rather than a library of its own.
bool LinkedIntoProgram(HINSTANCE self) { return self == GetModuleHandleA(nullptr); }

HINSTANCE OwnInstance();

__attribute__((constructor)) void AttachSharedObject() {
    HINSTANCE self = OwnInstance();
    if (self != nullptr && !LinkedIntoProgram(self)) LibraryEntry(self, ENTRY_PROCESS_ATTACH);
}

__attribute__((destructor)) void DetachSharedObject() {
    HINSTANCE self = OwnInstance();
    if (self != nullptr && !LinkedIntoProgram(self)) LibraryEntry(self, ENTRY_PROCESS_DETACH);
}

HINSTANCE OwnInstance() {
    return TvModuleInstanceOf(reinterpret_cast<const void*>(&AttachSharedObject));
}

}  // namespace

#endif
