// The status of a connection: FTP_Status shows FTP_STATUS_DLG with the host's name, the
// remote system as detected, the working directory and the server's greeting as its logon
// message. The dialog is sizeable; its logon message list takes the room it gains.
#include <algorithm>
#include <cstring>

#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "records/tarvoftp.h"
#include "ui/module_dialogs.h"
#include "ui/protocol_log.h"
#include "ui/resources/resource_ids.h"
#include "ui/window_layout.h"
#include "util/memory_guards.h"

namespace {

constexpr const char* kStatusTemplate = "FTP_STATUS_DLG";

// Posted on every change of size, so that the layout follows once the sizing is over.
constexpr WPARAM kLayoutCommand = 751;

// Taken from the dialog once it is set up, shared by every status dialog: the smallest
// size the user may give it (the template's) and the margin under the logon message list.
SizeLimits gStatusLayout;
// The widest logon line so far, in pixels of the log font with its margin.
LONG gWidestLogonLine = 0;

void AddLogonLine(HWND list, const char* line) {
    if (SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line)) < 0) return;
    const LONG width = LogLineWidth(list, line);
    if (width <= gWidestLogonLine) return;
    gWidestLogonLine = width;
    SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

// One item per line of the greeting, each the text before its LF (a CR before the LF
// stays in the item); what follows the last LF is not a whole line and is not shown.
void ShowLogonMessage(HWND dialog, const char* greeting) {
    HWND list = GetDlgItem(dialog, IDC_STATUS_LOGON);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(gModule.protocolFont), FALSE);
    gWidestLogonLine = 0;
    if (greeting == nullptr) return;
    for (const char* start = greeting; const char* end = std::strchr(start, '\n');
         start = end + 1) {
        const auto length = static_cast<uint32_t>(end - start);
        ScratchBlock line(length + 1);
        if (line.get() == nullptr) return;
        std::memcpy(line.get(), start, length);
        line.get()[length] = '\0';
        AddLogonLine(list, line.get());
    }
}

// The working directory as FTP_Pwd tells it (the cached one, when it is known); a failure
// leaves the field empty.
void ShowWorkingDirectory(HWND dialog, FsStateRecord* record) {
    HGLOBAL block = nullptr;
    if (FTP_Pwd(record, &block) != 0 || block == nullptr) return;
    {
        LockedBlock<const char> directory(block);
        if (directory) SetDlgItemTextA(dialog, IDC_STATUS_PATH, directory.get());
    }
    GlobalFree(block);
}

// The list keeps its place and its margins: as wide as the client area less its left
// margin on either side, as tall as what is left above the bottom margin.
void LayOut(HWND dialog) {
    RECT client{};
    if (!gStatusLayout.valid || !GetClientRect(dialog, &client)) return;
    HWND list = GetDlgItem(dialog, IDC_STATUS_LOGON);
    const RECT rect = ClientRectOf(dialog, list);
    MoveWindow(list, rect.left, rect.top, std::max<LONG>(0, client.right - 2 * rect.left),
               std::max<LONG>(0, client.bottom - rect.top - gStatusLayout.bottomMargin), TRUE);
}

void Initialise(HWND dialog, FsStateRecord* record) {
    if (record == nullptr) return;
    if (LockedBlock<const char> host(record->hostName); host)
        SetDlgItemTextA(dialog, IDC_STATUS_HOST, host.get());
    SetHostTypeName(dialog, record);
    const FtpConnection* connection = record->connection;
    ShowLogonMessage(dialog, connection != nullptr ? connection->greeting : nullptr);
    if (connection != nullptr) ShowWorkingDirectory(dialog, record);
    gStatusLayout = MeasureSizeLimits(dialog, GetDlgItem(dialog, IDC_STATUS_LOGON));
}

}  // namespace

// The creation parameter is the state record. Ends with 1, whether by OK or by closing.
extern "C" TVFTP_EXPORT INT_PTR CALLBACK FTPStatusProc(HWND dialog, UINT message,
                                                       WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            Initialise(dialog, reinterpret_cast<FsStateRecord*>(lParam));
            // The focus on OK, not in the path field, where the path would show selected.
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE;
        case WM_SIZE:
            PostMessageA(dialog, WM_COMMAND, kLayoutCommand, 0);
            return FALSE;
        case WM_GETMINMAXINFO: return ApplyMinimumSize(gStatusLayout, lParam) ? TRUE : FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL: EndDialog(dialog, 1); return TRUE;
                case kLayoutCommand: LayOut(dialog); return TRUE;
                default: return FALSE;
            }
        default: return FALSE;
    }
}

extern "C" TVFTP_EXPORT LONG WINAPI FTP_Status(FsStateRecord* record) {
    if (record == nullptr) return FSE_INVALID;
    const FtpConnection* connection = record->connection;
    const INT_PTR result =
        RunModuleDialog(kStatusTemplate, connection != nullptr ? connection->ownerWindow : nullptr,
                        FTPStatusProc, reinterpret_cast<LPARAM>(record));
    return result == 0 ? LONG{FSE_WINDOW_FAILED} : static_cast<LONG>(result);
}
